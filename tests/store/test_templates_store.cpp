// A prescription template travels with the dictionaries: stored in 设置.dat or on the clinic's
// server, into the backup, up to a server, and into a 设置.dat made before templates existed.

#include "startup/Startup.h"
#include "store/FileCheck.h"
#include "store/PrescriptionTemplates.h"
#include "store/Records.h"
#include "store/Templates.h"
#include "store/postgres/Server.h"
#include "support/ProgramFolder.h"
#include "support/TestServer.h"

#include <QTest>

using namespace store;

namespace {

QStringList templates(Connection* db, const Select& select)
{
    QStringList out;
    for (const TemplateEntry& e : readTemplates(db, select))
        out << e.name + '|' + e.initials + '|' + e.text;
    return out;
}

const QString Cold = QStringLiteral("阿莫西林片 0.25×24\r\n    用法：0.5 bid\r\n维生素C针 2.0\r\n");
const QString Drip = QStringLiteral("5%葡萄糖注射液 500ml\r\n");

} // namespace

class TestTemplatesStore : public QObject
{
    Q_OBJECT

private slots:
    void aTemplateGoesWhereTheDictionariesGo_data();
    void aTemplateGoesWhereTheDictionariesGo();
};

void TestTemplatesStore::aTemplateGoesWhereTheDictionariesGo_data()
{
    QTest::addColumn<QString>("desk");
    QTest::newRow("new file") << "new file";
    QTest::newRow("file made before templates") << "older file";
    QTest::newRow("server") << "server";
    QTest::newRow("server set up before templates") << "older server";
}

void TestTemplatesStore::aTemplateGoesWhereTheDictionariesGo()
{
    QFETCH(QString, desk);
    ProgramFolder folder(desk != "older file");
    Store& store = folder.store();
    QStringList drugsBefore;
    if (desk == "older file") {
        // 设置.dat as the program made it before 协定处方: every other table, with rows.
        QVERIFY(QDir().mkpath(store.dataFolder()));
        QVERIFY(createRecordsFile(store.recordsPath()));
        const Table* const older[] = {&DrugTable, &DiagnosisTable, &AddressTable, &SettingsTable};
        QVERIFY(writeDatabaseFile(store.settingsPath(), Store::settingsPassword(), older, [](CipherConnection& db) {
            return Store::insert(&db, DrugTable, {QStringLiteral("amxlp"), QStringLiteral("阿莫西林片")})
                && Store::insert(&db, SettingsTable, {QString(), "0", "0", "0", "0", QString(), QString()});
        }));
        drugsBefore = readNames(store.settings(), statements::allDrugs());
        QCOMPARE(store.settingsProblem().kind, FileProblem::None);
        QCOMPARE(readNames(store.settings(), statements::allDrugs()), drugsBefore);
        QCOMPARE(readSettings(store)->topOffset, QStringLiteral("0"));
    }
    std::unique_ptr<TestServer> server;
    if (desk.endsWith("server")) {
        server = std::make_unique<TestServer>();
        REQUIRE_SERVER(*server);
        if (desk == "older server")
            QVERIFY(server->connect()->execute(QStringLiteral("DROP TABLE \"协定处方\"")));
        store.useServer(server->conninfo());
        QCOMPARE(store.serverProblem(), QString());
    }
    QVERIFY(store.settings() && hasTable(*store.settings(), TemplateTable));

    Connection* db = store.dictionaries();
    QVERIFY(saveTemplate(db, {0, "感冒方", "gmf", Drip}));
    QVERIFY(saveTemplate(db, {0, "咳嗽方", "ksf", Drip}));
    QVERIFY(saveTemplate(db, {0, "感冒方", "gmf", Cold})); // the same name again replaces it in place
    QVERIFY(!saveTemplate(db, {0, QString(51, QChar(u'方')), "f", Cold}));
    QVERIFY(!saveTemplate(db, {0, "空方", "kf", QString()}));
    const QStringList stored{"感冒方|gmf|" + Cold, "咳嗽方|ksf|" + Drip};
    QCOMPARE(templates(db, statements::allTemplates()), stored);
    QCOMPARE(templates(db, statements::templatesByInitials("GM")), stored.mid(0, 1));

    // The backup day's copy holds them.
    const QDate day(2026, 12, 10);
    QVERIFY(startup::backup(store, day));
    ProgramFolder restored(false);
    QVERIFY(QDir().mkpath(restored.store().dataFolder()));
    QVERIFY(QFile::copy(startup::backupFolder(store, day) + "/设置.dat", restored.store().settingsPath()));
    QCOMPARE(templates(restored.store().settings(), statements::allTemplates()), stored);
    if (server)
        return;

    // 上传本机数据 takes them to a clinic's server.
    TestServer target;
    REQUIRE_SERVER(target);
    auto up = target.connect();
    QCOMPARE(uploadToServer(*store.records(), *store.settings(), *up, false).outcome, Upload::Done);
    QCOMPARE(templates(up.get(), statements::allTemplates()), stored);
    if (!drugsBefore.isEmpty())
        QCOMPARE(readNames(store.settings(), statements::allDrugs()), drugsBefore);
}

QTEST_GUILESS_MAIN(TestTemplatesStore)
#include "test_templates_store.moc"
