#pragma once

#include "store/Schema.h"
#include "store/postgres/Server.h"

#include <QString>
#include <optional>

namespace store {

class Store;

// 共享 in 设置.dat: the libpq connection string of the clinic's server, as this desk was given
// it but without a password, which goes to the desk user's password file instead (PgPass.h):
// every copy of the program opens 设置.dat. A table of its own, made
// when the string is first stored, so the file's other tables keep their shape; a file without
// it uses the local files.
extern const Table SharingTable;

// The stored string, empty for the local files; std::nullopt when 设置.dat cannot be read.
std::optional<QString> readServerChoice(Store& store);
// Stores the string into this desk's 设置.dat, its password (unless it is the box's mask) into
// the password file; false when either cannot be written (missing, failed its checks,
// read-only).
bool writeServerChoice(Store& store, const QString& conninfo);

// A string stored before passwords were kept apart loses its password to the password file now.
void movePasswordOut(Store& store);

// Copies this desk's own files up to the server of the string (see uploadToServer), whatever
// the store uses at the moment.
UploadResult uploadDeskFiles(Store& store, const QString& conninfo, bool merge);

} // namespace store
