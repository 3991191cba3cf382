#pragma once

#include "store/Schema.h"

#include <QString>
#include <optional>

namespace store {

class Store;

// A table of 设置.dat that holds one text of this desk's own (the server it uses, the printer it
// prints on). It is made with its row when a text is first kept, so the file's other tables keep
// their shape and an older program still opens the file; a file without it reads as empty.

// The kept text, empty when there is none; std::nullopt when 设置.dat cannot be read.
std::optional<QString> readDeskRow(Store& store, const Table& table);
// Keeps the text in this desk's 设置.dat, the row it replaces overwritten in the file too;
// false when the file is missing, failed its checks or is read-only.
bool writeDeskRow(Store& store, const Table& table, const QString& text);

} // namespace store
