#include "printing/BackgroundPrint.h"

#include <QCoreApplication>
#include <QList>
#include <QPrinterInfo>
#include <QThread>

namespace printing {

namespace {

// The jobs not yet reported, on the thread that starts them (the window's).
QList<BackgroundPrint*>& unreported()
{
    static QList<BackgroundPrint*> jobs;
    return jobs;
}

} // namespace

PrintWriter printerWriter(const QString& printerName, const QString& docName)
{
    return [printerName, docName](const DrawJob& draw) { return printOnPrinter(printerName, docName, draw); };
}

PrintWriter pdfWriter(const QString& fileName)
{
    return [fileName](const DrawJob& draw) { return printToPdf(fileName, draw); };
}

BackgroundPrint* BackgroundPrint::start(PrintWriter write, DrawJob draw)
{
    // Every printer Qt makes, also one that writes a PDF file, first asks for the print
    // support plugin, which Qt loads on first use without a lock. Loaded once here, the job's
    // thread and this one never race to load it.
    static const bool printerSupportLoaded = [] {
        QPrinterInfo::defaultPrinterName();
        // The program never ends with a job half written.
        QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, &BackgroundPrint::waitForAll);
        return true;
    }();
    Q_UNUSED(printerSupportLoaded);

    auto* job = new BackgroundPrint;
    job->m_thread.reset(QThread::create([job, write = std::move(write), draw = std::move(draw)] {
        job->m_ok = write && draw && write(draw);
    }));
    job->m_thread->setObjectName(QStringLiteral("print"));
    // The thread says it has ended from its own last moments; the report runs on this one.
    connect(job->m_thread.get(), &QThread::finished, job, &BackgroundPrint::report, Qt::QueuedConnection);
    unreported().append(job);
    job->m_thread->start();
    return job;
}

BackgroundPrint::~BackgroundPrint()
{
    wait();
    unreported().removeOne(this);
}

void BackgroundPrint::wait() { m_thread->wait(); }

void BackgroundPrint::waitForAll()
{
    const QList<BackgroundPrint*> jobs = unreported();
    for (BackgroundPrint* job : jobs)
        job->wait();
}

void BackgroundPrint::report()
{
    wait(); // the thread tells of its end just before it ends
    unreported().removeOne(this);
    emit finished(m_ok);
    deleteLater();
}

} // namespace printing
