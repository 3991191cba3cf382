#include "common/Clock.h"
#include "common/MessageBox.h"
#include "dictionaries/WordListWindow.h"
#include "reports/StatisticsWindow.h"
#include "startup/ReportWindowMakers.h"
#include "store/Records.h"
#include "store/Store.h"
#include "store/postgres/PgWait.h"
#include "support/ProgramFolder.h"
#include "support/Relay.h"
#include "support/TestServer.h"
#include "support/Trees.h"
#include "support/Typing.h"
#include "support/Workstation.h"
#include "workstation/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QStatusBar>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QTest>

using namespace store;

Q_DECLARE_METATYPE(Relay::Mode)

// Two desks of one clinic, each with its own program folder (its own doctor and printer in
// 设置.dat), sharing one server: what one desk writes, the other finds, opens and counts.

namespace {

const QDateTime Now(QDate(2026, 12, 7), QTime(9, 15, 2));

struct Desk {
    explicit Desk(const TestServer& server) { folder.store().useServer(server.conninfo()); }
    Store& store() { return folder.store(); }
    ProgramFolder folder;
};

// The records on the server; -1 unless the names' grams are there once for each of them
// (吴, 桐, 吴桐): a save sent again must add neither a record nor its grams.
qint64 recordsOn(const TestServer& server)
{
    auto db = server.connect();
    if (!db)
        return -1;
    const qint64 records = Store::count(db.get(), statements::allRecords());
    Query grams = db->query(QStringLiteral("SELECT count(*) FROM \"姓名字组\""));
    return grams.next() && grams.integer(0) == 3 * records ? records : -1;
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
    void aSaveWhoseLinkFailsIsStoredOnceAndToldTruly_data();
    void aSaveWhoseLinkFailsIsStoredOnceAndToldTruly();
    void aDictionaryEntryAddedAfterARestartIsStoredOnce();
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

void TestTwoDesks::aSaveWhoseLinkFailsIsStoredOnceAndToldTruly_data()
{
    QTest::addColumn<bool>("restart");
    QTest::addColumn<Relay::Mode>("failure");
    QTest::addColumn<Relay::Mode>("afterwards");
    QTest::addColumn<QString>("firstSaid"); // empty: the first press stores without a word
    QTest::addColumn<qint64>("rowsMeanwhile");
    QTest::addColumn<QString>("secondSaid"); // empty: not looked at
    // The first save after a restart meets a dead link; it is sent again on a new one.
    QTest::newRow("server restarted") << true << Relay::Mode::Pass << Relay::Mode::Pass << "" << qint64(1) << "";
    // The row is stored, its reply lost: the save sent again finds it and adds none.
    QTest::newRow("reply lost, link back") << false << Relay::Mode::DropReply << Relay::Mode::Pass << "" << qint64(1)
                                           << "";
    QTest::newRow("reply lost, link down")
        << false << Relay::Mode::DropReply << Relay::Mode::Down << "处方未能确认保存" << qint64(1) << "其实已经存入服务器";
    QTest::newRow("server hangs") << false << Relay::Mode::Hang << Relay::Mode::Hang << "服务器没有应答" << qint64(0) << "";
}

void TestTwoDesks::aSaveWhoseLinkFailsIsStoredOnceAndToldTruly()
{
    QFETCH(bool, restart);
    QFETCH(Relay::Mode, failure);
    QFETCH(Relay::Mode, afterwards);
    QFETCH(QString, firstSaid);
    QFETCH(qint64, rowsMeanwhile);
    QFETCH(QString, secondSaid);
    TestServer server;
    REQUIRE_SERVER(server);
    Relay relay;
    QVERIFY(relay.ok());
    ProgramFolder folder;
    folder.store().useServer(relay.conninfo(server.conninfo()));
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    QCOMPARE(ui.T1->count(), 0);
    writeVisit(w, QStringLiteral("吴桐"));
    MessageBox::clearShownMessages();

    if (restart)
        QVERIFY(server.dropSessions());
    relay.setMode(failure, afterwards);
    // While the desk waits, the window goes on painting, shows that it waits, and lets no key
    // into the sheet being saved.
    bool noticed = false;
    int pumped = 0;
    QElapsedTimer waited;
    waited.start();
    std::function<void()> watch = [&] {
        ++pumped;
        noticed = noticed
            || (w.statusBar()->currentMessage() == QStringLiteral("正在连接服务器…") && QGuiApplication::overrideCursor());
        if (waited.elapsed() > 500 && waited.elapsed() < 700)
            QTest::keyClicks(ui.Text4[0], QStringLiteral("X"));
        if (waited.elapsed() < 20000)
            QMetaObject::invokeMethod(&w, watch, Qt::QueuedConnection);
    };
    QMetaObject::invokeMethod(&w, watch, Qt::QueuedConnection);
    w.savePrescription();
    const qint64 took = waited.elapsed();
    waited.invalidate();
    const QString said = MessageBox::shownMessages().join(QLatin1Char('\n'));
    if (firstSaid.isEmpty()) {
        QVERIFY2(said.isEmpty(), qPrintable(said));
        QVERIFY(w.sheetGroup()->isHidden());
    } else {
        QVERIFY2(said.contains(firstSaid), qPrintable(said));
        QVERIFY(w.sheetGroup()->isVisible());
        QCOMPARE(ui.Text4[0]->text(), QStringLiteral("吴桐"));
        QCOMPARE(ui.R1->text(), QStringLiteral("板蓝根颗粒 10g×20"));
    }
    if (failure == Relay::Mode::Hang) {
        QVERIFY2(took < 2 * ServerDeadlineMs, qPrintable(QString::number(took)));
        QVERIFY(pumped > 50);
        QVERIFY(noticed);
        QVERIFY(w.statusBar()->currentMessage().isEmpty());
        QVERIFY(!QGuiApplication::overrideCursor());
    }
    QCOMPARE(recordsOn(server), rowsMeanwhile);
    if (firstSaid.isEmpty())
        return;

    // Once the link is back, the same sheet is stored at most once, and the desk says what it found.
    relay.setMode(Relay::Mode::Pass);
    MessageBox::clearShownMessages();
    w.savePrescription();
    const QString second = MessageBox::shownMessages().join(QLatin1Char('\n'));
    if (!secondSaid.isEmpty())
        QVERIFY2(second.contains(secondSaid), qPrintable(second));
    QVERIFY2(!second.contains(QStringLiteral("未")), qPrintable(second));
    QVERIFY(w.sheetGroup()->isHidden());
    QCOMPARE(recordsOn(server), 1);
    QCOMPARE(nodes(ui.T1), QStringList({"吴桐[2026-12-07 09:15:02]"}));
}

void TestTwoDesks::aDictionaryEntryAddedAfterARestartIsStoredOnce()
{
    TestServer server;
    REQUIRE_SERVER(server);
    Desk first(server), second(server);
    QPointer<WordListWindow> w = new WordListWindow(WordListWindow::Kind::Diagnosis, first.store());
    w->show();
    typeText(w->Text3, QStringLiteral("支气管炎"));
    QTest::keyClicks(w->Text5, QStringLiteral("zqgy"));

    // A server that restarted meanwhile: the add is sent again on a new link, and stored once.
    QVERIFY(server.dropSessions());
    QTest::mouseClick(w->Command2, Qt::LeftButton);
    for (const QString& message : MessageBox::shownMessages())
        QVERIFY2(!message.contains(QStringLiteral("未添加")), qPrintable(message));
    QCOMPARE(w->Text3->text(), QString());
    QCOMPARE(w->List1->count(), 1);
    delete w.data();
    // The other desk's look-up finds it.
    QCOMPARE(readNames(second.store().dictionaries(), statements::diagnosesByInitials(QStringLiteral("zq"))),
             QStringList({"支气管炎"}));
}

QTEST_MAIN(TestTwoDesks)
#include "test_two_desks.moc"
