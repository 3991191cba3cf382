#include "common/Clock.h"
#include "common/MessageBox.h"
#include "dictionaries/WordListWindow.h"
#include "reports/StatisticsWindow.h"
#include "startup/ReportWindowMakers.h"
#include "store/Records.h"
#include "store/Store.h"
#include "support/ProgramFolder.h"
#include "support/TestServer.h"
#include "support/Trees.h"
#include "support/Typing.h"
#include "support/Workstation.h"
#include "workstation/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace store;

// Two desks of one clinic, each with its own program folder (its own doctor and printer in
// 设置.dat), sharing one server: what one desk writes, the other finds, opens and counts.

namespace {

const QDateTime Now(QDate(2026, 12, 7), QTime(9, 15, 2));

struct Desk {
    explicit Desk(const TestServer& server) { folder.store().useServer(server.conninfo()); }
    Store& store() { return folder.store(); }
    ProgramFolder folder;
};

qint64 recordsOn(const TestServer& server)
{
    auto db = server.connect();
    return db ? Store::count(db.get(), statements::allRecords()) : -1;
}

void writeVisit(MainWindow& w, const QString& name)
{
    const Controls ui(w);
    w.newPrescription();
    typeText(ui.Text4[0], name);
    typeText(ui.Text4[1], QStringLiteral("女"));
    typeText(ui.Text4[4], QStringLiteral("感冒"));
    QTest::keyClicks(ui.Text4[8], QStringLiteral("12.5"));
    ui.R1->setFocus();
    typeText(ui.R1, QStringLiteral("板蓝根颗粒 10g×20"));
}

} // namespace

class TestTwoDesks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        MessageBox::setTestMode(true);
        Clock::setSource([] { return Now; });
    }
    void init() { MessageBox::clearShownMessages(); }
    void cleanupTestCase() { Clock::setSource({}); }

    void writtenAtOneDeskFoundOpenedAndCountedAtTheOther();
    void aSaveTheServerDropsIsReportedAndKeepsTheSheet();
    void aDictionaryEntryTheServerDropsIsReportedAndKept();
};

void TestTwoDesks::writtenAtOneDeskFoundOpenedAndCountedAtTheOther()
{
    TestServer server;
    REQUIRE_SERVER(server);
    Desk first(server), second(server);
    MainWindow w1(first.store());
    MainWindow w2(second.store()); // open before the save: the search reads the server afresh
    w2.setReportWindows(startup::reportWindowMakers());
    const Controls ui1(w1), ui2(w2);
    w1.show();
    w2.show();

    writeVisit(w1, QStringLiteral("周梅"));
    w1.savePrescription();
    QVERIFY2(MessageBox::shownMessages().isEmpty(), qPrintable(MessageBox::shownMessages().join(' ')));
    QVERIFY(w1.sheetGroup()->isHidden());

    typeText(ui2.Text2, QStringLiteral("周梅"));
    QTest::mouseClick(ui2.Command2, Qt::LeftButton);
    QCOMPARE(nodes(ui2.T1), QStringList({"周梅[2026-12-07 09:15:02]"}));
    const QModelIndex node = ui2.T1->model()->index(0, 0);
    QTest::mouseClick(ui2.T1->viewport(), Qt::LeftButton, {}, ui2.T1->visualRect(node).center());
    QVERIFY(w2.sheetGroup()->isVisible());
    QCOMPARE(ui2.Text4[0]->text(), QStringLiteral("周梅"));
    QCOMPARE(ui2.Text4[4]->text(), QStringLiteral("感冒"));
    QCOMPARE(ui2.Text4[8]->text(), QStringLiteral("12.5"));
    QCOMPARE(ui2.R1->text(), QStringLiteral("板蓝根颗粒 10g×20"));

    w2.action(QStringLiteral("统计"))->trigger();
    QPointer<StatisticsWindow> statistics;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* found = qobject_cast<StatisticsWindow*>(top); found && found->isVisible())
            statistics = found;
    QVERIFY(statistics);
    QTest::mouseClick(statistics->Command1, Qt::LeftButton);
    QCOMPARE(statistics->Label4->text(), QStringLiteral("门诊处方数：1张，业务额：12.5元"));
    statistics->close();
    QTRY_VERIFY(!statistics);
}

void TestTwoDesks::aSaveTheServerDropsIsReportedAndKeepsTheSheet()
{
    TestServer server;
    REQUIRE_SERVER(server);
    Desk desk(server);
    MainWindow w(desk.store());
    const Controls ui(w);
    w.show();
    QCOMPARE(ui.T1->count(), 0); // the server's records, not the desk's example
    writeVisit(w, QStringLiteral("吴桐"));

    QVERIFY(server.dropSessions());
    w.savePrescription();
    // The message names the server and why, and says what was not done.
    QCOMPARE(MessageBox::shownMessages().size(), 2);
    QVERIFY(MessageBox::shownMessages()[1].startsWith(QStringLiteral("无法连接共享数据库：") + PgConnection::describe(server.conninfo())));
    QVERIFY(MessageBox::shownMessages()[1].endsWith(QStringLiteral("）\n处方未保存。")));
    QVERIFY(w.sheetGroup()->isVisible());
    QVERIFY(w.action(QStringLiteral("保存"))->isEnabled());
    QCOMPARE(ui.Text4[0]->text(), QStringLiteral("吴桐"));
    QCOMPARE(ui.R1->text(), QStringLiteral("板蓝根颗粒 10g×20"));
    QCOMPARE(recordsOn(server), 0);

    // Once the server answers again, the same sheet is saved, once.
    MessageBox::clearShownMessages();
    w.savePrescription();
    QVERIFY(MessageBox::shownMessages().isEmpty());
    QVERIFY(w.sheetGroup()->isHidden());
    QCOMPARE(recordsOn(server), 1);
    QCOMPARE(nodes(ui.T1), QStringList({"吴桐[2026-12-07 09:15:02]"}));
}

void TestTwoDesks::aDictionaryEntryTheServerDropsIsReportedAndKept()
{
    TestServer server;
    REQUIRE_SERVER(server);
    Desk first(server), second(server);
    QPointer<WordListWindow> w = new WordListWindow(WordListWindow::Kind::Diagnosis, first.store());
    w->show();
    typeText(w->Text3, QStringLiteral("支气管炎"));
    QTest::keyClicks(w->Text5, QStringLiteral("zqgy"));

    QVERIFY(server.dropSessions());
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QCOMPARE(MessageBox::shownMessages().size(), 2);
    QVERIFY(MessageBox::shownMessages()[1].startsWith(QStringLiteral("无法连接共享数据库：")));
    QVERIFY(MessageBox::shownMessages()[1].endsWith(QStringLiteral("\n未添加。")));
    QCOMPARE(w->Text3->text(), QStringLiteral("支气管炎"));
    QCOMPARE(w->List1->count(), 0);

    QTest::mouseClick(w->Command2, Qt::LeftButton);
    QCOMPARE(w->List1->count(), 1);
    delete w.data();
    // The other desk's look-up finds it.
    QCOMPARE(readNames(second.store().dictionaries(), statements::diagnosesByInitials(QStringLiteral("zq"))),
             QStringList({"支气管炎"}));
}

QTEST_MAIN(TestTwoDesks)
#include "test_two_desks.moc"
