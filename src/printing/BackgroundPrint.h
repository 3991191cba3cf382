#pragma once

#include "printing/PrintJob.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QThread;

namespace printing {

// Writes a whole job somewhere, making its printer, ending the document and letting the
// printer go; false when it failed (logged). Called on the print's own thread.
using PrintWriter = std::function<bool(const DrawJob&)>;

// printOnPrinter on the named printer as a job of that name, and printToPdf into the file, as
// writers.
PrintWriter printerWriter(const QString& printerName, const QString& docName);
PrintWriter pdfWriter(const QString& fileName);

// One job written on a thread of its own, so that the window that asked for it goes on
// answering however long the job takes (a month's log book is some tens of pages).
//
// The job runs on that thread: it must hold everything it draws by value, and read no widget,
// settings object or store, which belong to the window's thread. Painting on a printer and the
// fonts outside the window's thread are Qt's to support; the font substitutions must be in
// place before (they are, from start-up on).
//
// finished() comes on the thread that started the job, through its event loop, after which the
// object deletes itself. A job is never cut short: destroying the object waits for it, and so
// does the program before it ends (waitForAll on the application's aboutToQuit).
class BackgroundPrint : public QObject
{
    Q_OBJECT
public:
    // Starts the job and returns at once.
    static BackgroundPrint* start(PrintWriter write, DrawJob draw);
    ~BackgroundPrint() override;

    // Waits for every job still being written; what the program does before it ends.
    static void waitForAll();

signals:
    void finished(bool ok);

private:
    BackgroundPrint() = default;
    void wait();
    void report();

    std::unique_ptr<QThread> m_thread;
    bool m_ok = false; // written by the job's thread before it ends
};

} // namespace printing
