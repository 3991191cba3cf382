#include "common/MessageBox.h"
#include "store/Store.h"
#include "store/Templates.h"
#include "workstation/HelpPage.h"
#include "workstation/MainWindow.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>

// The about box and the help page tell the user which folder holds this desk's data: beside the
// program or in the user's own folder, whatever characters its path has.
class TestDataFolderShown : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MessageBox::setTestMode(true); }

    void aboutAndHelpNameTheFolder_data()
    {
        QTest::addColumn<QString>("home"); // below a temporary folder
        QTest::newRow("beside the program") << "qarvel";
        QTest::newRow("user's folder") << "home/张医生/.local/share/Qarvel";
        QTest::newRow("characters a page must escape") << "R&D <诊所>";
    }

    void aboutAndHelpNameTheFolder()
    {
        QFETCH(QString, home);
        QTemporaryDir root;
        const QString folder = root.filePath(home);
        store::Store store(folder);
        QVERIFY(QDir().mkpath(store.dataFolder()));
        QVERIFY(store::createRecordsFile(store.recordsPath()));
        QVERIFY(store::createSettingsFile(store.settingsPath()));
        const QString shownPath = QDir::toNativeSeparators(store.dataFolder());

        MainWindow main(store);
        QAction* about = nullptr;
        for (QAction* action : main.findChildren<QAction*>())
            if (action->text() == QStringLiteral("关于"))
                about = action;
        QVERIFY(about);
        about->trigger();
        auto* box = main.findChild<QMessageBox*>(QStringLiteral("AboutBox"));
        QVERIFY(box);
        QVERIFY2(box->text().contains(shownPath.toHtmlEscaped()), qPrintable(box->text()));

        const QString page = root.filePath("help/qarvel-help.html");
        QVERIFY(writeHelpPage(page, store.dataFolder()));
        QFile file(page);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QString html = QString::fromUtf8(file.readAll());
        QVERIFY2(html.contains(QStringLiteral("<code id=\"data-folder\">") + shownPath.toHtmlEscaped() + QStringLiteral("</code>")),
                 qPrintable(html));
        QVERIFY(!html.contains(QStringLiteral("{{")));
    }
};

QTEST_MAIN(TestDataFolderShown)
#include "test_data_folder_shown.moc"
