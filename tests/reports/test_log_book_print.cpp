#include "printing/Fonts.h"
#include "printing/PrinterPage.h"
#include "reports/LogBookPrint.h"
#include "support/PdfPages.h"

#include <QBuffer>
#include <QPdfWriter>
#include <QTemporaryDir>
#include <QtTest>

using Op = printing::PageOperation;

namespace {

// Each page's rules and texts, as "x1,y1-x2,y2" and "text@x,y size[ bold]".
struct Printed {
    QList<QStringList> rules, texts;
    QPageLayout::Orientation orientation;
    int doctorReads = 0;
};

Printed print(const QList<QStringList>& rows, const QString& doctor = QStringLiteral("李医生"))
{
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    Printed printed;
    printing::PageRecording ops;
    printing::PrinterPage page(&writer);
    page.setRecording(&ops);
    reports::drawLogBook(page, rows, [&] { return ++printed.doctorReads, doctor; });
    page.endDocument();
    printed.orientation = writer.pageLayout().orientation();
    for (const Op& op : ops) {
        if (op.kind == Op::EndDocument)
            break;
        if (op.page > printed.texts.size())
            printed.rules << QStringList(), printed.texts << QStringList();
        if (op.origin != QPointF(-20, -10))
            printed.texts.last() << "origin moved";
        if (op.kind == Op::Line)
            printed.rules.last() << QStringLiteral("%1,%2-%3,%4").arg(op.at.x()).arg(op.at.y()).arg(op.to.x()).arg(op.to.y());
        if (op.kind == Op::Text)
            printed.texts.last() << QStringLiteral("%1@%2,%3 %4%5").arg(op.text).arg(op.at.x()).arg(op.at.y()).arg(op.fontSize).arg(op.bold ? " bold" : "");
    }
    return printed;
}

QList<QStringList> visits(int count)
{
    QList<QStringList> rows;
    for (int i = 1; i <= count; ++i)
        rows << QStringList{QStringLiteral("病人%1").arg(i), "男", "35", "上感", "城关镇", QStringLiteral("2024-03-07 08:%1").arg(i, 2, 10, QLatin1Char('0'))};
    return rows;
}

} // namespace

class TestLogBookPrint : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { fonts::installFontSubstitutions(); }
    void everyPageHasTheFrame_data();
    void everyPageHasTheFrame();
    void linesStandInTheirBands();
    void inkStaysBetweenTheRules_data();
    void inkStaysBetweenTheRules();
};

void TestLogBookPrint::everyPageHasTheFrame_data()
{
    QTest::addColumn<QList<QStringList>>("rows");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("linesOnLastPage");

    QTest::newRow("no records") << QList<QStringList>{QStringList(7)} << 1 << 1; // the grid's empty line
    QTest::newRow("20 records") << visits(20) << 1 << 20;
    QTest::newRow("21 records") << visits(21) << 2 << 1;
    QTest::newRow("41 records") << visits(41) << 3 << 1;
}

void TestLogBookPrint::everyPageHasTheFrame()
{
    QFETCH(QList<QStringList>, rows);
    QFETCH(int, pages);
    QFETCH(int, linesOnLastPage);

    const Printed printed = print(rows);
    QCOMPARE(printed.texts.size(), pages);
    QCOMPARE(printed.orientation, QPageLayout::Landscape);
    QCOMPARE(printed.doctorReads, pages); // read afresh for every page

    QStringList rules;
    for (int y = 30; y <= 177; y += 7)
        rules << QStringLiteral("0,%1-240,%1").arg(y);
    for (int x : {0, 25, 35, 47, 100, 170, 207, 240})
        rules << QStringLiteral("%1,30-%1,177").arg(x);
    for (int page = 1; page <= pages; ++page) {
        QCOMPARE(printed.rules[page - 1], rules);
        const QStringList& texts = printed.texts[page - 1];
        QCOMPARE(texts.mid(0, 10), QStringList({
                                       "门 诊 日 志 登 记 本@80,20 22 bold", "姓    名@2,32 12 bold", "性别@26,32 12 bold",
                                       "年龄@36,32 12 bold", "诊            断@55,32 12 bold", "地            址@117,32 12 bold",
                                       "就诊时间@179,32 12 bold", "备    注@214,32 12 bold", "医生：李医生@0,178 12 bold",
                                       QStringLiteral("第%1页共%2页@215,178 12 bold").arg(page).arg(pages),
                                   }));
        QCOMPARE(texts.size(), 10 + 6 * (page < pages ? 20 : linesOnLastPage));
    }
}

void TestLogBookPrint::linesStandInTheirBands()
{
    QList<QStringList> rows = visits(21);
    rows << QStringList{"张三", "女", "", "一个很长很长的诊断名称一直写到地址栏里", "", "2024-03-07 10:02", "备注不印"};
    const Printed printed = print(rows, QString());

    QCOMPARE(printed.texts[0].last(), QStringLiteral("2024-03-07 08:20@171,172 12")); // the last band of page 1
    QCOMPARE(printed.texts[1][8], QStringLiteral("医生：@0,178 12 bold"));
    QCOMPARE(printed.texts[1].mid(10), QStringList({
                                           "病人21@2,39 12", "男@28,39 12", "35@36,39 12", "上感@48,39 12", "城关镇@101,39 12",
                                           "2024-03-07 08:21@171,39 12", "张三@2,46 12", "女@28,46 12", "@36,46 12",
                                           "一个很长很长的诊断名称一直写到地址栏里@48,46 12", "@101,46 12", "2024-03-07 10:02@171,46 12",
                                       }));
}

void TestLogBookPrint::inkStaysBetweenTheRules_data()
{
    QTest::addColumn<int>("page");
    QTest::addColumn<QRectF>("area"); // millimetres from the corner of the sheet
    QTest::addColumn<QList<Band>>("bands");

    const double em12 = 12 * 25.4 / 72;
    // The name column, with its rules, header, twenty lines and the doctor line below it.
    QList<Band> column{rule(40), text(42, em12), rule(47)};
    for (int k = 0; k < 20; ++k)
        column << text(49 + 7 * k, em12) << rule(54 + 7 * k);
    column << text(188, em12);
    const QRectF nameColumn(20.5, 35, 24, 160);
    const QRectF title(90, 25, 150, 14.5);
    QTest::newRow("page 1") << 1 << nameColumn << column;
    QTest::newRow("page 2") << 2 << nameColumn << column;
    QTest::newRow("title") << 2 << title << QList<Band>{text(30, 22 * 25.4 / 72)};
}

void TestLogBookPrint::inkStaysBetweenTheRules()
{
    QFETCH(int, page);
    QFETCH(QRectF, area);
    QFETCH(QList<Band>, bands);
    if (!canRenderPdf())
        QSKIP("poppler-utils are not installed");
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("log.pdf"));
    {
        QPdfWriter writer(path);
        writer.setPageMargins(QMarginsF());
        printing::PrinterPage printer(&writer);
        QList<QStringList> rows;
        for (int i = 0; i < 40; ++i) // two full pages of names that fill the em box
            rows << QStringList{"欧阳国强", "男", "35", "上呼吸道感染", "城关镇东街", "2024-03-07 08:12"};
        reports::drawLogBook(printer, rows, [] { return QStringLiteral("李医生"); });
        QVERIFY(printer.endDocument());
    }
    QVERIFY(pdfInkStaysInBands(path, page, 25.4, area, bands));
}

QTEST_MAIN(TestLogBookPrint)
#include "test_log_book_print.moc"
