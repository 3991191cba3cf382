#include "common/MessageBox.h"
#include "printing/BackgroundPrint.h"
#include "printing/Fonts.h"
#include "printing/PrintJob.h"
#include "printing/PrinterPage.h"
#include "printing/Twips.h"
#include "ReportFixture.h"
#include "reports/LogBookPrint.h"
#include "reports/LogCsv.h"
#include "reports/OutpatientLogWindow.h"
#include "settings/CurrentSettings.h"
#include "support/PdfPages.h"
#include "support/ProgramFolder.h"

#include <QApplication>
#include <QBuffer>
#include <QPdfWriter>
#include <QFileDialog>
#include <QPointer>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPushButton>
#include <QScopeGuard>
#include <QScrollBar>
#include <QSemaphore>
#include <QSignalSpy>
#include <QTableView>
#include <QTimer>

using namespace store;

namespace {

const QStringList Headers{"姓    名", "性别", "年龄", "诊    断", "地    址", "就诊时间", "备    注"};

QString text(const QTableView* grid, int row, int c) { return grid->model()->index(row, c).data().toString(); }

// The column as the grid shows it: its caption, then the cell of every line.
QStringList column(const QTableView* grid, int c)
{
    QStringList texts{grid->model()->headerData(c, Qt::Horizontal).toString()};
    for (int r = 0; r < grid->model()->rowCount(); ++r)
        texts << text(grid, r, c);
    return texts;
}

QStringList line(const QTableView* grid, int row)
{
    QStringList texts;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        texts << text(grid, row, c);
    return texts;
}

QList<int> widths(const QTableView* grid)
{
    QList<int> out;
    for (int c = 0; c < grid->model()->columnCount(); ++c)
        out << grid->columnWidth(c);
    return out;
}

QStringList numbered(const QString& name, int count)
{
    QStringList names;
    for (int i = 1; i <= count; ++i)
        names << name + QString::number(i);
    return names;
}

// "month", or the day of March 2024 to query.
void queryLog(OutpatientLogWindow& w, const QString& period)
{
    if (period == "month") {
        QTest::mouseClick(w.Command2, Qt::LeftButton);
        return;
    }
    typeInto(w.Combo1[2], period);
    QTest::mouseClick(w.Command1, Qt::LeftButton);
}

// Answers the next modal dialog of this type while the code under test waits for it.
template <typename Dialog>
void answerNext(QTimer& timer, std::function<void(Dialog*)> answer)
{
    QObject::connect(&timer, &QTimer::timeout, &timer, [&timer, answer] {
        if (auto* dialog = qobject_cast<Dialog*>(QApplication::activeModalWidget()))
            timer.stop(), answer(dialog);
    });
    timer.start(20);
}

} // namespace

class TestOutpatientLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        Clock::setSource([] { return ReportsNow; });
        fonts::installFontSubstitutions(); // as the program does before any window
    }
    void cleanupTestCase() { Clock::setSource({}); }

    void opensWithHeadersAndOneEmptyLine();
    void listsVisitsInKeyOrder_data();
    void listsVisitsInKeyOrder();
    void eachQueryReplacesTheLines();
    void aQueryReplacesEveryLine_data();
    void aQueryReplacesEveryLine();
    void aLineReadsAlikeInGridPrintAndExport_data();
    void aLineReadsAlikeInGridPrintAndExport();
    void aMonthOfMoreThan32766Visits();
    void printAndPreviewTakeTheGrid();
    void printingWithoutAPrinterSaysSo();
    void printingLeavesTheWindowAnswering_data();
    void printingLeavesTheWindowAnswering();
    void exportWritesTheGrid();
    void exportKeepsFormulasText_data();
    void exportKeepsFormulasText();
};

void TestOutpatientLog::opensWithHeadersAndOneEmptyLine()
{
    ProgramFolder folder;
    CurrentSettings settings(folder.store());
    QPointer<OutpatientLogWindow> w = new OutpatientLogWindow(folder.store(), settings);
    QCOMPARE(w->objectName() + w->windowTitle(), QStringLiteral("form12门诊日志"));
    QTableView* grid = w->findChild<QTableView*>("MSFlexGrid1");
    QCOMPARE(grid->model()->rowCount(), 1);
    QCOMPARE(grid->model()->columnCount(), 7);
    QCOMPARE(column(grid, 0), QStringList({"姓    名", ""}));
    const QList<int> twipWidths{1000, 500, 500, 3500, 5000, 1550, 2100};
    for (int c = 0; c < 7; ++c) {
        QCOMPARE(grid->model()->headerData(c, Qt::Horizontal).toString(), Headers[c]);
        QCOMPARE(grid->columnWidth(c), twips::toPixels(twipWidths[c]));
    }
    QStringList parts;
    for (QComboBox* box : w->Combo1)
        parts << box->currentText();
    QCOMPARE(parts, QStringList({"2024", "03", "07", "2024", "03"}));

    w->show();
    QVERIFY(QTest::qWaitForWindowExposed(w));
    QTest::mouseClick(w->Command4, Qt::LeftButton);
    QTRY_VERIFY(!w);
}

void TestOutpatientLog::listsVisitsInKeyOrder_data()
{
    QTest::addColumn<bool>("month");
    QTest::addColumn<QString>("day");
    QTest::addColumn<QStringList>("times");
    QTest::addColumn<QStringList>("names");

    QTest::newRow("day") << false << "07" << QStringList{"2024-03-06 23:59", "2024-03-07 08:15", "2024-03-07 09:40", "2024-03-07 10:02"}
                         << QStringList{"前夜", "甲", "乙", "丙"};
    QTest::newRow("month") << true << "07"
                           << QStringList{"2024-03-02 17:30", "2024-03-06 23:59", "2024-03-07 08:15", "2024-03-07 09:40", "2024-03-07 10:02"}
                           << QStringList{"二日", "前夜", "甲", "乙", "丙"};
    QTest::newRow("no leading zero") << false << "7" << QStringList{""} << QStringList{""};
    QTest::newRow("quotation mark") << false << "07'" << QStringList{""} << QStringList{""};
}

void TestOutpatientLog::listsVisitsInKeyOrder()
{
    QFETCH(bool, month);
    QFETCH(QString, day);
    QFETCH(QStringList, times);
    QFETCH(QStringList, names);

    ProgramFolder folder;
    Store& store = folder.store();
    addVisit(store, "2024-03-07 10:02:59", "2024-03-07", {}, "丙");
    addVisit(store, "2024-03-07 08:15:10", "2024-03-07", {}, "甲");
    addVisit(store, "2024-04-07 07:00:00", "2024-04-07", {}, "下月");
    addVisit(store, "2024-03-02 17:30:00", "2024-03-02", {}, "二日");
    QVERIFY(Store::insert(store.records(), RecordsTable, {"2024-03-07 09:40:00", "乙", "女", "35", "2024-03-07", {}, "城关镇东街", {}, {}, {}, {}}));
    addVisit(store, "2024-03-06 23:59:00", "2024-03-07", {}, "前夜"); // started before midnight

    CurrentSettings settings(store);
    OutpatientLogWindow w(store, settings);
    typeInto(w.Combo1[2], day);
    QTest::mouseClick(month ? w.Command2 : w.Command1, Qt::LeftButton);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(column(w.MSFlexGrid1, 5), QStringList{"就诊时间"} + times);
    QCOMPARE(column(w.MSFlexGrid1, 0), QStringList{"姓    名"} + names);
    QCOMPARE(column(w.MSFlexGrid1, 6).join(""), QStringLiteral("备    注"));
    if (const int row = int(names.indexOf("乙")); row >= 0)
        QCOMPARE(line(w.MSFlexGrid1, row), QStringList({"乙", "女", "35", "", "城关镇东街", "2024-03-07 09:40", ""}));
}

void TestOutpatientLog::eachQueryReplacesTheLines()
{
    ProgramFolder folder;
    for (int i = 0; i < 25; ++i)
        addVisit(folder.store(), QStringLiteral("2024-03-07 08:%1:00").arg(i, 2, 10, QLatin1Char('0')), "2024-03-07");
    CurrentSettings settings(folder.store());
    OutpatientLogWindow w(folder.store(), settings);
    QTableView* grid = w.MSFlexGrid1;
    grid->setColumnWidth(3, 40); // dragged by the user
    const QList<int> widthsBefore = widths(grid);

    QTest::mouseClick(w.Command1, Qt::LeftButton);
    QCOMPARE(grid->model()->rowCount(), 25);
    QCOMPARE(text(grid, 24, 5), QStringLiteral("2024-03-07 08:24"));
    typeInto(w.Combo1[2], "08");
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    QCOMPARE(grid->model()->rowCount(), 1);
    QCOMPARE(column(grid, 6), QStringList({"备    注", ""}));
    QCOMPARE(widths(grid), widthsBefore);
}

void TestOutpatientLog::aQueryReplacesEveryLine_data()
{
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::addColumn<QStringList>("names");

    const QStringList seventh = numbered("甲", 40), second = numbered("乙", 2);
    QTest::newRow("fewer lines") << "07" << "02" << second;
    QTest::newRow("more lines") << "02" << "month" << second + seventh;
    QTest::newRow("the same again") << "07" << "07" << seventh;
    QTest::newRow("a month, then a day of it") << "month" << "07" << seventh;
    QTest::newRow("none after many") << "07" << "08" << QStringList{""};
    QTest::newRow("many after none") << "08" << "07" << seventh;
}

void TestOutpatientLog::aQueryReplacesEveryLine()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QStringList, names);

    ProgramFolder folder;
    for (int i = 1; i <= 40; ++i)
        addVisit(folder.store(), QStringLiteral("2024-03-07 08:%1:00").arg(i, 2, 10, QLatin1Char('0')), "2024-03-07", {},
                 QStringLiteral("甲%1").arg(i));
    addVisit(folder.store(), "2024-03-02 10:00:00", "2024-03-02", {}, "乙1");
    addVisit(folder.store(), "2024-03-02 11:00:00", "2024-03-02", {}, "乙2");
    CurrentSettings settings(folder.store());
    OutpatientLogWindow w(folder.store(), settings);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QTableView* grid = w.MSFlexGrid1;

    queryLog(w, first);
    grid->selectRow(1);
    QCoreApplication::processEvents(); // lays the lines out, so there is a scroll range
    grid->scrollToBottom();
    QSignalSpy resets(grid->model(), &QAbstractItemModel::modelReset);
    QSignalSpy changes(grid->model(), &QAbstractItemModel::dataChanged);
    QSignalSpy inserts(grid->model(), &QAbstractItemModel::rowsInserted);
    QSignalSpy removals(grid->model(), &QAbstractItemModel::rowsRemoved);
    queryLog(w, second);

    QCOMPARE(column(grid, 0), QStringList{"姓    名"} + names);
    QCOMPARE(column(grid, 6), QStringList{"备    注"} + QStringList(names.size()));
    // One notification, a reset: nothing per line or per cell.
    QCOMPARE(resets.size() + changes.size() + inserts.size() + removals.size(), 1);
    QCOMPARE(resets.size(), 1);
    QVERIFY(!grid->selectionModel()->hasSelection());
    QCOMPARE(grid->verticalScrollBar()->value(), 0);
    const QList<QStringList> printed = reports::logBookRows(grid->model());
    QCOMPARE(printed.size(), names.size());
    QCOMPARE(printed.last().first(), names.last());
}

void TestOutpatientLog::aLineReadsAlikeInGridPrintAndExport_data()
{
    QTest::addColumn<QString>("key"); // empty: no visit that day
    QTest::addColumn<QVariantList>("fields"); // name, sex, age, diagnosis, address; null: NULL
    QTest::addColumn<QStringList>("shown");
    QTest::addColumn<QString>("csv");

    const QString key = QStringLiteral("2024-03-07 08:15:00");
    QTest::newRow("every field") << key << QVariantList{"甲", "男", "35", "上感", "城关镇"}
                                 << QStringList{"甲", "男", "35", "上感", "城关镇", "2024-03-07 08:15", ""}
                                 << "甲,男,35,上感,城关镇,2024-03-07 08:15,";
    QTest::newRow("NULL fields") << key << QVariantList(5)
                                 << QStringList{"", "", "", "", "", "2024-03-07 08:15", ""} << ",,,,,2024-03-07 08:15,";
    QTest::newRow("empty fields") << key << QVariantList{"甲", "", "", "", ""}
                                  << QStringList{"甲", "", "", "", "", "2024-03-07 08:15", ""} << "甲,,,,,2024-03-07 08:15,";
    QTest::newRow("key shorter than a minute") << "2024-03-07 8:15" << QVariantList{"甲", {}, {}, {}, {}}
                                               << QStringList{"甲", "", "", "", "", "2024-03-07 8:15", ""} << "甲,,,,,2024-03-07 8:15,";
    // Sixteen characters, not sixteen bytes of UTF-8.
    QTest::newRow("key in Chinese") << "2024年03月07日 08时15分00秒" << QVariantList{"甲", {}, {}, {}, {}}
                                    << QStringList{"甲", "", "", "", "", "2024年03月07日 08时1", ""} << "甲,,,,,2024年03月07日 08时1,";
    QTest::newRow("no visit") << QString() << QVariantList() << QStringList(7) << ",,,,,,";
}

void TestOutpatientLog::aLineReadsAlikeInGridPrintAndExport()
{
    QFETCH(QString, key);
    QFETCH(QVariantList, fields);
    QFETCH(QStringList, shown);
    QFETCH(QString, csv);

    ProgramFolder folder;
    if (!key.isEmpty()) {
        Row row(RecordsTable.fields.size());
        row[0] = key;
        row[4] = QStringLiteral("2024-03-07");
        const int fieldColumns[] = {1, 2, 3, 5, 6};
        for (int i = 0; i < 5; ++i) {
            if (fields[i].isValid())
                row[size_t(fieldColumns[i])] = fields[i].toString();
        }
        QVERIFY(Store::insert(folder.store().records(), RecordsTable, row));
    }
    CurrentSettings settings(folder.store());
    OutpatientLogWindow w(folder.store(), settings);
    QTest::mouseClick(w.Command1, Qt::LeftButton);

    QCOMPARE(w.MSFlexGrid1->model()->rowCount(), 1);
    QCOMPARE(line(w.MSFlexGrid1, 0), shown);
    QCOMPARE(reports::logBookRows(w.MSFlexGrid1->model()), QList<QStringList>{shown.mid(0, 6)});
    QVERIFY(reports::writeLogCsv(folder.file("log.csv"), w.MSFlexGrid1->model()));
    QCOMPARE(ProgramFolder::bytes(folder.file("log.csv")),
             "\xEF\xBB\xBF" + (Headers.join(',') + "\r\n" + csv + "\r\n").toUtf8());
}

void TestOutpatientLog::aMonthOfMoreThan32766Visits()
{
    ProgramFolder folder;
    QVERIFY(folder.store().records()->execute(QStringLiteral(
        "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 40000) "
        "INSERT INTO \"档案\" (\"名称\", \"姓名\", \"日期\") SELECT '2024-03-01 ' || time(i, 'unixepoch'), '病人' || i, '2024-03-01' FROM n")));
    CurrentSettings settings(folder.store());
    OutpatientLogWindow w(folder.store(), settings);
    QTest::mouseClick(w.Command2, Qt::LeftButton);
    QCOMPARE(w.MSFlexGrid1->model()->rowCount(), 40000);
    QCOMPARE(text(w.MSFlexGrid1, 39999, 0) + text(w.MSFlexGrid1, 39999, 5), QStringLiteral("病人400002024-03-01 11:06"));
}

void TestOutpatientLog::printAndPreviewTakeTheGrid()
{
    ProgramFolder folder;
    QVERIFY(Store::updateFirstFields(folder.store().settings(), SettingsTable, {{0, QStringLiteral("李医生")}}));
    for (int i = 0; i < 21; ++i)
        addVisit(folder.store(), QStringLiteral("2024-03-07 09:%1:00").arg(i, 2, 10, QLatin1Char('0')), "2024-03-07");
    CurrentSettings settings(folder.store());
    OutpatientLogWindow w(folder.store(), settings);
    QTest::mouseClick(w.Command1, Qt::LeftButton);
    folder.store().records()->execute(QStringLiteral("DELETE FROM \"档案\"")); // what prints is the grid

    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    QPdfWriter writer(&pdf);
    printing::PageRecording ops;
    printing::PrinterPage page(&writer);
    page.setRecording(&ops);
    w.logBookJob()(page);
    QStringList seen;
    for (const printing::PageOperation& op : ops)
        if (op.text.startsWith("第") || op.text.startsWith("医生") || op.at.x() == 171)
            seen << op.text;
    QCOMPARE(seen.size(), 2 + 21 + 2);
    QCOMPARE(seen.mid(0, 3), QStringList({"医生：李医生", "第1页共2页", "2024-03-07 09:00"}));
    QCOMPARE(seen.mid(22), QStringList({"医生：李医生", "第2页共2页", "2024-03-07 09:20"}));

    int pages = -1;
    QTimer timer;
    answerNext<QPrintPreviewDialog>(timer, [&](QPrintPreviewDialog* dialog) {
        pages = dialog->findChild<QPrintPreviewWidget*>()->pageCount();
        dialog->reject();
    });
    QTest::mouseClick(w.Command5, Qt::LeftButton);
    QCOMPARE(pages, 2);
}

void TestOutpatientLog::printingWithoutAPrinterSaysSo()
{
    if (!printing::installedPrinters().names.isEmpty())
        QSKIP("this machine has a printer, and tests do not print on real ones");
    ProgramFolder folder;
    CurrentSettings settings(folder.store());
    OutpatientLogWindow w(folder.store(), settings);
    MessageBox::setTestMode(true);
    MessageBox::clearShownMessages();
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("no printer installed"));
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not printed"));
    QSignalSpy printed(&w, &OutpatientLogWindow::logBookPrinted);
    QTest::mouseClick(w.Command3, Qt::LeftButton);
    QTRY_COMPARE(printed.count(), 1);
    QCOMPARE(printed.at(0).at(0).toBool(), false);
    QCOMPARE(MessageBox::shownMessages(), QStringList({"提示", "未找到打印机"}));
    QVERIFY(w.Command3->isEnabled());
    MessageBox::setTestMode(false);
}

void TestOutpatientLog::printingLeavesTheWindowAnswering_data()
{
    QTest::addColumn<bool>("closed"); // while the book is being written
    QTest::newRow("window stays") << false;
    QTest::newRow("window closed") << true;
}

void TestOutpatientLog::printingLeavesTheWindowAnswering()
{
    QFETCH(bool, closed);
    if (!canRenderPdf())
        QSKIP("poppler-utils are not installed");
    ProgramFolder folder;
    QVERIFY(Store::updateFirstFields(folder.store().settings(), SettingsTable, {{0, QStringLiteral("李医生")}}));
    for (int i = 0; i < 21; ++i)
        addVisit(folder.store(), QStringLiteral("2024-03-07 09:%1:00").arg(i, 2, 10, QLatin1Char('0')), "2024-03-07");
    addVisit(folder.store(), "2024-03-08 10:00:00", "2024-03-08");
    CurrentSettings settings(folder.store());
    QPointer<OutpatientLogWindow> w = new OutpatientLogWindow(folder.store(), settings);
    w->show();
    QTest::mouseClick(w->Command1, Qt::LeftButton);

    // Each book is held on its thread until the test lets it go (a print on this thread would
    // hold the window as long).
    const auto pdf = [&](int n) { return folder.file(QStringLiteral("日志%1.pdf").arg(n)); };
    QSemaphore letGo;
    QAtomicInt writes;
    w->setPrintWriter([&](const printing::DrawJob& draw) {
        const int n = writes.fetchAndAddRelaxed(1) + 1;
        letGo.tryAcquire(1, 5000);
        return printing::printToPdf(pdf(n), draw);
    });
    const auto finish = qScopeGuard([&] {
        letGo.release(2);
        printing::BackgroundPrint::waitForAll();
    });
    QSignalSpy printed(w.data(), &OutpatientLogWindow::logBookPrinted);
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    QTRY_COMPARE(writes.loadRelaxed(), 1);
    QVERIFY(!w->Command3->isEnabled());
    QCOMPARE(w->cursor().shape(), Qt::BusyCursor);

    // The window answers: another press prints nothing more, a query shows the month.
    QTest::mouseClick(w->Command3, Qt::LeftButton);
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QCOMPARE(w->MSFlexGrid1->model()->rowCount(), 22);
    if (closed) {
        w->close();
        QTRY_VERIFY(w.isNull());
        letGo.release();
        printing::BackgroundPrint::waitForAll();
    } else {
        // Pressed again the moment the first book is written: a second one, of the month.
        connect(w, &OutpatientLogWindow::logBookPrinted, w, [&, again = true]() mutable {
            if (std::exchange(again, false))
                letGo.release(), w->Command3->click();
        });
        letGo.release();
        QTRY_COMPARE(printed.count(), 2);
        QCOMPARE(printed, QList<QVariantList>({{true}, {true}}));
        QVERIFY(w->Command3->isEnabled());
        QCOMPARE(w->cursor().shape(), Qt::ArrowCursor);
        QVERIFY(poppler("pdftotext", {pdf(2), "-"}).contains("2024-03-08"));
    }
    QCOMPARE(writes.loadRelaxed(), closed ? 1 : 2);
    // What the grid showed when 打  印 was first pressed: the day's 21 lines on two pages.
    QCOMPARE(pdfPageCount(pdf(1)), 2);
    const QString text = poppler("pdftotext", {pdf(1), "-"});
    QVERIFY2(text.contains(QStringLiteral("医生：李医生")) && text.contains("2024-03-07 09:20") && !text.contains("2024-03-08"),
             qPrintable(text));
    delete w;
}

void TestOutpatientLog::exportWritesTheGrid()
{
    ProgramFolder folder;
    addVisit(folder.store(), "2024-03-07 08:15:00", "2024-03-07", {}, "王\"小\",二");
    addVisit(folder.store(), "2024-03-07 09:40:00", "2024-03-07", {}, "李四");
    CurrentSettings settings(folder.store());
    OutpatientLogWindow w(folder.store(), settings);
    QTest::mouseClick(w.Command1, Qt::LeftButton);

    QString offered;
    QTimer timer;
    answerNext<QFileDialog>(timer, [&](QFileDialog* dialog) {
        offered = dialog->selectedFiles().value(0);
        // Typed, as selectFile() races with the dialog's own loading of the folder.
        dialog->findChild<QLineEdit*>("fileNameEdit")->setText(folder.file("导出"));
        static_cast<QDialog*>(dialog)->accept();
    });
    QTest::mouseClick(w.Command6, Qt::LeftButton);
    QVERIFY(offered.endsWith("门诊日志 2024-03-07.csv"));
    QCOMPARE(ProgramFolder::bytes(folder.file("导出.csv")),
             "\xEF\xBB\xBF" + QStringLiteral("姓    名,性别,年龄,诊    断,地    址,就诊时间,备    注\r\n"
                                             "\"王\"\"小\"\",二\",,,,,2024-03-07 08:15,\r\n"
                                             "李四,,,,,2024-03-07 09:40,\r\n").toUtf8());

    QTest::ignoreMessage(QtWarningMsg, QRegularExpression("export: cannot write"));
    QVERIFY(!reports::writeLogCsv(folder.file("no folder/log.csv"), w.MSFlexGrid1->model()));
}

void TestOutpatientLog::exportKeepsFormulasText_data()
{
    QTest::addColumn<QString>("cell");
    QTest::addColumn<QString>("written");
    QTest::newRow("=") << "=HYPERLINK(\"http://x\")" << "\"'=HYPERLINK(\"\"http://x\"\")\"";
    QTest::newRow("+") << "+1+1" << "'+1+1";
    QTest::newRow("-") << "-2+3" << "'-2+3";
    QTest::newRow("@") << "@SUM(A1)" << "'@SUM(A1)";
    QTest::newRow("tab") << "\t=1" << "'\t=1";
    QTest::newRow("inside") << "王=1" << "王=1";
    QTest::newRow("empty") << "" << "";
}

void TestOutpatientLog::exportKeepsFormulasText()
{
    QFETCH(QString, cell);
    QFETCH(QString, written);
    QCOMPARE(reports::logCsv({{cell, QStringLiteral("x")}}), "\xEF\xBB\xBF" + (written + ",x\r\n").toUtf8());
}

QTEST_MAIN(TestOutpatientLog)
#include "test_outpatient_log.moc"
