#include "printing/PrintJob.h"

#include "common/Log.h"
#include "printing/PdfText.h"
#include "printing/PrinterPage.h"

#include <QPageLayout>
#include <QPaintEngine>
#include <QPrintDialog>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace printing {

namespace {

std::function<QString(QWidget*)>& printerQuestion()
{
    static std::function<QString(QWidget*)> answer;
    return answer;
}

// Margins at the printer's own minimum: the drawing's origin is the corner of its printable
// area. The paint engine takes them from the page layout when painting begins.
void startAtPrintableCorner(QPrinter& printer)
{
    printer.setFullPage(false);
    const QPageLayout layout = printer.pageLayout();
    if (layout.margins() != layout.minimumMargins()
        && !printer.setPageMargins(layout.minimumMargins(), layout.units()))
        qCWarning(lcPrinting) << "the printer" << printer.printerName() << "kept its margins" << layout.margins();
}

} // namespace

static std::optional<Printers>& givenPrinters()
{
    static std::optional<Printers> printers;
    return printers;
}

Printers installedPrinters()
{
    if (givenPrinters())
        return *givenPrinters();
    return {QPrinterInfo::availablePrinterNames(), QPrinterInfo::defaultPrinterName()};
}

void setInstalledPrinters(std::optional<Printers> printers) { givenPrinters() = std::move(printers); }

PrinterPick pickPrinter(const QString& kept, const Printers& printers)
{
    if (!kept.isEmpty() && printers.names.contains(kept))
        return {kept};
    if (!printers.systemDefault.isEmpty() && printers.names.contains(printers.systemDefault))
        return {printers.systemDefault};
    if (printers.names.size() == 1)
        return {printers.names.first()};
    return {QString(), printers.names.size() > 1};
}

void setPrinterQuestion(std::function<QString(QWidget*)> answer) { printerQuestion() = std::move(answer); }

QString askForPrinter(QWidget* parent)
{
    if (printerQuestion())
        return printerQuestion()(parent);
    QPrinter printer(QPrinter::HighResolution);
    QPrintDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("PrinterQuestion"));
    dialog.setWindowTitle(QStringLiteral("选择打印机"));
    // Only the printer is asked for: copies and pages are the printer's own, as ever.
    dialog.setOptions(QAbstractPrintDialog::PrintDialogOptions());
    if (dialog.exec() != QDialog::Accepted)
        return {};
    if (printer.outputFormat() != QPrinter::NativeFormat) {
        qCWarning(lcPrinting) << "a file was chosen instead of a printer: nothing kept";
        return {};
    }
    return printer.printerName();
}

bool printOn(QPrinter& printer, const DrawJob& draw)
{
    startAtPrintableCorner(printer);
    PrinterPage page(&printer);
    draw(page);
    if (!page.endDocument())
        return false;
    // A PDF file (also one saved from the preview) should give its texts back when copied or
    // searched, not radicals in place of some ideographs.
    const bool pdfFile = printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty()
                         && printer.paintEngine() && printer.paintEngine()->type() == QPaintEngine::Pdf;
    if (pdfFile && !mendPdfTextMaps(printer.outputFileName()))
        qCWarning(lcPrinting) << "the texts of" << printer.outputFileName() << "may copy as radicals";
    return true;
}

bool printOnPrinter(const QString& printerName, const QString& docName, const DrawJob& draw)
{
    const QPrinterInfo info = QPrinterInfo::printerInfo(printerName);
    if (printerName.isEmpty() || info.isNull()) {
        qCWarning(lcPrinting) << "no printer" << printerName << "installed: nothing printed";
        return false;
    }
    QPrinter printer(info, QPrinter::HighResolution);
    if (!printer.isValid()) {
        qCWarning(lcPrinting) << "the printer" << printerName << "cannot be used: nothing printed";
        return false;
    }
    printer.setDocName(docName);
    if (!printOn(printer, draw)) {
        qCWarning(lcPrinting) << "printing on" << printerName << "failed";
        return false;
    }
    return true;
}

bool printToPdf(const QString& fileName, const DrawJob& draw)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    // Made from a printer's settings Qt would keep that printer's unprintable edges.
    printer.setPageLayout(QPageLayout(printer.pageLayout().pageSize(), QPageLayout::Portrait, QMarginsF()));
    printer.setOutputFileName(fileName);
    if (!printOn(printer, draw)) {
        qCWarning(lcPrinting) << "the PDF file" << fileName << "could not be made";
        return false;
    }
    return true;
}

void previewPrint(QWidget* parent, const DrawJob& draw, const QString& printerName)
{
    // The named printer's paper; otherwise the system's default printer, or Qt's PDF printer.
    const QPrinterInfo info = QPrinterInfo::printerInfo(printerName);
    QPrinter printer(info, QPrinter::HighResolution);
    QPrintPreviewDialog dialog(&printer, parent);
    dialog.setObjectName(QStringLiteral("PrintPreview"));
    dialog.setWindowTitle(QStringLiteral("打印预览"));
    QObject::connect(&dialog, &QPrintPreviewDialog::paintRequested, &dialog,
                     [&draw](QPrinter* target) {
                         if (!printOn(*target, draw))
                             qCWarning(lcPrinting) << "the print preview could not be drawn";
                     });
    dialog.exec();
}

} // namespace printing
