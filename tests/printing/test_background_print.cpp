#include "printing/BackgroundPrint.h"
#include "printing/Fonts.h"
#include "printing/PrinterPage.h"
#include "support/PdfPages.h"

#include <QSignalSpy>
#include <QThread>
#include <QtTest>

using namespace printing;

namespace {

// A ruled page with its number, as many as asked.
DrawJob numberedPages(int count)
{
    return [count](PrinterPage& page) {
        page.setScaleUnit(PrinterPage::Unit::Millimetres);
        page.setFontName(QStringLiteral("宋体"));
        page.setFontSize(12);
        for (int n = 1; n <= count; ++n) {
            if (n > 1)
                page.newPage();
            page.drawLine(0, 30, 240, 30);
            page.setCurrentY(20);
            page.print(QStringLiteral("门诊日志 第%1页").arg(n));
        }
    };
}

bool canReadPdf() { return !QStandardPaths::findExecutable(QStringLiteral("pdfinfo")).isEmpty(); }

} // namespace

class TestBackgroundPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { fonts::installFontSubstitutions(); }
    void writesOnItsOwnThreadAndReportsOnThisOne_data();
    void writesOnItsOwnThreadAndReportsOnThisOne();
    void aJobIsNeverCutShort_data();
    void aJobIsNeverCutShort(); // last: the program's end can be played only once
};

void TestBackgroundPrint::writesOnItsOwnThreadAndReportsOnThisOne_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("ok");
    QTest::newRow("written") << "日志.pdf" << true;
    QTest::newRow("no such folder") << "没有的文件夹/日志.pdf" << false;
}

void TestBackgroundPrint::writesOnItsOwnThreadAndReportsOnThisOne()
{
    QFETCH(QString, file);
    QFETCH(bool, ok);
    if (!canReadPdf())
        QSKIP("poppler-utils are not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(file);
    if (!ok) {
        QTest::ignoreMessage(QtWarningMsg, "QPainter::begin(): Returned false");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not start the job"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("could not be made"));
    }

    QThread* writtenOn = nullptr;
    QThread* reportedOn = nullptr;
    BackgroundPrint* job = BackgroundPrint::start(
        [&](const DrawJob& draw) { return writtenOn = QThread::currentThread(), pdfWriter(path)(draw); }, numberedPages(12));
    QSignalSpy spy(job, &BackgroundPrint::finished);
    connect(job, &BackgroundPrint::finished, [&] { reportedOn = QThread::currentThread(); });
    QTRY_COMPARE(spy.count(), 1);
    QCOMPARE(spy.at(0).at(0).toBool(), ok);
    QVERIFY(writtenOn && writtenOn != QThread::currentThread());
    QCOMPARE(reportedOn, QThread::currentThread());
    if (!ok)
        return;

    // The same file as the print written where it was asked for.
    const QString direct = dir.filePath(QStringLiteral("direct.pdf"));
    QVERIFY(printToPdf(direct, numberedPages(12)));
    QCOMPARE(pdfPageCount(path), 12);
    const QString text = poppler("pdftotext", {path, "-"});
    QVERIFY2(text.contains(QStringLiteral("门诊日志 第12页")), qPrintable(text));
    QCOMPARE(text, poppler("pdftotext", {direct, "-"}));
}

void TestBackgroundPrint::aJobIsNeverCutShort_data()
{
    QTest::addColumn<bool>("programEnds"); // otherwise the job is dropped at once
    QTest::newRow("dropped") << false;
    QTest::newRow("the program ends") << true;
}

void TestBackgroundPrint::aJobIsNeverCutShort()
{
    QFETCH(bool, programEnds);
    if (!canReadPdf())
        QSKIP("poppler-utils are not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("日志.pdf"));
    // Long enough that it is still being written when the program is told to end.
    constexpr int pages = 300;
    BackgroundPrint* job = BackgroundPrint::start(pdfWriter(path), numberedPages(pages));
    if (programEnds) {
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
        QCoreApplication::exec();
    } else {
        delete job;
    }
    QCOMPARE(pdfPageCount(path), pages);
}

QTEST_MAIN(TestBackgroundPrint)
#include "test_background_print.moc"
