#pragma once

#include <QString>

namespace store {

// The server's password is kept out of 设置.dat, whose key every copy of the program holds: it
// goes to the desk user's password file, where libpq looks for it (~/.pgpass, or PGPASSFILE),
// readable by that user only, on a line for the string's host, port, database and user.

// What the 多机共享 box shows for a password.
QString passwordMask();
// The string's password, empty when it gives none.
QString statedPassword(const QString& conninfo);
// The string without its password (rewritten as key=value pairs when it had one).
QString withoutPassword(const QString& conninfo);
// The string with its password shown as passwordMask().
QString maskedPassword(const QString& conninfo);
// Writes the line for the string's server into the password file, replacing one for the same
// host, port, database and user; false (and why) when the file cannot be written.
bool writePasswordFile(const QString& conninfo, const QString& password, QString* error = nullptr);
// Whether the password file has a line for the string's server.
bool passwordFileHas(const QString& conninfo);
// Where that file is.
QString passwordFilePath();

} // namespace store
