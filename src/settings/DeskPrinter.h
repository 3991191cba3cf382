#pragma once

#include <QString>

class QWidget;

namespace store {
class Store;
}

// The printer this desk's prints go to (see printing::pickPrinter): the one kept in 设置.dat,
// the system's default, or the only one. When the system leaves it open, the desk is asked once
// with the print dialog and the answer is kept, so the next print asks nothing.
struct DeskPrinter {
    QString name;           // empty: nothing to print on
    bool declined = false;  // the question was closed without a printer: say nothing
};
DeskPrinter printerForJob(store::Store& store, QWidget* parent);

// The same without asking, for a preview, which shows the paper of the printer it would print
// on; empty when that is still open (the system's own choice is shown then).
QString printerForPreview(store::Store& store);
