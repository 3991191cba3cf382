#include "workstation/SheetPrints.h"

#include "settings/DeskPrinter.h"
#include "workstation/PrescriptionSheet.h"
#include "workstation/SheetGroup.h"

#include "store/Records.h"

#include <QLabel>
#include <QStatusBar>

namespace {

const QString NoPrinter = QStringLiteral("未找到打印机");

} // namespace

SheetPrints::SheetPrints(store::Store& store, SheetGroup* sheet, QStatusBar* status, QWidget* window)
    : QObject(window)
    , m_store(store)
    , m_sheet(sheet)
    , m_status(status)
    , m_window(window)
{
}

printing::PrescriptionContent SheetPrints::prescription() const
{
    const PrescriptionPane* pane = m_sheet->prescriptionPane();
    printing::PrescriptionContent content;
    content.title = pane->Label3[0]->text();
    for (size_t i = 0; i < pane->Text4.size(); ++i)
        content.fields[i] = pane->Text4[i]->text();
    content.text = pane->R1->text();
    return content;
}

printing::CardContent SheetPrints::card() const
{
    const CardPane* card = m_sheet->cardPane();
    return {card->Label6[1]->text(), card->Label6[2]->text(), card->R2->text(), m_sheet->box(0)->text()};
}

void SheetPrints::printPrescription()
{
    const DeskPrinter printer = printerForJob(m_store, m_window);
    const bool ok = !printer.name.isEmpty()
                    && printing::printPrescription(printer.name, prescription(),
                                                   printing::prescriptionOffsets(m_store));
    printed(ok, printer.declined);
}

void SheetPrints::previewPrescription()
{
    printing::previewPrescription(m_window, printerForPreview(m_store), prescription(),
                                  printing::prescriptionOffsets(m_store));
}

void SheetPrints::printCard()
{
    const DeskPrinter printer = printerForJob(m_store, m_window);
    const bool ok = !printer.name.isEmpty()
                    && printing::printInjectionCard(printer.name, card(),
                                                    printing::cardOffsets(m_store));
    printed(ok, printer.declined);
}

void SheetPrints::previewCard()
{
    printing::previewInjectionCard(m_window, printerForPreview(m_store), card(),
                                   printing::cardOffsets(m_store));
}

void SheetPrints::printed(bool ok, bool declined)
{
    if (ok) {
        if (m_status->currentMessage() == NoPrinter)
            m_status->clearMessage();
    } else if (!declined) {
        m_status->showMessage(NoPrinter, NoPrinterShownMs);
    }
}
