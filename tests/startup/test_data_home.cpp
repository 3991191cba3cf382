#include "common/MessageBox.h"
#include "startup/DataHome.h"
#include "startup/Startup.h"
#include "store/Store.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <unistd.h>

// Where the data go when the program's folder can or cannot take files, and that a start in
// the chosen place makes both databases from their templates there and nowhere else.
class TestDataHome : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MessageBox::setTestMode(true); }

    void choice_data()
    {
        QTest::addColumn<QString>("program");   // writable, read-only, gone (no folder can be made there), or a system folder's path
        QTest::addColumn<QString>("user");      // exists, missing (to be made), gone
        QTest::addColumn<QString>("expected");  // program, user, none

        QTest::newRow("own folder writable") << "writable" << "exists" << "program";
        QTest::newRow("own folder writable, no user folder") << "writable" << "gone" << "program";
        QTest::newRow("read-only folder, user folder exists") << "read-only" << "exists" << "user";
        QTest::newRow("read-only folder, user folder made") << "read-only" << "missing" << "user";
        QTest::newRow("folder takes no files, user folder made") << "gone" << "missing" << "user";
        QTest::newRow("neither takes files") << "gone" << "gone" << "none";
        QTest::newRow("read-only folder, nowhere else") << "read-only" << "gone" << "none";
        // Installed: the user's folder, even where the program's folder can be written (by root).
        QTest::newRow("installed in /usr/bin") << "/usr/bin" << "missing" << "user";
        QTest::newRow("installed in /usr/local/bin") << "/usr/local/bin" << "exists" << "user";
        QTest::newRow("installed, reached as /bin") << "/bin" << "missing" << "user";
        QTest::newRow("installed, reached by ..") << "/usr/lib/../bin" << "exists" << "user";
        QTest::newRow("installed, no user folder") << "/usr/bin" << "gone" << "none";
    }

    void choice()
    {
        QFETCH(QString, program);
        QFETCH(QString, user);
        QFETCH(QString, expected);
        if (program == QLatin1String("read-only") && ::geteuid() == 0)
            QSKIP("root writes into read-only folders; the package check starts the installed program as another user");

        QTemporaryDir root;
        QVERIFY(root.isValid());
        QFile blocker(root.filePath("file"));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        // Below a plain file no folder can ever be made, whoever asks.
        const bool system = program.startsWith(u'/');
        QString programFolder = system ? program : root.filePath("bin");
        if (program == QLatin1String("gone"))
            programFolder = root.filePath("file/bin");
        else if (!system)
            QVERIFY(QDir().mkpath(programFolder));
        QVERIFY(startup::isSystemInstall(programFolder) == system);
        const bool hadData = QFile::exists(QDir(programFolder).filePath("数据库"));
        QString userFolder = root.filePath("home/.local/share/Qarvel");
        if (user == QLatin1String("exists"))
            QVERIFY(QDir().mkpath(userFolder));
        else if (user == QLatin1String("gone"))
            userFolder = root.filePath("file/Qarvel");
        if (program == QLatin1String("read-only"))
            QVERIFY(QFile::setPermissions(programFolder, QFile::ReadOwner | QFile::ExeOwner));

        MessageBox::clearShownMessages();
        const QString home = startup::chooseDataHome(programFolder, userFolder);

        if (expected == QLatin1String("none")) {
            QCOMPARE(home, QString());
            const QStringList shown = MessageBox::shownMessages();
            QCOMPARE(shown.size(), 2); // one message: its title and text
            // An installed program's folder is never offered as a place for the data.
            QVERIFY2(shown[1].contains(programFolder) != system && shown[1].contains(userFolder), qPrintable(shown[1]));
            return;
        }
        QVERIFY(MessageBox::shownMessages().isEmpty());
        QCOMPARE(home, expected == QLatin1String("program") ? programFolder : userFolder);
        // The probe leaves nothing behind in the folder it tried.
        QCOMPARE(QDir(home).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList());

        store::Store store(home);
        startup::prepare(store, QDate(2026, 12, 7));
        QVERIFY(QFile::exists(QDir(home).filePath("数据库/档案.dat")));
        QVERIFY(QFile::exists(QDir(home).filePath("数据库/设置.dat")));
        QVERIFY(store.records() && store.settings());
        if (home != programFolder)
            QCOMPARE(QFile::exists(QDir(programFolder).filePath("数据库")), hadData);
        if (!system)
            QFile::setPermissions(programFolder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_MAIN(TestDataHome)
#include "test_data_home.moc"
