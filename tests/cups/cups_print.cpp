#include "common/MessageBox.h"
#include "printing/Fonts.h"
#include "printing/PrintJob.h"
#include "reports/OutpatientLogWindow.h"
#include "settings/CurrentSettings.h"
#include "store/PrinterChoice.h"
#include "store/Records.h"
#include "store/Schema.h"
#include "store/Store.h"
#include "reports/ReportFixture.h"
#include "support/PdfPages.h"
#include "support/ProgramFolder.h"
#include "workstation/MainWindow.h"
#include "workstation/CardPrint.h"
#include "workstation/PrescriptionPrint.h"
#include "workstation/PrescriptionSheet.h"
#include "workstation/SheetGroup.h"
#include "workstation/SheetPrints.h"

#include <QApplication>
#include <QDir>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTimer>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

// The three prints through a real printing system, as scripts/test-cups.sh sets it up: a CUPS
// server whose default queue writes PDF files (its driver calls the whole page printable) and a
// second queue on the same writer whose driver keeps 18 pt at the sides and 36 pt at top and
// bottom. Each print goes the program's own way (the menu's 打印, the card's label, the log's
// 打  印), and the PDF the queue writes is read back: a rule and a text must stand where the
// layout puts them from the corner of the printable area, within 0.2 mm of the paper's corner.

namespace {

constexpr double MmPerInch = 25.4;
constexpr double Twip = MmPerInch / 1440; // mm
constexpr int Dpi = 400; // 0.06 mm to the pixel
constexpr double Tolerance = 0.2; // mm

QString outFolder() { return qEnvironmentVariable("QARVEL_CUPS_OUT"); }
QString marginsQueue() { return qEnvironmentVariable("QARVEL_CUPS_MARGINS_QUEUE"); }

// Whether cups-pdf made this file name of the job's name: it writes every byte of a character
// beyond ASCII as its octal value and "_", and joins the words with blanks and other signs made
// "_" in ways of its own; each word, so written, must be found in order.
bool namedFor(const QString& file, const QString& job)
{
    qsizetype at = 0;
    for (const QString& word : job.split(u' ', Qt::SkipEmptyParts)) {
        QString written;
        for (const char byte : word.toUtf8()) {
            const auto b = static_cast<unsigned char>(byte);
            written += b >= 0x80 ? QString::number(b, 8) + u'_' : QString(QLatin1Char(byte));
        }
        if (written.endsWith(u'_'))
            written.chop(1);
        at = file.indexOf(written, at);
        if (at < 0)
            return false;
        at += written.size();
    }
    return true;
}

// The PDF the queue wrote for this job, waiting for it; empty when none came.
QString writtenFor(const QString& job, const QStringList& before)
{
    QString found;
    QDir out(outFolder());
    for (int waited = 0; waited < 30000 && found.isEmpty(); waited += 100) {
        for (const QString& file : out.entryList({QStringLiteral("*.pdf")}, QDir::Files))
            if (!before.contains(file) && namedFor(file, job))
                found = out.filePath(file);
        if (found.isEmpty())
            QTest::qWait(100);
    }
    // A file still being written is not yet a whole PDF.
    for (int waited = 0; !found.isEmpty() && pdfPageCount(found) == 0 && waited < 10000; waited += 100)
        QTest::qWait(100);
    if (found.isEmpty())
        qWarning("no PDF for the job %s in %s: %s", qPrintable(job), qPrintable(outFolder()),
                 qPrintable(out.entryList(QDir::Files).join(u' ')));
    return found;
}

double mm(int pixels) { return pixels * MmPerInch / Dpi; }
int px(double millimetres) { return qRound(millimetres * Dpi / MmPerInch); }

// The middle of a horizontal rule that crosses the page at x (mm), searched near y (the thin run
// of ink nearest to it, not a text's strokes), and where its ink begins on the left, searched
// near x1; (-1, -1) when there is none.
QPointF ruleAt(const QImage& page, double x1, double x, double y)
{
    const InkRun* nearest = nullptr;
    const QList<InkRun> runs = inkRuns(page, QRect(px(x), px(y - 3), 2, px(6)));
    for (const InkRun& run : runs)
        if (run.last - run.first < px(0.5)
            && (!nearest || qAbs(run.first + run.last - 2 * px(y)) < qAbs(nearest->first + nearest->last - 2 * px(y))))
            nearest = &run;
    if (!nearest)
        return {-1, -1};
    const int row = (nearest->first + nearest->last) / 2;
    for (int column = px(x1 - 3); column < px(x1 + 3); ++column)
        if (qGray(page.pixel(column, row)) < 128)
            return {mm(column), mm(nearest->first + nearest->last + 1) / 2};
    return {-1, -1};
}

// The top-left corner of the ink inside an area (mm).
QPointF inkCorner(const QImage& page, const QRectF& area)
{
    const QRect pixels(QPoint(px(area.left()), px(area.top())), QPoint(px(area.right()), px(area.bottom())));
    const QList<InkRun> rows = inkRuns(page, pixels);
    if (rows.isEmpty())
        return {-1, -1};
    int left = pixels.right();
    for (int y = rows.first().first; y <= rows.last().last; ++y)
        for (int x = pixels.left(); x < left; ++x)
            if (qGray(page.pixel(x, y)) < 128)
                left = x;
    return {mm(left), mm(rows.first().first)};
}

bool near(QPointF found, QPointF expected)
{
    return qAbs(found.x() - expected.x()) <= Tolerance && qAbs(found.y() - expected.y()) <= Tolerance;
}

QString where(QPointF p) { return QStringLiteral("(%1, %2) mm").arg(p.x(), 0, 'f', 2).arg(p.y(), 0, 'f', 2); }

void setOffset(store::Store& store, const char16_t* field, const QString& mm)
{
    const int index = store::fieldIndex(store::SettingsTable, QString::fromUtf16(field));
    QVERIFY(store::Store::updateFirstFields(store.settings(), store::SettingsTable, {{index, mm}}));
}

} // namespace

class CupsPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        MessageBox::setTestMode(true);
        fonts::installFontSubstitutions();
        QVERIFY2(QDir(outFolder()).exists(), "QARVEL_CUPS_OUT names no folder");
        QVERIFY2(!printing::installedPrinters().systemDefault.isEmpty(), "no default queue");
        QVERIFY2(printing::installedPrinters().names.contains(marginsQueue()), "no queue with margins");
        // The question is never to be asked here: the desk has a default printer.
        printing::setPrinterQuestion([](QWidget*) {
            qWarning("asked for a printer");
            return QString();
        });
    }

    void printsStandFromTheCornerOfThePrintableArea_data();
    void printsStandFromTheCornerOfThePrintableArea();
    void previewShowsThePrintersPaper_data();
    void previewShowsThePrintersPaper();
};

void CupsPrint::printsStandFromTheCornerOfThePrintableArea_data()
{
    QTest::addColumn<QString>("print");  // prescription, card, log book
    QTest::addColumn<bool>("margins");   // on the queue with margins, kept as the desk's printer
    QTest::addColumn<QString>("job");
    QTest::addColumn<QLineF>("rule");    // mm from the corner of the printable area
    QTest::addColumn<QRectF>("textArea"); // mm: the area one text's ink lies in, alone
    // Prescription: 左边距 10, 上边距 5 (× 56 twips); the first rule and "Rp", enlarged by 1.293.
    const double left = 560, top = 280;
    const QLineF sheetRule(QPointF(480 * 1.293 + left, 840 * 1.293 + top) * Twip, QPointF(5400 * 1.293 + left, 840 * 1.293 + top) * Twip);
    const QRectF rp(QPointF(620.64 + left, 2249.82 + top) * Twip - QPointF(1, 0.5), QSizeF(12, 7.5));
    QTest::newRow("prescription") << "prescription" << false << "处方 张三 2026-12-09" << sheetRule << rp;
    QTest::newRow("prescription, printer with margins") << "prescription" << true << "处方 张三 2026-12-09" << sheetRule << rp;
    // Card: 左边距1 3, 上边距1 2; the frame's top and the title 门诊注射卡, unscaled.
    const QLineF frame(QPointF(300 + 168, 900 + 112) * Twip, QPointF(3540 + 168, 900 + 112) * Twip);
    QTest::newRow("card") << "card" << false << "注射卡 张三" << frame
                          << QRectF(QPointF(1320 + 168, 300 + 112) * Twip - QPointF(1, 0.5), QSizeF(25, 5));
    // Log book, in millimetres from (20, 10): the first rule of the table and the title.
    QTest::newRow("log book") << "log book" << false << "门诊日志 2026-12" << QLineF(20, 40, 260, 40)
                              << QRectF(99, 29.5, 80, 8.5);
}

void CupsPrint::printsStandFromTheCornerOfThePrintableArea()
{
    QFETCH(QString, print);
    QFETCH(bool, margins);
    QFETCH(QString, job);
    QFETCH(QLineF, rule);
    QFETCH(QRectF, textArea);

    ProgramFolder folder;
    store::Store& store = folder.store();
    setOffset(store, u"左边距", "10");
    setOffset(store, u"上边距", "5");
    setOffset(store, u"左边距1", "3");
    setOffset(store, u"上边距1", "2");
    if (margins)
        QVERIFY(store::writePrinterChoice(store, marginsQueue()));
    const QStringList before = QDir(outFolder()).entryList(QDir::Files);
    QTemporaryDir scratch;
    const QString reference = scratch.filePath("reference.pdf"); // the same drawing, whole page, no printer

    if (print == QLatin1String("log book")) {
        addVisit(store, "2026-12-09 09:30:00", "2026-12-09");
        CurrentSettings settings(store);
        OutpatientLogWindow w(store, settings);
        typeInto(w.Combo1[3], "2026");
        typeInto(w.Combo1[4], "12");
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        QCOMPARE(w.jobName(), job);
        QSignalSpy printed(&w, &OutpatientLogWindow::logBookPrinted);
        QTest::mouseClick(w.Command3, Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(printed.count(), 1, 60000);
        QVERIFY(printed.at(0).at(0).toBool());
        QVERIFY(printing::printToPdf(reference, w.logBookJob()));
    } else {
        MainWindow w(store);
        w.show();
        w.newPrescription();
        w.sheetGroup()->box(0)->setText("张三");
        w.sheetGroup()->box(3)->setText("2026-12-09");
        // A word left from a print that found no printer goes at the next one that goes out.
        w.statusBar()->showMessage("未找到打印机");
        if (print == QLatin1String("card"))
            QTest::mouseClick(w.findChild<QLabel*>("Label7"), Qt::LeftButton);
        else
            w.action("打印")->trigger();
        QCOMPARE(w.statusBar()->currentMessage(), QString());
        const printing::PageOffsets offsets = print == QLatin1String("card") ? printing::cardOffsets(store)
                                                                               : printing::prescriptionOffsets(store);
        const SheetPrints* prints = w.findChild<SheetPrints*>();
        QVERIFY(prints);
        const printing::PrescriptionContent sheet = prints->prescription();
        const printing::CardContent card = prints->card();
        QVERIFY(printing::printToPdf(reference, [&](printing::PrinterPage& page) {
            if (print == QLatin1String("card"))
                printing::drawInjectionCard(page, card, offsets);
            else
                printing::drawPrescription(page, sheet, offsets);
        }));
    }

    const QString pdf = writtenFor(job, before);
    QVERIFY(!pdf.isEmpty());
    QImage page = renderPdfPage(pdf, 1, Dpi);
    const QImage drawn = renderPdfPage(reference, 1, Dpi);
    QVERIFY(!page.isNull() && !drawn.isNull());
    // The queue lays a landscape job on its upright sheet turned a quarter to the left, as the
    // paper comes out of the printer; turned back, its corner is the landscape page's.
    if ((page.width() < page.height()) != (drawn.width() < drawn.height()))
        page = page.transformed(QTransform().rotate(90));
    QCOMPARE(page.size(), drawn.size());

    // Where the printable area begins on this queue's paper.
    const QPointF corner = margins ? QPointF(18, 36) * (MmPerInch / 72) : QPointF();
    const QPointF expectedRule = rule.p1() + corner;
    const QPointF foundRule = ruleAt(page, expectedRule.x(), expectedRule.x() + 1.5, expectedRule.y());
    QVERIFY2(near(foundRule, expectedRule), qPrintable("rule at " + where(foundRule) + ", expected " + where(expectedRule)));
    // The text's ink where the program's own whole-page PDF has it, moved by the unprintable edge.
    const QPointF expectedText = inkCorner(drawn, textArea) + corner;
    const QPointF foundText = inkCorner(page, textArea.translated(corner));
    QVERIFY2(near(foundText, expectedText), qPrintable("text at " + where(foundText) + ", expected " + where(expectedText)));
    // Its place on the page as the layout has it: the ink starts just inside its em box.
    QVERIFY2(foundText.x() - corner.x() >= textArea.left() + 0.5 && foundText.y() - corner.y() >= textArea.top() + 0.5
                 && foundText.x() - corner.x() < textArea.left() + 2 && foundText.y() - corner.y() < textArea.top() + 2.5,
             qPrintable("text at " + where(foundText)));
    QFile::remove(pdf);
}

// The preview draws on the paper of the desk's printer, from the corner of what it can print.
void CupsPrint::previewShowsThePrintersPaper_data()
{
    QTest::addColumn<bool>("kept"); // the queue with margins kept as the desk's printer
    QTest::addColumn<QMarginsF>("expected"); // points: the driver's unprintable edges, nothing more
    QTest::newRow("the default, all printable") << false << QMarginsF();
    QTest::newRow("kept, with margins") << true << QMarginsF(18, 36, 18, 36);
}

void CupsPrint::previewShowsThePrintersPaper()
{
    QFETCH(bool, kept);
    QFETCH(QMarginsF, expected);
    ProgramFolder folder;
    if (kept)
        QVERIFY(store::writePrinterChoice(folder.store(), marginsQueue()));
    MainWindow w(folder.store());
    w.show();
    w.newPrescription();
    QString printer;
    QMarginsF margins;
    int pages = 0;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())) {
            printer = dialog->printer()->printerName();
            margins = dialog->printer()->pageLayout().margins(QPageLayout::Point);
            pages = dialog->findChild<QPrintPreviewWidget*>()->pageCount();
            dialog->reject();
        }
    });
    closer.start(20);
    w.action("打印预览")->trigger();
    QCOMPARE(printer, kept ? marginsQueue() : printing::installedPrinters().systemDefault);
    QCOMPARE(pages, 1);
    QCOMPARE(margins, expected);
}

QTEST_MAIN(CupsPrint)
#include "cups_print.moc"
