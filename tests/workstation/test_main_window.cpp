#include "common/Clock.h"
#include "common/MessageBox.h"
#include "formats/PrescriptionText.h"
#include "printing/PrintJob.h"
#include "settings/CurrentSettings.h"
#include "settings/SettingsWindow.h"
#include "startup/ReportWindowMakers.h"
#include "store/Records.h"
#include "store/Store.h"
#include "support/ProgramFolder.h"
#include "support/Trees.h"
#include "support/Typing.h"
#include "support/Workstation.h"
#include "workstation/DrugPanel.h"
#include "workstation/LookupLists.h"
#include "workstation/MainWindow.h"
#include "workstation/PrescriptionSheet.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>

using namespace store;

namespace {

const QDateTime Now(QDate(2026, 12, 7), QTime(9, 15, 2));

QList<PatientRecord> recordsNamed(Store& store, const QString& name)
{
    QList<PatientRecord> out;
    for (Query q = Store::select(store.records(), statements::recordsByNameAndDate(name, QString())); q.next();)
        out << PatientRecord::fromQuery(q);
    return out;
}

void addRecord(Store& store, const QString& key, const QString& name, const QString& date)
{
    PatientRecord r;
    r.key = key;
    r.name = name;
    r.date = date;
    r.prescription = prescription::toStoredRtf(QStringLiteral("药\r\n"));
    QVERIFY(Store::insert(store.records(), RecordsTable, r.toRow()));
}

void clickNode(TextList* tree, int row)
{
    const QModelIndex index = tree->model()->index(row, 0);
    QVERIFY(index.isValid());
    tree->scrollTo(index);
    QTest::mouseClick(tree->viewport(), Qt::LeftButton, {}, tree->visualRect(index).center());
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void opensWithMenusToolbarAndTree();
    void aWholeVisit();
    void copyNewPasteMakesARepeatPrescription();
    void deleteAsksFirst_data();
    void deleteAsksFirst();
    void afterADeleteEnterOpensTheNextNode();
    void openAndDeleteReachTheNodesOwnRecord_data();
    void openAndDeleteReachTheNodesOwnRecord();
    void aSaveThatWouldStoreNothingSaysWhy_data();
    void aSaveThatWouldStoreNothingSaysWhy();
    void feeIsReadAsALeadingNumber_data();
    void feeIsReadAsALeadingNumber();
    void openShowsEmptyBoxesForFieldsWithoutValue();
    void openFillsTheCardAndLeavesTheLookupsToTyping();
    void searchByNameAndMonth_data();
    void searchByNameAndMonth();
    void treeShowsTheNewestHundred();
    void aLargeSearchShowsAndOpensEveryNode();
    void dateBoxClickFillsToday();
    void typedLimitsStopTyping();
    void rightClickOnAnEmptyTreeShowsNoMenu();
    void newTakesTheSettingsBeingTyped();
    void enterOnANodeOpensIt();
    void printingWithoutAPrinterSaysSo();
    void menuOpensEachWindowOnce_data();
    void menuOpensEachWindowOnce();
};

void TestMainWindow::initTestCase()
{
    MessageBox::setTestMode(true);
    Clock::setSource([] { return Now; });
}

void TestMainWindow::init() { MessageBox::clearShownMessages(); }

void TestMainWindow::cleanupTestCase() { Clock::setSource({}); }

void TestMainWindow::opensWithMenusToolbarAndTree()
{
    ProgramFolder folder;
    MainWindow w(folder.store());
    const Controls ui(w);
    QCOMPARE(w.windowTitle(), QStringLiteral("Qarvel V2.0"));

    QStringList menus;
    for (QAction* menu : w.menuBar()->actions()) {
        QStringList items;
        for (QAction* item : menu->menu()->actions())
            items << (item->isSeparator() ? QStringLiteral("-") : item->text() + QLatin1Char(' ') + item->shortcut().toString());
        // "(&F)" shows as "(F)"; the "&" makes Alt+F the menu's key.
        menus << menu->text().remove(QLatin1Char('&')) + QLatin1Char(':') + items.join(QLatin1Char(','));
    }
    QCOMPARE(menus.at(0), QStringLiteral("文件(F):新建 Ctrl+N,保存 Ctrl+S,存为协定方 ,-,统计 Ctrl+D,门诊日志 Ctrl+G,-,打印 Ctrl+P,打印预览 ,-,退出 Ctrl+E"));
    QCOMPARE(menus.at(1), QStringLiteral("设置(S):药品维护 Ctrl+J,诊断名称 Ctrl+I,地址库 Ctrl+M,协定处方 ,-,综合设置 Ctrl+W"));
    QCOMPARE(menus.at(2), QStringLiteral("帮助(H):在线帮助 Ctrl+H,关于 Ctrl+Z"));

    QStringList buttons;
    for (QAction* b : ui.Toolbar1->actions())
        buttons << b->text() + QLatin1Char('/') + b->toolTip();
    QCOMPARE(buttons, QStringList({"新建/新建处方", "保存/保存处方", "打印/打印处方", "复制/复制处方", "粘贴/粘贴处方",
                                   "存为协定方/把当前处方存为协定处方", "统计/工作量统计", "退出/退出"}));

    QVERIFY(!w.action("保存")->isEnabled());
    QVERIFY(!w.toolButton("保存")->isEnabled());
    QVERIFY(w.sheetGroup()->isHidden());
    QCOMPARE(nodes(ui.T1), QStringList({"示例[2026-01-01 08:00:00]"}));
    QCOMPARE(ui.List1->count(), DrugPanel::DrugListRows);
    QCOMPARE(nodes(ui.List1).first(), QStringLiteral("阿莫西林片 0.25×24/0.5 bid"));
}

void TestMainWindow::aWholeVisit()
{
    ProgramFolder folder;
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));

    w.toolButton("新建")->trigger();
    QVERIFY(w.sheetGroup()->isVisible());
    QVERIFY(w.action("保存")->isEnabled() && w.toolButton("保存")->isEnabled());
    QCOMPARE(ui.Text4[3]->text(), QStringLiteral("2026-12-07"));
    QCOMPARE(ui.Label10->text(), QStringLiteral("2026-12-07 09:15:02"));
    QCOMPARE(ui.Text4[6]->text(), QStringLiteral("医生"));
    QCOMPARE(ui.Text4[7]->text(), QStringLiteral("药师"));
    QCOMPARE(ui.Picture2->Label3[0]->text(), QStringLiteral("Qarvel诊所处方笺"));
    const QLabel* title = ui.Picture2->Label3[0];
    QVERIFY(qAbs(title->x() * 2 + title->width() - ui.Picture2->width()) <= 1);
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ui.Text4[0]));

    typeText(ui.Text4[0], QStringLiteral("张三"));
    typeText(ui.Text4[1], QStringLiteral("男"));
    QTest::keyClicks(ui.Text4[2], QStringLiteral("35"));
    typeText(ui.Text4[4], QStringLiteral("肺炎"));
    typeText(ui.Text4[5], QStringLiteral("城关镇"));
    QTest::keyClicks(ui.Text4[8], QStringLiteral("12.5"));
    ui.R1->setFocus();
    typeText(ui.R1, QStringLiteral("阿莫西林片 0.25×24"));
    QTest::keyClick(ui.R1, Qt::Key_Return);
    typeText(ui.R1, QStringLiteral("    用法：0.5 tid"));
    QTest::keyClick(ui.R1, Qt::Key_Return);

    QTest::keySequence(&w, QKeySequence(QStringLiteral("Ctrl+S")));
    QVERIFY(w.sheetGroup()->isHidden());
    QVERIFY(!w.action("保存")->isEnabled() && !w.toolButton("保存")->isEnabled());
    QVERIFY(MessageBox::shownMessages().isEmpty());
    QCOMPARE(nodes(ui.T1), QStringList({"示例[2026-01-01 08:00:00]", "张三[2026-12-07 09:15:02]"}));

    const auto saved = recordsNamed(folder.store(), "张三");
    QCOMPARE(saved.size(), 1);
    const PatientRecord& r = saved.first();
    QCOMPARE(r.key, QStringLiteral("2026-12-07 09:15:02"));
    QCOMPARE(r.sex, QStringLiteral("男"));
    QCOMPARE(r.age, QStringLiteral("35"));
    QCOMPARE(r.date, QStringLiteral("2026-12-07"));
    QCOMPARE(r.diagnosis, QStringLiteral("肺炎"));
    QCOMPARE(r.address, QStringLiteral("城关镇"));
    QCOMPARE(r.doctor, QStringLiteral("医生"));
    QCOMPARE(r.dispenser, QStringLiteral("药师"));
    QCOMPARE(r.fee->units(), 125000);
    QCOMPARE(prescription::storedRtfLines(*r.prescription),
             QStringList({"阿莫西林片 0.25×24", "    用法：0.5 tid", ""}));

    // Open it again: the boxes come back, Save stays off.
    for (FieldBox* box : ui.Text4)
        box->setText(QStringLiteral("旧"));
    clickNode(ui.T1, 1);
    QVERIFY(w.sheetGroup()->isVisible());
    QVERIFY(!w.action("保存")->isEnabled());
    QCOMPARE(ui.Text4[0]->text(), QStringLiteral("张三"));
    QCOMPARE(ui.Text4[5]->text(), QStringLiteral("城关镇"));
    QCOMPARE(ui.Text4[8]->text(), QStringLiteral("12.5"));
    QCOMPARE(ui.Label10->text(), QStringLiteral("2026-12-07 09:15:02"));
    QCOMPARE(ui.R1->text(), QStringLiteral("阿莫西林片 0.25×24\r\n    用法：0.5 tid\r\n"));

    // A saved record cannot be saved again.
    QTest::keySequence(&w, QKeySequence(QStringLiteral("Ctrl+S")));
    QCOMPARE(recordsNamed(folder.store(), "张三").size(), 1);
}

void TestMainWindow::copyNewPasteMakesARepeatPrescription()
{
    ProgramFolder folder;
    addRecord(folder.store(), "2026-11-01 10:00:00", "李四", "2026-11-01");
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    clickNode(ui.T1, 1);
    QCOMPARE(ui.Text4[0]->text(), QStringLiteral("李四"));

    w.toolButton("复制")->trigger();
    w.toolButton("新建")->trigger();
    QVERIFY(ui.Text4[0]->text().isEmpty());
    w.toolButton("粘贴")->trigger();
    QCOMPARE(ui.Text4[0]->text(), QStringLiteral("李四"));
    QCOMPARE(ui.Text4[3]->text(), QStringLiteral("2026-12-07"));
    QCOMPARE(ui.Label10->text(), QStringLiteral("2026-12-07 09:15:02"));
    QCOMPARE(ui.R1->text(), QStringLiteral("药\r\n"));
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ui.R1));
    QCOMPARE(ui.R1->textCursor().position(), ui.R1->toPlainText().size());

    w.toolButton("保存")->trigger();
    const auto saved = recordsNamed(folder.store(), "李四");
    QCOMPARE(saved.size(), 2);
    QCOMPARE(saved.last().date, QStringLiteral("2026-12-07"));
    QCOMPARE(saved.last().key, QStringLiteral("2026-12-07 09:15:02"));
}

void TestMainWindow::deleteAsksFirst_data()
{
    QTest::addColumn<bool>("ok");
    QTest::newRow("OK") << true;
    QTest::newRow("Cancel") << false;
}

void TestMainWindow::deleteAsksFirst()
{
    QFETCH(bool, ok);
    ProgramFolder folder;
    addRecord(folder.store(), "2026-11-01 10:00:00", "王五", "2026-11-01");
    addRecord(folder.store(), "2026-11-01 10:00:00", "王五", "2026-11-01"); // same key twice
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    clickNode(ui.T1, 2);
    MessageBox::setNextAnswer(ok);
    w.deleteSelectedRecord();
    QCOMPARE(MessageBox::shownMessages(), QStringList({"提示", "确实要永久删除该病人档案吗？"}));
    QCOMPARE(recordsNamed(folder.store(), "王五").size(), ok ? 1 : 2);
    QCOMPARE(ui.T1->count(), ok ? 2 : 3);
    QVERIFY(w.sheetGroup()->isVisible()); // the sheet keeps showing what it showed
}

void TestMainWindow::afterADeleteEnterOpensTheNextNode()
{
    ProgramFolder folder;
    addRecord(folder.store(), "2026-11-01 10:00:00", "王五", "2026-11-01");
    addRecord(folder.store(), "2026-11-02 10:00:00", "赵六", "2026-11-02");
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    clickNode(ui.T1, 1);
    MessageBox::setNextAnswer(true);
    w.deleteSelectedRecord();
    QCOMPARE(nodes(ui.T1), QStringList({"示例[2026-01-01 08:00:00]", "赵六[2026-11-02 10:00:00]"}));
    QCOMPARE(ui.Text4[0]->text(), QStringLiteral("王五")); // still the deleted record's sheet
    QTest::keyClick(ui.T1, Qt::Key_Return);
    QCOMPARE(ui.Text4[0]->text(), QStringLiteral("赵六"));
    QCOMPARE(ui.Label10->text(), QStringLiteral("2026-11-02 10:00:00"));
}

void TestMainWindow::openAndDeleteReachTheNodesOwnRecord_data()
{
    QTest::addColumn<bool>("searched"); // the tree after a search, else the newest records
    QTest::addColumn<int>("node");      // of the two that share a key
    for (const bool searched : {false, true})
        for (const int node : {0, 1})
            QTest::addRow("%s, node %d", searched ? "searched" : "newest", node) << searched << node;
}

void TestMainWindow::openAndDeleteReachTheNodesOwnRecord()
{
    QFETCH(bool, searched);
    QFETCH(int, node);
    // Two desks saved in the same second.
    const QString key = QStringLiteral("2026-11-01 10:00:00");
    const QStringList names = {"王五", "赵六"};
    ProgramFolder folder;
    for (const QString& name : names)
        addRecord(folder.store(), key, name, "2026-11-01");
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    if (searched) {
        ui.Text3->setText(QStringLiteral("2026-11"));
        QTest::mouseClick(ui.Command2, Qt::LeftButton);
    }
    const int first = searched ? 0 : 1; // the sample record heads the newest
    QCOMPARE(nodes(ui.T1).mid(first), QStringList({names[0] + "[" + key + "]", names[1] + "[" + key + "]"}));
    clickNode(ui.T1, first + node);
    QCOMPARE(ui.Text4[0]->text(), names[node]);

    MessageBox::setNextAnswer(true);
    w.deleteSelectedRecord();
    const QString other = names[1 - node];
    QCOMPARE(recordsNamed(folder.store(), names[node]).size() + recordsNamed(folder.store(), other).size(), 1);
    QCOMPARE(recordsNamed(folder.store(), other).size(), 1);
    QCOMPARE(nodes(ui.T1).mid(first), QStringList({other + "[" + key + "]"}));
    clickNode(ui.T1, first);
    QCOMPARE(ui.Text4[0]->text(), other);
}

void TestMainWindow::aSaveThatWouldStoreNothingSaysWhy_data()
{
    QTest::addColumn<int>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("empty name") << 0 << "" << "请填写姓名，处方未保存。";
    QTest::newRow("emptied date") << 3 << "" << "请填写日期，处方未保存。";
    QTest::newRow("long doctor") << 6 << "一二三四五六七八九十一" << "医生超过 10 个字，处方未保存。";
    QTest::newRow("huge fee") << 8 << "9e30" << "收费金额过大，无法保存。";
}

void TestMainWindow::aSaveThatWouldStoreNothingSaysWhy()
{
    QFETCH(int, box);
    QFETCH(QString, text);
    QFETCH(QString, message);
    ProgramFolder folder;
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    w.newPrescription();
    ui.Text4[0]->setText(QStringLiteral("赵六"));
    ui.Text4[size_t(box)]->setText(text);
    const QStringList before = nodes(ui.T1);

    w.savePrescription();
    QCOMPARE(MessageBox::shownMessages(), QStringList({"提示", message}));
    QVERIFY(w.sheetGroup()->isVisible());
    QVERIFY(w.action("保存")->isEnabled());
    QCOMPARE(nodes(ui.T1), before);
    QCOMPARE(Store::count(folder.store().records(), statements::allRecords()), 1);

    // Mended, the same sheet saves.
    ui.Text4[size_t(box)]->setText(box == 0 ? QStringLiteral("赵六") : box == 3 ? QStringLiteral("2026-12-07") : QString());
    w.savePrescription();
    QCOMPARE(Store::count(folder.store().records(), statements::allRecords()), 2);
    QVERIFY(w.sheetGroup()->isHidden());
}

void TestMainWindow::feeIsReadAsALeadingNumber_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<qint64>("units");
    QTest::newRow("full-width point") << "12。5" << "12.5" << qint64(125000);
    QTest::newRow("unit after") << "12.5元" << "12.5元" << qint64(125000);
    QTest::newRow("empty") << "" << "" << qint64(0);
    QTest::newRow("four decimals") << "0.0005" << "0.0005" << qint64(5);
}

void TestMainWindow::feeIsReadAsALeadingNumber()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    QFETCH(qint64, units);
    ProgramFolder folder;
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    w.newPrescription();
    ui.Text4[0]->setText(QStringLiteral("钱七"));
    ui.Text4[8]->setFocus();
    typeText(ui.Text4[8], typed);
    w.savePrescription();
    QCOMPARE(ui.Text4[8]->text(), shown);
    const auto saved = recordsNamed(folder.store(), "钱七");
    QCOMPARE(saved.size(), 1);
    QCOMPARE(saved.first().fee->units(), units);
}

void TestMainWindow::openShowsEmptyBoxesForFieldsWithoutValue()
{
    ProgramFolder folder;
    PatientRecord r;
    r.key = QStringLiteral("2026-10-10 10:10:10");
    r.name = QStringLiteral("孙八");
    r.date = QStringLiteral("2026-10-10");
    QVERIFY(Store::insert(folder.store().records(), RecordsTable, r.toRow()));
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    clickNode(ui.T1, 0);
    QCOMPARE(ui.Text4[5]->text(), QStringLiteral("城关镇")); // the sample record
    clickNode(ui.T1, 1);
    QCOMPARE(ui.Text4[0]->text(), QStringLiteral("孙八"));
    for (size_t i : {1, 2, 4, 5, 6, 7, 8})
        QVERIFY2(ui.Text4[i]->text().isEmpty(), qPrintable(QString::number(i)));
    QVERIFY(ui.R1->text().isEmpty());
}

void TestMainWindow::openFillsTheCardAndLeavesTheLookupsToTyping()
{
    ProgramFolder folder;
    PatientRecord r;
    r.key = QStringLiteral("2026-10-10 10:10:10");
    r.name = QStringLiteral("孙八");
    r.sex = QStringLiteral("男");
    r.age = QStringLiteral("30");
    r.date = QStringLiteral("2026-10-10");
    r.diagnosis = QStringLiteral("s"); // a text that is also a look-up key
    r.address = QStringLiteral("c");
    QVERIFY(Store::insert(folder.store().records(), RecordsTable, r.toRow()));
    QVERIFY(Store::insert(folder.store().settings(), AddressTable, {QStringLiteral("胜华小区"), QStringLiteral("shxq")}));
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    w.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&w));
    clickNode(ui.T1, 1);
    QCOMPARE(ui.Text4[4]->text(), QStringLiteral("s"));
    // The card follows the opened record; the pick lists stay out of the way.
    QCOMPARE(ui.Picture1->Label6[1]->text(), QStringLiteral("孙八，男，30"));
    QCOMPARE(ui.Picture1->Label6[2]->text(), QStringLiteral("2026-10-10"));
    QVERIFY(ui.list2->isHidden());
    QVERIFY(ui.list5->isHidden());

    // Typing into the opened sheet looks up again.
    ui.Text4[4]->clear();
    ui.Text4[4]->setFocus();
    QTRY_VERIFY(ui.list2->isVisible());
    QCOMPARE(ui.list2->count(), 21);
    QTest::keyClicks(ui.Text4[4], "sh");
    QCOMPARE(nodes(ui.list2), QStringList({"上呼吸道感染"}));
    ui.Text4[5]->clear();
    ui.Text4[5]->setFocus();
    QTRY_COMPARE(nodes(ui.list5), QStringList({"城关镇", "胜华小区"}));
    QTest::keyClicks(ui.Text4[5], "hx");
    QCOMPARE(nodes(ui.list5), QStringList({"胜华小区"}));
}

void TestMainWindow::searchByNameAndMonth_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QStringList>("found");
    QTest::newRow("everything") << "" << "" << QStringList({"示例", "张三", "张三丰", "O'Neil", "李张"});
    QTest::newRow("name and month") << "张" << "2026-12" << QStringList({"张三", "李张"});
    QTest::newRow("quote") << "'" << "" << QStringList({"O'Neil"});
    QTest::newRow("percent") << "%" << "2026-11" << QStringList({"张三丰"});
    QTest::newRow("no leading zero") << "" << "2026-1-" << QStringList();
}

void TestMainWindow::searchByNameAndMonth()
{
    QFETCH(QString, name);
    QFETCH(QString, date);
    QFETCH(QStringList, found);
    ProgramFolder folder;
    addRecord(folder.store(), "2026-12-01 08:00:00", "张三", "2026-12-01");
    addRecord(folder.store(), "2026-11-30 08:00:00", "张三丰", "2026-11-30");
    addRecord(folder.store(), "2026-12-02 08:00:00", "O'Neil", "2026-12-02");
    addRecord(folder.store(), "2026-12-03 08:00:00", "李张", "2026-12-03");
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    ui.Text2->setText(name);
    ui.Text3->setText(date);
    QTest::mouseClick(ui.Command2, Qt::LeftButton);
    QStringList names;
    for (const QString& node : nodes(ui.T1))
        names << node.left(node.size() - 21);
    QCOMPARE(names, found);
}

void TestMainWindow::treeShowsTheNewestHundred()
{
    ProgramFolder folder;
    Connection* db = folder.store().records();
    db->execute("BEGIN");
    for (int i = 0; i < 150; ++i)
        addRecord(folder.store(), QStringLiteral("2026-12-01 08:%1:00").arg(i % 60, 2, 10, QLatin1Char('0')),
                  QStringLiteral("病人%1").arg(i), "2026-12-01");
    db->execute("COMMIT");
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    // The newest hundred in row order: the oldest of them at the top, the last visit at the bottom.
    QCOMPARE(ui.T1->count(), 100);
    QCOMPARE(nodes(ui.T1).first(), QStringLiteral("病人50[2026-12-01 08:50:00]"));
    QCOMPARE(nodes(ui.T1).last(), QStringLiteral("病人149[2026-12-01 08:29:00]"));

    // A save shows its record at the bottom, selected and in view.
    w.newPrescription();
    ui.Text4[0]->setText(QStringLiteral("新来"));
    w.savePrescription();
    QCOMPARE(ui.T1->count(), 100);
    QCOMPARE(nodes(ui.T1).first(), QStringLiteral("病人51[2026-12-01 08:51:00]"));
    QCOMPARE(nodes(ui.T1).last(), QStringLiteral("新来[2026-12-07 09:15:02]"));
    QCOMPARE(ui.T1->selectedRow(), 99);
    const QRect last = ui.T1->visualRect(ui.T1->model()->index(99, 0));
    QVERIFY(ui.T1->viewport()->rect().contains(last));

    w.search();
    while (ui.T1->textModel()->canFetchMore({}))
        ui.T1->textModel()->fetchMore({});
    QCOMPARE(ui.T1->count(), 152);
}

void TestMainWindow::aLargeSearchShowsAndOpensEveryNode()
{
    ProgramFolder folder;
    const int count = 3000;
    const QDateTime first(QDate(2026, 11, 1), QTime(0, 0));
    QStringList expected;
    QString lastKey;
    Connection* db = folder.store().records();
    db->execute("BEGIN");
    for (int i = 0; i < count; ++i) {
        const QString key = first.addSecs(i * 60).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        const QString name = QStringLiteral("病人%1").arg(i);
        addRecord(folder.store(), key, name, key.left(10));
        expected << name + QLatin1Char('[') + key + QLatin1Char(']');
        lastKey = key;
    }
    db->execute("COMMIT");
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QCOMPARE(ui.T1->count(), MainWindow::TreeRows);
    ui.Text3->setText(QStringLiteral("2026-11"));
    QTest::mouseClick(ui.Command2, Qt::LeftButton);
    // The first screens are read at once, the rest as the doctor goes down the tree.
    QVERIFY(ui.T1->count() < count);
    QCOMPARE(nodes(ui.T1), expected.mid(0, ui.T1->count()));
    // One End goes to the last record of the search, however much was still unread.
    ui.T1->setFocus();
    QTest::keyClick(ui.T1, Qt::Key_End, Qt::ControlModifier);
    QTRY_COMPARE(ui.T1->currentIndex().row(), count - 1);
    QCOMPARE(nodes(ui.T1), expected);

    // The last node opens its own record, is deleted, and Enter opens the one before it.
    clickNode(ui.T1, count - 1);
    QCOMPARE(ui.T1->currentIndex().row(), count - 1);
    QCOMPARE(ui.Text4[0]->text(), QStringLiteral("病人%1").arg(count - 1));
    QCOMPARE(ui.Label10->text(), lastKey);
    MessageBox::setNextAnswer(true);
    w.deleteSelectedRecord();
    QCOMPARE(ui.T1->count(), count - 1);
    QVERIFY(recordsNamed(folder.store(), QStringLiteral("病人%1").arg(count - 1)).isEmpty());
    QTest::keyClick(ui.T1, Qt::Key_Return);
    QCOMPARE(ui.Text4[0]->text(), QStringLiteral("病人%1").arg(count - 2));
}

void TestMainWindow::dateBoxClickFillsToday()
{
    ProgramFolder folder;
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    QTest::keyClicks(ui.Text3, QStringLiteral("2020-01"));
    QTest::mouseClick(ui.Text3, Qt::LeftButton);
    QCOMPARE(ui.Text3->text(), QStringLiteral("2026-12-07"));
    QCOMPARE(ui.Text3->cursorPosition(), 10);
    QTest::keyClick(ui.Text3, Qt::Key_Backspace);
    QTest::keyClick(ui.Text3, Qt::Key_Backspace);
    QTest::keyClick(ui.Text3, Qt::Key_Backspace);
    QCOMPARE(ui.Text3->text(), QStringLiteral("2026-12"));
}

void TestMainWindow::typedLimitsStopTyping()
{
    ProgramFolder folder;
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    w.newPrescription();
    typeText(ui.Text4[0], QStringLiteral("欧阳娜娜娜"));
    QCOMPARE(ui.Text4[0]->text(), QStringLiteral("欧阳娜娜"));
    QTest::keyClicks(ui.Text4[8], QStringLiteral("1234567"));
    QCOMPARE(ui.Text4[8]->text(), QStringLiteral("123456"));
    // A longer text put in by the program stays whole and can be shortened.
    ui.Text4[0]->setText(QStringLiteral("欧阳娜娜娜"));
    QCOMPARE(ui.Text4[0]->text(), QStringLiteral("欧阳娜娜娜"));
    ui.Text4[0]->end(false);
    QTest::keyClick(ui.Text4[0], Qt::Key_Backspace);
    QCOMPARE(ui.Text4[0]->text(), QStringLiteral("欧阳娜娜"));
}

void TestMainWindow::rightClickOnAnEmptyTreeShowsNoMenu()
{
    ProgramFolder folder;
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    auto* menu = w.findChild<QMenu*>(QStringLiteral("TreeMenu"));
    QVERIFY(menu);
    ui.T1->setTexts({});
    QTest::mouseClick(ui.T1->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    QVERIFY(!menu->isVisible());
    w.fillTree(MainWindow::TreeRows);
    QTest::mouseClick(ui.T1->viewport(), Qt::RightButton, {}, QPoint(10, 10));
    QTRY_VERIFY(menu->isVisible());
    menu->close();
}

void TestMainWindow::newTakesTheSettingsBeingTyped()
{
    ProgramFolder folder;
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    SettingsWindow* settings = w.settings().show();
    QVERIFY(settings);
    settings->Text2->setText(QStringLiteral("李医生"));
    settings->Text1->setText(QStringLiteral("  仁心诊所 "));
    w.newPrescription();
    QCOMPARE(ui.Text4[6]->text(), QStringLiteral("李医生"));
    QCOMPARE(ui.Picture2->Label3[0]->text(), QStringLiteral("仁心诊所处方笺"));
}

void TestMainWindow::enterOnANodeOpensIt()
{
    ProgramFolder folder;
    addRecord(folder.store(), "2026-11-02 10:00:00", "周九", "2026-11-02");
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    ui.T1->setFocus();
    ui.T1->setCurrentRow(0);
    QTest::keyClick(ui.T1, Qt::Key_Down);
    QVERIFY(w.sheetGroup()->isHidden()); // moving through the list opens nothing
    QTest::keyClick(ui.T1, Qt::Key_Return);
    QVERIFY(w.sheetGroup()->isVisible());
    QCOMPARE(ui.Text4[0]->text(), QStringLiteral("周九"));
}

void TestMainWindow::printingWithoutAPrinterSaysSo()
{
    if (!printing::installedPrinters().names.isEmpty())
        QSKIP("this machine has a printer");
    ProgramFolder folder;
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    w.newPrescription();
    w.action("打印")->trigger();
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("未找到打印机"));
    // The words go after a few seconds, so they never stand beside a later print that worked.
    QTRY_COMPARE_WITH_TIMEOUT(w.statusBar()->currentMessage(), QString(), 8000);
    QTest::mouseClick(ui.Label7, Qt::LeftButton);
    QCOMPARE(w.statusBar()->currentMessage(), QStringLiteral("未找到打印机"));
    QVERIFY(MessageBox::shownMessages().isEmpty());
    QVERIFY(w.sheetGroup()->isVisible());
}

void TestMainWindow::menuOpensEachWindowOnce_data()
{
    QTest::addColumn<QString>("item");
    QTest::addColumn<QString>("window");
    QTest::newRow("drugs") << "药品维护" << "Form2";
    QTest::newRow("diagnoses") << "诊断名称" << "Form3";
    QTest::newRow("addresses") << "地址库" << "Form4";
    QTest::newRow("settings") << "综合设置" << "Form5";
    QTest::newRow("statistics") << "统计" << "Form6";
    QTest::newRow("log") << "门诊日志" << "form12";
}

void TestMainWindow::menuOpensEachWindowOnce()
{
    QFETCH(QString, item);
    QFETCH(QString, window);
    ProgramFolder folder;
    MainWindow w(folder.store());
    w.setReportWindows(startup::reportWindowMakers());
    const Controls ui(w);
    w.show();
    auto openWindows = [&] {
        QList<QWidget*> found;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->objectName() == window && top->isVisible())
                found << top;
        return found;
    };
    w.action(item)->trigger();
    QCOMPARE(openWindows().size(), 1);
    QWidget* first = openWindows().first();
    QVERIFY(!first->isModal());
    w.action(item)->trigger();
    QCOMPARE(openWindows(), QList<QWidget*>({first}));
    first->close();
    QTRY_COMPARE(openWindows().size(), 0);
    if (item == QStringLiteral("统计")) {
        w.toolButton(item)->trigger();
        QCOMPARE(openWindows().size(), 1);
        openWindows().first()->close();
    }
}

QTEST_MAIN(TestMainWindow)
#include "test_main_window.moc"
