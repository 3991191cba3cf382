#include "printing/Fonts.h"
#include "printing/PrinterPage.h"
#include "printing/PrintJob.h"
#include "store/Records.h"
#include "support/PdfPages.h"
#include "workstation/CardPrint.h"
#include "workstation/PrescriptionPrint.h"
#include "workstation/PrescriptionSheet.h"

#include <QApplication>
#include <QBuffer>
#include <QFontDatabase>
#include <QLabel>
#include <QPdfWriter>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

using namespace printing;
using Op = PageOperation;
using Unit = PrinterPage::Unit;
using Text = std::optional<QString>;

namespace {

const QString Kai = QStringLiteral("楷体_GB2312");
const QString Hei = QStringLiteral("黑体");
const QString Song = QStringLiteral("宋体");

// A print made into memory, every operation recorded.
struct Printed {
    PageRecording ops;
    Op text(const QString& text) const
    {
        auto it = std::find_if(ops.begin(), ops.end(), [&](const Op& op) { return op.kind == Op::Text && op.text == text; });
        return it == ops.end() ? Op{} : *it;
    }
};

Printed record(const DrawJob& draw)
{
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    Printed printed;
    PrinterPage page(&writer);
    page.setRecording(&printed.ops);
    draw(page);
    page.endDocument();
    return printed;
}
Printed prescription(const PrescriptionContent& c, PageOffsets o = {})
{
    return record([&](PrinterPage& page) { drawPrescription(page, c, o); });
}
Printed card(const CardContent& c, PageOffsets o = {})
{
    return record([&](PrinterPage& page) { drawInjectionCard(page, c, o); });
}

PrescriptionContent sample(const QString& text = QStringLiteral("阿莫西林胶囊\r\n    用法：口服\r\n"))
{
    return {QStringLiteral("城关卫生院处方笺"), 1500,
            {"张三", "男", "35", "2024-03-08", "上感", "城关镇东街", "李医生", "王药师", "12.50"}, text};
}
const CardContent cardSample{QStringLiteral("张三，男，35"), QStringLiteral("2024-03-08"), QStringLiteral("青霉素\r\n皮试")};

QString numbered(int count)
{
    QStringList lines;
    for (int i = 1; i <= count; ++i)
        lines << QStringLiteral("第%1行").arg(i);
    return lines.join(QStringLiteral("\r\n"));
}

} // namespace

class TestPrinting : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { fonts::installFontSubstitutions(); }
    void textIsSplitIntoLinesInMemory_data();
    void textIsSplitIntoLinesInMemory();
    void prescriptionItemsStandWhereThePaneHasThem_data();
    void prescriptionItemsStandWhereThePaneHasThem();
    void prescriptionPrintsPaneRulesThenTwentyLines_data();
    void prescriptionPrintsPaneRulesThenTwentyLines();
    void cardPrintsFifteenLinesThenTheFrame_data();
    void cardPrintsFifteenLinesThenTheFrame();
    void eachPrintMovesByItsOwnOffsets_data();
    void eachPrintMovesByItsOwnOffsets();
    void printerIsTheKeptTheDefaultOrTheOnlyOne_data();
    void printerIsTheKeptTheDefaultOrTheOnlyOne();
    void jobsAreNamedAsTheQueueShowsThem_data();
    void jobsAreNamedAsTheQueueShowsThem();
    void withoutPrinterNothingIsPrinted();
    void prescriptionPrintsIntoPdf();
    void inkStaysInsideRulesAndFrames_data();
    void inkStaysInsideRulesAndFrames();
    void panesShowTextsWherePaperHasThem_data();
    void panesShowTextsWherePaperHasThem();
    void previewDrawsTheSamePrint();
};

void TestPrinting::textIsSplitIntoLinesInMemory_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("maxLines");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("two lines") << "a\r\nb" << 20 << QStringList{"a", "b"};
    QTest::newRow("ending in CR LF") << "a\r\n" << 20 << QStringList{"a", ""};
    QTest::newRow("empty") << "" << 20 << QStringList{""};
    QTest::newRow("lone CR, empty lines") << "a\rb\r\n\r\n" << 20 << QStringList{"a", "b", "", ""};
    QTest::newRow("lone LF stays") << "a\nb\r\nc\n" << 20 << QStringList{"a\nb", "c\n"};
    QTest::newRow("LF CR") << "a\n\rb" << 20 << QStringList{"a\n", "b"};
    QTest::newRow("trailing empty line counts") << "1\r\n2\r\n" << 3 << QStringList{"1", "2", ""};
    QTest::newRow("cut at the limit") << "1\r\n2\r\n3\r\n" << 3 << QStringList{"1", "2", "3"};
}

void TestPrinting::textIsSplitIntoLinesInMemory()
{
    QFETCH(QString, text);
    QFETCH(int, maxLines);
    QFETCH(QStringList, lines);
    QCOMPARE(printedLines(text, maxLines), lines);
}

void TestPrinting::prescriptionItemsStandWhereThePaneHasThem_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QPointF>("at");
    QTest::addColumn<QString>("font");
    QTest::addColumn<double>("size");
    QTest::addColumn<bool>("bold");
    QTest::newRow("title") << "城关卫生院处方笺" << QPointF(1939.5, 465.48) << Hei << 18.0 << false;
    QTest::newRow("Rp") << "Rp" << QPointF(620.64, 2249.82) << Song << 18.0 << true;
    QTest::newRow("姓名") << "姓名：" << QPointF(620.64, 1241.28) << Hei << 11.0 << false;
    QTest::newRow("配药") << "配药：" << QPointF(5042.7, 10007.82) << Hei << 11.0 << false;
    QTest::newRow("划价") << "划价" << QPointF(930.96, 9775.08) << Kai << 11.0 << false;
    QTest::newRow("收费, 12 on screen") << "收费" << QPointF(3723.84, 9619.92) << Kai << 11.0 << false;
    QTest::newRow("name") << "张三" << QPointF(1396.44, 1267.14) << Kai << 11.0 << false;
    QTest::newRow("dispenser") << "王药师" << QPointF(5740.92, 10027.215) << Kai << 11.0 << false;
    QTest::newRow("fee") << "12.50" << QPointF(2017.08, 9775.08) << Kai << 11.0 << false;
    QTest::newRow("usage line") << "    用法：口服" << QPointF(1784.34, 3152.88) << Kai << 11.0 << false;
}

void TestPrinting::prescriptionItemsStandWhereThePaneHasThem()
{
    QFETCH(QString, text);
    QFETCH(QPointF, at);
    QFETCH(QString, font);
    QFETCH(double, size);
    QFETCH(bool, bold);
    const Op op = prescription(sample()).text(text);
    QCOMPARE(op.text, text);
    QCOMPARE(op.at, at);
    QCOMPARE(op.onPage(), at); // no offsets
    QCOMPARE(op.fontName, font);
    QCOMPARE(op.fontSize, size);
    QCOMPARE(op.bold, bold);
}

void TestPrinting::prescriptionPrintsPaneRulesThenTwentyLines_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    QTest::addColumn<QString>("last");
    QTest::newRow("25 lines") << numbered(25) << 20 << "第20行";
    QTest::newRow("20 lines and CR LF") << numbered(20) + "\r\n" << 20 << "第20行";
    QTest::newRow("19 lines and CR LF") << numbered(19) + "\r\n" << 20 << "";
    QTest::newRow("empty") << "" << 1 << "";
}

void TestPrinting::prescriptionPrintsPaneRulesThenTwentyLines()
{
    QFETCH(QString, text);
    QFETCH(int, lines);
    QFETCH(QString, last);
    PrescriptionContent content = sample(text);
    content.fields = {}; // empty fields still print, as empty texts in their places
    const Printed printed = prescription(content);

    QString kinds; // 13 captions, 9 fields, 8 rules, the text, the end
    for (const Op& op : printed.ops)
        kinds += QString::number(op.kind);
    QCOMPARE(kinds, QString(22, u'0') + QString(8, u'1') + QString(lines, u'0') + u'3');

    const QList<QLineF> rules{
        {620.64, 1086.12, 6982.2, 1086.12},    {620.64, 2172.24, 6982.2, 2172.24},  {620.64, 9387.18, 6982.2, 9387.18},
        {620.64, 9542.34, 2948.04, 9542.34},   {620.64, 9542.34, 620.64, 10318.14}, {1784.34, 9542.34, 1784.34, 10318.14},
        {2948.04, 9542.34, 2948.04, 10318.14}, {620.64, 10318.14, 2948.04, 10318.14}};
    for (int i = 0; i < 8; ++i)
        QCOMPARE(QLineF(printed.ops[22 + i].at, printed.ops[22 + i].to), rules[i]);

    const double step = 220 + 70; // one line of 11 point type, and the extra spacing
    for (int i = 0; i < lines; ++i) {
        const Op& line = printed.ops[30 + i];
        QCOMPARE(line.at, QPointF(1784.34, 2862.88 + i * step));
        QCOMPARE(line.fontName, Kai);
        QCOMPARE(line.fontSize, 11.0);
        QVERIFY(!line.bold);
    }
    QCOMPARE(printed.ops[30 + lines - 1].text, last);
}

void TestPrinting::cardPrintsFifteenLinesThenTheFrame_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("lines");
    QTest::newRow("18 lines") << numbered(18) << 15;
    QTest::newRow("15 lines and CR LF") << numbered(15) + "\r\n" << 15;
    QTest::newRow("empty") << "" << 1;
}

void TestPrinting::cardPrintsFifteenLinesThenTheFrame()
{
    QFETCH(QString, text);
    QFETCH(int, lines);
    const Printed printed = card({cardSample.header, cardSample.date, text});
    QCOMPARE(printed.ops.size(), size_t(3 + lines + 4 + 1));

    struct Label { QString text; QPointF at; QString font; double size; };
    const Label labels[] = {{"门诊注射卡", {1320, 300}, Hei, 12}, {"张三，男，35", {300, 660}, Song, 9.75}, {"2024-03-08", {2460, 660}, Song, 9.75}};
    for (int i = 0; i < 3; ++i) {
        QCOMPARE(printed.ops[i].text, labels[i].text);
        QCOMPARE(printed.ops[i].at, labels[i].at);
        QCOMPARE(printed.ops[i].fontName, labels[i].font);
        QCOMPARE(printed.ops[i].fontSize, labels[i].size);
        QVERIFY(!printed.ops[i].bold);
    }
    const double step = 200 + 50;
    for (int i = 0; i < lines; ++i) {
        const Op& line = printed.ops[3 + i];
        QCOMPARE(line.text, printedLines(text, 15).at(i));
        QCOMPARE(line.at, QPointF(540, 1190 + i * step));
        QCOMPARE(line.fontName, Song);
        QCOMPARE(line.fontSize, 10.0);
    }
    // The frame comes after the text, unscaled.
    const QList<QLineF> frame{{300, 900, 3540, 900}, {300, 5280, 3540, 5280}, {300, 900, 300, 5280}, {3540, 5280, 3540, 900}};
    for (int i = 0; i < 4; ++i) {
        const Op& op = printed.ops[3 + lines + i];
        QCOMPARE(op.kind, Op::Line);
        QCOMPARE(QLineF(op.at, op.to), frame[i]);
    }
}

void TestPrinting::eachPrintMovesByItsOwnOffsets_data()
{
    QTest::addColumn<Text>("top");
    QTest::addColumn<Text>("left");
    QTest::addColumn<Text>("cardTop");
    QTest::addColumn<Text>("cardLeft");
    QTest::addColumn<QPointF>("rp");
    QTest::addColumn<QPointF>("cardTitle");
    const Text zero = QStringLiteral("0");
    const QPointF rp(620.64, 2249.82), title(1320, 300);
    QTest::newRow("all zero") << zero << zero << zero << zero << rp << title;
    QTest::newRow("prescription 10 right, 5 down") << Text("5") << Text("10") << zero << zero << QPointF(1180.64, 2529.82) << title;
    QTest::newRow("card 3 right, 2 down") << zero << zero << Text("2") << Text("3") << rp << QPointF(1488, 412);
    QTest::newRow("empty") << Text("") << Text("") << Text("") << Text("") << rp << title;
    QTest::newRow("letters") << Text("abc") << Text("十") << Text("x2") << Text("mm") << rp << title;
    QTest::newRow("missing") << Text() << Text() << Text() << Text() << rp << title;
    QTest::newRow("negative") << Text("-1") << Text("-2") << Text("-1") << zero << QPointF(508.64, 2193.82) << QPointF(1320, 244);
}

void TestPrinting::eachPrintMovesByItsOwnOffsets()
{
    QFETCH(Text, top);
    QFETCH(Text, left);
    QFETCH(Text, cardTop);
    QFETCH(Text, cardLeft);
    QFETCH(QPointF, rp);
    QFETCH(QPointF, cardTitle);
    store::SettingsRow row;
    row.topOffset = top;
    row.leftOffset = left;
    row.cardTop = cardTop;
    row.cardLeft = cardLeft;

    const Printed sheet = prescription(sample(), prescriptionOffsets(row));
    QCOMPARE(sheet.text("Rp").at, QPointF(620.64, 2249.82)); // the layout stays, the origin moves
    QCOMPARE(sheet.text("Rp").onPage(), rp);
    const Op rule = sheet.ops[22]; // the first rule
    QCOMPARE(rule.onPage() - rule.at, rp - QPointF(620.64, 2249.82));
    QCOMPARE(card({}, cardOffsets(row)).text("门诊注射卡").onPage(), cardTitle);
}

void TestPrinting::printerIsTheKeptTheDefaultOrTheOnlyOne_data()
{
    QTest::addColumn<QString>("kept");
    QTest::addColumn<QStringList>("installed");
    QTest::addColumn<QString>("systemDefault");
    QTest::addColumn<QString>("used"); // "?": the desk is asked
    const QStringList two{"前台", "诊室"};
    QTest::newRow("none installed") << "" << QStringList() << "" << "";
    QTest::newRow("kept one gone, none installed") << "诊室" << QStringList() << "" << "";
    QTest::newRow("the only one, no default") << "" << QStringList{"诊室"} << "" << "诊室";
    QTest::newRow("the default") << "" << two << "前台" << "前台";
    QTest::newRow("kept wins over the default") << "诊室" << two << "前台" << "诊室";
    QTest::newRow("several, no default: ask") << "" << two << "" << "?";
    QTest::newRow("kept one gone: ask again") << "旧打印机" << two << "" << "?";
    QTest::newRow("kept one gone: the default") << "旧打印机" << two << "诊室" << "诊室";
    QTest::newRow("default no longer installed") << "" << QStringList{"诊室"} << "前台" << "诊室";
}

void TestPrinting::printerIsTheKeptTheDefaultOrTheOnlyOne()
{
    QFETCH(QString, kept);
    QFETCH(QStringList, installed);
    QFETCH(QString, systemDefault);
    QFETCH(QString, used);
    const PrinterPick pick = pickPrinter(kept, {installed, systemDefault});
    QCOMPARE(pick.ask, used == "?");
    QCOMPARE(pick.name, used == "?" ? QString() : used);
}

void TestPrinting::jobsAreNamedAsTheQueueShowsThem_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("prescription");
    QTest::addColumn<QString>("card");
    QTest::newRow("filled") << "张三" << "2026-12-09" << "处方 张三 2026-12-09" << "注射卡 张三";
    QTest::newRow("blanks around") << " 张三 " << "2026-12-09" << "处方 张三 2026-12-09" << "注射卡 张三";
    QTest::newRow("no name") << "" << "2026-12-09" << "处方 2026-12-09" << "注射卡";
}

void TestPrinting::jobsAreNamedAsTheQueueShowsThem()
{
    QFETCH(QString, name);
    QFETCH(QString, date);
    QFETCH(QString, prescription);
    QFETCH(QString, card);
    PrescriptionContent content = sample();
    content.fields[0] = name;
    content.fields[3] = date;
    QCOMPARE(prescriptionJobName(content), prescription);
    QCOMPARE(cardJobName({QString(), date, QString(), name}), card);
}

void TestPrinting::withoutPrinterNothingIsPrinted()
{
    bool drawn = false;
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no printer .* installed"));
    QVERIFY(!printOnPrinter(QString(), QStringLiteral("处方"), [&](PrinterPage&) { drawn = true; }));
    QVERIFY(!drawn);
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no printer .* installed"));
    QVERIFY(!printPrescription(QStringLiteral("没有这台打印机"), sample(), {}));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no printer .* installed"));
    QVERIFY(!printInjectionCard(QStringLiteral("没有这台打印机"), cardSample, {}));
}

void TestPrinting::prescriptionPrintsIntoPdf()
{
    if (QStandardPaths::findExecutable("pdftotext").isEmpty() || QStandardPaths::findExecutable("pdffonts").isEmpty())
        QSKIP("poppler-utils are not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("处方.pdf"));
    // Made without a printer, the PDF's printable area is the whole sheet.
    QVERIFY(printToPdf(path, [](PrinterPage& page) { drawPrescription(page, sample(numbered(25)), {10, 5}); }));

    const QString text = poppler("pdftotext", {path, "-"});
    for (const QString piece : {"城关卫生院处方笺", "Rp", "姓名：", "配药：", "盖章", "张三", "城关镇东街", "12.50", "第1行", "第20行"})
        QVERIFY2(text.contains(piece), qPrintable(piece + " missing from\n" + text));
    QVERIFY(!text.contains(QStringLiteral("第21行")));
    QCOMPARE(text.count(u'\f'), 1); // one page
    // Where the sheet is aligned with the paper: 1180.64 and 2529.82 twips. The reader's box
    // starts at the face's ascent, a little above the em box that starts there.
    const QPointF rp = wordCorner(path, "Rp");
    QVERIFY2(qAbs(rp.x() - 59.03) < 1 && rp.y() < 126.49 && rp.y() > 126.49 - 0.4 * 18, qPrintable(QString("%1 %2").arg(rp.x()).arg(rp.y())));
    const QString fonts = poppler("pdffonts", {path});
    for (const char* face : {"NotoSerifCJK", "NotoSansCJK", "UKai"})
        QVERIFY2(fonts.contains(face), qPrintable(fonts));
}

void TestPrinting::inkStaysInsideRulesAndFrames_data()
{
    QTest::addColumn<bool>("isCard");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRectF>("area"); // twips from the corner of the sheet
    QTest::addColumn<QList<Band>>("bands");

    QList<Band> card{text(300, 240), text(660, 195), rule(900)};
    for (int i = 0; i < 15; ++i)
        card << text(1190 + i * 250, 200); // 10 point lines and 50 twips
    card << rule(5280);
    QTest::newRow("full card") << true << numbered(18) << QRectF(350, 250, 3140, 5150) << card;

    // Captions and the values beside them, between the two rules of the patient block.
    QTest::newRow("patient block") << false << "" << QRectF(650, 1000, 6300, 1240)
                                   << QList<Band>{rule(1086.12), text(1241.28, 220, 25.86), text(1784.34, 220, 38.79), rule(2172.24)};
    QList<Band> lines;
    for (int i = 0; i < 20; ++i)
        lines << text(2862.88 + i * 290, 220); // 11 point lines and 70 twips
    lines << rule(9387.18);
    QTest::newRow("twenty lines") << false << numbered(25) << QRectF(1790, 2800, 5100, 6650) << lines;
    // The foot: the signatures right of the box, and each cell of the box.
    QTest::newRow("foot") << false << "" << QRectF(3000, 9300, 3950, 1100)
                          << QList<Band>{rule(9387.18), text(9619.92, 220, 19.395), text(10007.82, 220, 19.395)};
    const QList<Band> cell{rule(9387.18), rule(9542.34), text(9775.08, 220), rule(10318.14)};
    QTest::newRow("划价 cell") << false << "" << QRectF(650, 9300, 1100, 1100) << cell;
    QTest::newRow("fee cell") << false << "" << QRectF(1810, 9300, 1110, 1100) << cell;
}

void TestPrinting::inkStaysInsideRulesAndFrames()
{
    QFETCH(bool, isCard);
    QFETCH(QString, text);
    QFETCH(QRectF, area);
    QFETCH(QList<Band>, bands);
    if (!canRenderPdf())
        QSKIP("poppler-utils are not installed");
    QTemporaryDir dir;
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(dir.filePath(QStringLiteral("print.pdf")));
    // Qt's own margins are not the PDF printer's: positions count from its printable area,
    // here the whole sheet.
    QVERIFY(printOn(printer, [&](PrinterPage& page) {
        if (isCard)
            drawInjectionCard(page, {cardSample.header, cardSample.date, text}, {});
        else
            drawPrescription(page, sample(text), {});
    }));
    QVERIFY(pdfInkStaysInBands(printer.outputFileName(), 1, 1440, area, bands));
}

void TestPrinting::panesShowTextsWherePaperHasThem_data()
{
    QTest::addColumn<bool>("isCard");
    QTest::addColumn<QRectF>("area"); // twips on the pane
    QTest::addColumn<QList<Band>>("bands");
    const double em = 20; // twips to the point
    QTest::newRow("card header") << true << QRectF(320, 250, 3200, 750)
                                 << QList<Band>{text(300, 12 * em), text(660, 9.75 * em), rule(900)};
    // Lines one em apart below the box's margin of 4 pixels, so the fifteen the card prints all
    // show. Each line is 一, whose one stroke lies across the middle of its em box.
    QList<Band> box;
    for (int i = 0; i < 15; ++i)
        box << Band{1200 + i * 10 * em, 1200 + (i + 1) * 10 * em, 1200 + (i + 0.7) * 10 * em};
    QTest::newRow("card box") << true << QRectF(560, 1140, 2800, 4035) << box;
    QTest::newRow("patient block") << false << QRectF(500, 300, 4880, 1400)
                                   << QList<Band>{text(360, 15.75 * em), rule(840), text(960, 10.5 * em), text(1380, 10.5 * em), rule(1680)};
}

void TestPrinting::panesShowTextsWherePaperHasThem()
{
    QFETCH(bool, isCard);
    QFETCH(QRectF, area);
    QFETCH(QList<Band>, bands);
    std::unique_ptr<QWidget> pane;
    if (isCard) {
        auto* card = new CardPane;
        card->Label6[1]->setText(cardSample.header);
        card->Label6[2]->setText(cardSample.date);
        card->R2->setText(QStringList(15, QStringLiteral("一一一")).join("\r\n"));
        pane.reset(card);
    } else {
        auto* sheet = new PrescriptionPane;
        sheet->setTitle(sample().title);
        pane.reset(sheet);
    }
    const QImage image = pane->grab().toImage();
    QVERIFY(inkStaysInBands(image, image.width() / (isCard ? 3840.0 : 5915.0), area, bands));
}

void TestPrinting::previewDrawsTheSamePrint()
{
    QList<int> pages;
    QTimer closer;
    connect(&closer, &QTimer::timeout, this, [&] {
        if (auto* dialog = qobject_cast<QPrintPreviewDialog*>(QApplication::activeModalWidget())) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("打印预览"));
            pages << dialog->findChild<QPrintPreviewWidget*>()->pageCount();
            // Drawn from the corner of the printer's printable area, not inside Qt's margins.
            const QPageLayout layout = dialog->printer()->pageLayout();
            QCOMPARE(layout.margins(), layout.minimumMargins());
            dialog->reject();
        }
    });
    closer.start(20);
    previewPrescription(nullptr, QString(), sample(), {10, 5});
    previewInjectionCard(nullptr, QString(), cardSample, {3, 2});
    QCOMPARE(pages, QList<int>({1, 1})); // an empty preview would have no page
}

QTEST_MAIN(TestPrinting)
#include "test_printing.moc"
