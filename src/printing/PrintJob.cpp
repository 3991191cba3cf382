#include "printing/PrintJob.h"

#include "common/Log.h"
#include "printing/PdfText.h"
#include "printing/PrinterPage.h"

#include <QPaintEngine>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace printing {

bool defaultPrinterAvailable()
{
    return !QPrinterInfo::availablePrinterNames().isEmpty() && !QPrinterInfo::defaultPrinter().isNull();
}

bool printOn(QPrinter& printer, const DrawJob& draw)
{
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

bool printOnDefaultPrinter(const DrawJob& draw)
{
    if (!defaultPrinterAvailable()) {
        qCWarning(lcPrinting) << "no default printer: nothing printed";
        return false;
    }
    const QPrinterInfo info = QPrinterInfo::defaultPrinter();
    QPrinter printer(info, QPrinter::HighResolution);
    if (!printer.isValid()) {
        qCWarning(lcPrinting) << "the default printer" << info.printerName() << "cannot be used: nothing printed";
        return false;
    }
    if (!printOn(printer, draw)) {
        qCWarning(lcPrinting) << "printing on" << info.printerName() << "failed";
        return false;
    }
    return true;
}

bool printToPdf(const QString& fileName, const DrawJob& draw)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(fileName);
    if (!printOn(printer, draw)) {
        qCWarning(lcPrinting) << "the PDF file" << fileName << "could not be made";
        return false;
    }
    return true;
}

void previewPrint(QWidget* parent, const DrawJob& draw)
{
    // The default printer when there is one (its paper), otherwise Qt's PDF printer.
    QPrinter printer(QPrinter::HighResolution);
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
