#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QPrinter;
class QWidget;

namespace printing {

class PrinterPage;

// Draws one whole job on a page: all its pages, but not the end of the document, which the
// job does itself. Set the orientation first thing when the job needs one (the log book).
using DrawJob = std::function<void(PrinterPage&)>;

// The printers the system offers, and the one it names its default (empty: none).
struct Printers {
    QStringList names;
    QString systemDefault;
};
Printers installedPrinters();
// Tests give the printers a system would offer (std::nullopt: the system's own again).
void setInstalledPrinters(std::optional<Printers> printers);

// Which printer a job goes to: the one this desk kept, while it is installed; else the system's
// default; else the only printer there is. With several and none of these, `ask` is set and the
// desk must be asked (askForPrinter); with none at all, both are empty.
struct PrinterPick {
    QString name;
    bool ask = false;
};
PrinterPick pickPrinter(const QString& kept, const Printers& printers);

// Asks which printer to print on with the system's print dialog; the printer's name, or empty
// when the dialog was closed or gave a file instead of a printer.
QString askForPrinter(QWidget* parent);
// Tests answer the question instead of the dialog (a null function brings the dialog back).
void setPrinterQuestion(std::function<QString(QWidget*)> answer);

// Prints on the named printer with its current settings, without a dialog, as a job of that
// name in the printer's queue. False, with nothing printed, when there is no such printer or
// the job failed (logged either way), so the caller can say 未找到打印机.
bool printOnPrinter(const QString& printerName, const QString& docName, const DrawJob& draw);

// The same drawing into a PDF file made without a printer, whose printable area is the whole
// page; false when it could not be made.
bool printToPdf(const QString& fileName, const DrawJob& draw);

// Shows the modal 打印预览 window of the job on the named printer's paper (empty: the system's
// choice), from which the doctor can also print it or save it as a PDF. Works without any
// printer.
void previewPrint(QWidget* parent, const DrawJob& draw, const QString& printerName = QString());

// Runs the job on a printer that is already set up, ending the document; false when it failed.
// Positions count from the corner of the area the printer can print (its driver's minimum
// margins), which the clinic's paper was aligned with; Qt's own default margins would move
// everything by them. A PDF file it writes gets its text maps mended (see mendPdfTextMaps).
bool printOn(QPrinter& printer, const DrawJob& draw);

} // namespace printing
