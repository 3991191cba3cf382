#pragma once

#include <QString>
#include <functional>

class QPrinter;
class QWidget;

namespace printing {

class PrinterPage;

// Draws one whole job on a page: all its pages, but not the end of the document, which the
// job does itself. Set the orientation first thing when the job needs one (the log book).
using DrawJob = std::function<void(PrinterPage&)>;

// True when the system has a default printer.
bool defaultPrinterAvailable();

// Prints on the default printer with its current settings, without a dialog. False, with
// nothing printed, when there is no printer or the job failed (logged either way), so the
// caller can say 未找到打印机.
bool printOnDefaultPrinter(const DrawJob& draw);

// The same drawing into a PDF file, through the printer path; false when it could not be made.
bool printToPdf(const QString& fileName, const DrawJob& draw);

// Shows the modal 打印预览 window of the job, from which the doctor can also print it or save
// it as a PDF. Works without any printer.
void previewPrint(QWidget* parent, const DrawJob& draw);

// Runs the job on a printer that is already set up, ending the document; false when it failed.
// A PDF file it writes gets its text maps mended (see mendPdfTextMaps).
bool printOn(QPrinter& printer, const DrawJob& draw);

} // namespace printing
