#pragma once

#include "store/Schema.h"

#include <QString>
#include <optional>

namespace store {

class Store;

// 打印机 in 设置.dat: the printer this desk prints on, by the name the printing system gives it,
// kept when the desk was asked once (several printers, none the system's default) or set in the
// settings window. A table of its own, made when a name is first kept, so the file's other tables
// keep their shape; a file without it, or an empty name, leaves the choice to the system.
extern const Table PrinterTable;

// The kept name, empty when there is none; std::nullopt when 设置.dat cannot be read.
std::optional<QString> readPrinterChoice(Store& store);
// Keeps the name (empty: none) in this desk's 设置.dat; false when the file cannot be written.
bool writePrinterChoice(Store& store, const QString& printer);

} // namespace store
