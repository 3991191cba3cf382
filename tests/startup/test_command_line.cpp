#include <QProcess>
#include <QTest>

// What the program answers on its command line where there is no display, as an administrator
// or a script meets it.
class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void answersWithoutADisplay_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QStringList>("out"); // pieces the standard output holds
        const QStringList usage{"用法：qarvel", "--server", "--init-server", "--version", "~/.local/share/Qarvel", "退出状态"};
        QTest::newRow("--help") << QStringList{"--help"} << 0 << usage;
        QTest::newRow("-h") << QStringList{"-h"} << 0 << usage;
        QTest::newRow("--help beside other options") << QStringList{"--server", "", "--help"} << 0 << usage;
        QTest::newRow("--version") << QStringList{"--version"} << 0 << QStringList{QStringLiteral("qarvel " QARVEL_VERSION "\n")};
        QTest::newRow("--server without its string") << QStringList{"--server"} << 1 << QStringList();
    }

    void answersWithoutADisplay()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QStringList, out);
        QProcess program;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        program.setProcessEnvironment(env);
        program.start(QStringLiteral(QARVEL_PROGRAM), arguments);
        QVERIFY(program.waitForFinished(30000));
        const QString printed = QString::fromUtf8(program.readAllStandardOutput());
        QCOMPARE(program.exitStatus(), QProcess::NormalExit);
        QCOMPARE(program.exitCode(), status);
        for (const QString& piece : out)
            QVERIFY2(printed.contains(piece), qPrintable(printed));
        if (status != 0)
            QVERIFY(!program.readAllStandardError().isEmpty());
    }
};

QTEST_MAIN(TestCommandLine)
#include "test_command_line.moc"
