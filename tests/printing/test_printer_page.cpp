#include "printing/Fonts.h"
#include "printing/PdfText.h"
#include "printing/PrintJob.h"
#include "printing/PrinterPage.h"
#include "support/PdfPages.h"

#include <QFontDatabase>
#include <QPdfWriter>
#include <QPrinter>
#include <QtTest>

using namespace printing;
using Op = PageOperation;
using Unit = PrinterPage::Unit;

namespace {
const QString Kai = QStringLiteral("楷体_GB2312");
const QString Hei = QStringLiteral("黑体");
const QString Song = QStringLiteral("宋体");
} // namespace

class TestPrinterPage : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { fonts::installFontSubstitutions(); }
    void logBookPagesPrintLandscapeInMillimetres();
    void windowsFontNamesResolveToCjkFaces_data();
    void windowsFontNamesResolveToCjkFaces();
    void textMapsNameIdeographs_data();
    void textMapsNameIdeographs();
    void savedPdfGivesItsTextsBack_data();
    void savedPdfGivesItsTextsBack();
};

void TestPrinterPage::logBookPagesPrintLandscapeInMillimetres()
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("poppler-utils are not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.pdf"));
    PageRecording ops;
    double second = 0;
    {
        QPdfWriter writer(path);
        writer.setPageMargins(QMarginsF());
        PrinterPage page(&writer);
        page.setRecording(&ops);
        page.setOrientation(QPageLayout::Landscape);
        page.setScaleUnit(Unit::Millimetres);
        page.setScaleLeft(-20);
        page.setScaleTop(-10);
        page.setFontBold(true);
        page.setCurrentX(215);
        page.setCurrentY(178);
        page.print(QStringLiteral("First"));
        page.drawLine(0, 30, 240, 30);
        page.newPage();
        QCOMPARE(QPointF(page.currentX(), page.currentY()), QPointF(-20, -10)); // the printable area's corner
        page.setCurrentY(178);
        second = page.textWidth("Second");
        page.print(QStringLiteral("Second"), PrinterPage::StayOnLine);
        // The text stays as wide as in the font it was printed in, and the next follows it.
        page.setFontBold(false);
        QCOMPARE(QPointF(page.currentX(), page.currentY()), QPointF(-20 + second, 178));
        page.print(QStringLiteral("Third"), PrinterPage::StayOnLine);
        QVERIFY(page.endDocument());
    }
    QCOMPARE(ops[4].at, QPointF(-20 + second, 178));
    QCOMPARE(ops[1].toOnPage(), QPointF(260, 40));
    QCOMPARE(ops[2].kind, Op::NewPage);
    QCOMPARE(ops[3].page, 2); // unit, origin and font stay
    QCOMPARE(ops[3].onPage(), QPointF(0, 188));
    QVERIFY(ops[3].bold);

    const QStringList pages = poppler("pdftotext", {path, "-"}).split(u'\f');
    QCOMPARE(pages.size(), 3); // two pages and what follows the last break
    QVERIFY(pages[0].contains("First") && pages[1].contains("Second"));
    const QRegularExpressionMatch size = QRegularExpression(R"(Page size:\s+([\d.]+) x ([\d.]+))").match(poppler("pdfinfo", {path}));
    QVERIFY(size.captured(1).toDouble() > size.captured(2).toDouble());
    const QPointF first = wordCorner(path, "First");
    const double top = 188 * 72 / 25.4; // 9 point type
    QVERIFY2(qAbs(first.x() - 235 * 72 / 25.4) < 1 && first.y() < top && first.y() > top - 0.4 * 9, qPrintable(QString("%1 %2").arg(first.x()).arg(first.y())));
}

void TestPrinterPage::windowsFontNamesResolveToCjkFaces_data()
{
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("face");
    QTest::newRow("楷体_GB2312") << Kai << "AR PL UKai CN";
    QTest::newRow("黑体") << Hei << "Noto Sans CJK SC";
    QTest::newRow("宋体") << Song << "Noto Serif CJK SC";
}

void TestPrinterPage::windowsFontNamesResolveToCjkFaces()
{
    QFETCH(QString, family);
    QFETCH(QString, face);
    if (!QFontDatabase::families().contains(face))
        QSKIP(qPrintable(face + " is not installed"));
    QFont font(family);
    QCOMPARE(QFontInfo(font).family(), face);
    font.setBold(true); // as "Rp" prints
    QCOMPARE(QFontInfo(font).family(), face);
    QVERIFY(QFontMetricsF(font).inFontUcs4(U'处'));
    fonts::installFontSubstitutions(); // a second time changes nothing
    QCOMPARE(QFont::substitutes(family).join(u',').toLower(), fonts::substitutesFor(family).join(u',').toLower());
}

void TestPrinterPage::textMapsNameIdeographs_data()
{
    QTest::addColumn<QByteArray>("map");
    QTest::addColumn<QByteArray>("mended");
    QTest::addColumn<int>("values");
    const QByteArray begin = "begincmap\n", end = "endcmap\n";
    // ⽅ U+2F45 is drawn as 方 U+65B9, ⽣ U+2F63 as 生 U+751F.
    QTest::newRow("char") << begin + "1 beginbfchar\n<0003> <2F45>\nendbfchar\n" + end
                          << begin + "1 beginbfchar\n<0003> <65B9>\nendbfchar\n" + end << 1;
    QTest::newRow("listed range") << begin + "1 beginbfrange\n<0001> <0003> [<5212> <2f63> <2F45>]\nendbfrange\n" + end
                                  << begin + "1 beginbfrange\n<0001> <0003> [<5212> <751F> <65B9>]\nendbfrange\n" + end << 2;
    QTest::newRow("range of one") << begin + "1 beginbfrange\n<0004> <0004> <2F45>\nendbfrange\n" + end
                                  << begin + "1 beginbfrange\n<0004> <0004> <65B9>\nendbfrange\n" + end << 1;
    // v, v+1, … cannot be mended one by one; a code is never a value.
    const QByteArray kept = begin + "2 beginbfrange\n<0004> <0005> <2F45>\n<2F45> <2F45> <4E00>\nendbfrange\n" + end;
    QTest::newRow("spanning range, codes") << kept << kept << 0;
    const QByteArray pair = begin + "1 beginbfchar\n<0003> <2F45DC00>\nendbfchar\n" + end;
    QTest::newRow("two units") << pair << pair << 0;
    const QByteArray outside = "<2F45> stream\n1 beginbfchar\n<0003> <2F45>\nendbfchar\n";
    QTest::newRow("outside a map") << outside << outside << 0;
}

void TestPrinterPage::textMapsNameIdeographs()
{
    QFETCH(QByteArray, map);
    QFETCH(QByteArray, mended);
    QFETCH(int, values);
    if (!QFontDatabase::families().contains(QStringLiteral("Noto Sans CJK SC")))
        QSKIP("Noto Sans CJK SC is not installed");
    QByteArray pdf = map;
    QCOMPARE(mendPdfTextMaps(pdf), values);
    QCOMPARE(pdf, mended);
}

void TestPrinterPage::savedPdfGivesItsTextsBack_data()
{
    QTest::addColumn<QString>("font");
    QTest::addColumn<bool>("bold");
    QTest::addColumn<QString>("text");
    // Each holds ideographs the faces draw with the glyph of a radical: 生 ⽣, 方 ⽅, 门 ⻔, 页 ⻚.
    QTest::newRow("title") << Hei << false << "城关卫生院处方笺";
    QTest::newRow("card") << Hei << false << "门诊注射卡";
    QTest::newRow("log book") << Song << true << "门 诊 日 志 登 记 本";
    QTest::newRow("footer") << Song << true << "第2页共3页";
    QTest::newRow("usage") << Kai << false << "用法：一日三次，饭后服";
}

void TestPrinterPage::savedPdfGivesItsTextsBack()
{
    QFETCH(QString, font);
    QFETCH(bool, bold);
    QFETCH(QString, text);
    if (QStandardPaths::findExecutable("pdftotext").isEmpty())
        QSKIP("poppler-utils are not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("print.pdf"));
    QVERIFY(printToPdf(path, [&](PrinterPage& page) {
        page.setFontName(font);
        page.setFontBold(bold);
        page.setFontSize(12);
        page.print(text);
    }));
    // The reader drops the blanks between ideographs.
    QCOMPARE(poppler("pdftotext", {path, "-"}).trimmed().remove(u' '), text.remove(u' '));
    // Mended once, a file stays as it is.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray pdf = file.readAll();
    QCOMPARE(mendPdfTextMaps(pdf), 0);
}

QTEST_MAIN(TestPrinterPage)
#include "test_printer_page.moc"
