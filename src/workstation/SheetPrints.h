#pragma once

#include "workstation/CardPrint.h"
#include "workstation/PrescriptionPrint.h"

#include <QObject>

class QStatusBar;
class QWidget;
class SheetGroup;

namespace store {
class Store;
}

// The prints of the sheet: the prescription and the injection card, on paper and in preview,
// as the menu, the toolbar and the card's label ask for them. Each reads the offsets and the
// desk's printer at the moment it runs, so a changed setting applies at once.
//
// A print that found no printer says "未找到打印机" in the window's status bar for a few
// seconds; a print that goes out takes the words away at once.
class SheetPrints : public QObject
{
    Q_OBJECT
public:
    SheetPrints(store::Store& store, SheetGroup* sheet, QStatusBar* status, QWidget* window);

    void printPrescription();
    void previewPrescription();
    void printCard();
    void previewCard();

    // What the two prints draw: the sheet and the card as they show now.
    printing::PrescriptionContent prescription() const;
    printing::CardContent card() const;

    static constexpr int NoPrinterShownMs = 5000;

private:
    void printed(bool ok, bool declined);

    store::Store& m_store;
    SheetGroup* m_sheet;
    QStatusBar* m_status;
    QWidget* m_window; // the parent of the printer question and the previews
};
