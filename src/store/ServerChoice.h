#pragma once

#include "store/Schema.h"
#include "store/postgres/Server.h"

#include <QString>
#include <optional>

namespace store {

class Store;

// 共享 in 设置.dat: the libpq connection string of the clinic's server, as this desk was given
// it (it may hold a password, so it lives only in the encrypted file). A table of its own, made
// when the string is first stored, so the file's other tables keep their shape; a file without
// it uses the local files.
extern const Table SharingTable;

// The stored string, empty for the local files; std::nullopt when 设置.dat cannot be read.
std::optional<QString> readServerChoice(Store& store);
// Stores the string into this desk's 设置.dat; false when the file cannot be written (missing,
// failed its checks, read-only).
bool writeServerChoice(Store& store, const QString& conninfo);

// Copies this desk's own files up to the server of the string (see uploadToServer), whatever
// the store uses at the moment.
UploadResult uploadDeskFiles(Store& store, const QString& conninfo, bool merge);

} // namespace store
