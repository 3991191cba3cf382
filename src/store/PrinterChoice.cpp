#include "store/PrinterChoice.h"

#include "store/DeskRow.h"

namespace store {

namespace {

constexpr Field PrinterFields[] = {{u"名称", FieldType::Memo, 0, true}};

} // namespace

const Table PrinterTable{u"打印机", PrinterFields};

std::optional<QString> readPrinterChoice(Store& store) { return readDeskRow(store, PrinterTable); }

bool writePrinterChoice(Store& store, const QString& printer) { return writeDeskRow(store, PrinterTable, printer); }

} // namespace store
