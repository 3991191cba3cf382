#pragma once

namespace store {
class Store;
}

namespace startup {

// Takes the group's and others' access away from the database files, the backups and their
// folders, which earlier versions made readable by everyone (0644, 0755). The owner's own access
// stays as it was: a file marked read-only stays so. Only what the user owns is touched, and
// nothing a link points to; what cannot be changed is logged and left, never a reason not to
// start.
void makeDataPrivate(const store::Store& store);

} // namespace startup
