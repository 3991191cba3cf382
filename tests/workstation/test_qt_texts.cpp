#include "common/MessageBox.h"
#include "common/QtTranslation.h"
#include "support/ProgramFolder.h"
#include "workstation/MainWindow.h"

#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QTest>
#include <QTextEdit>

// Qt's own texts (a box's right-click menu) in the program's language, run under zh_CN.UTF-8
// (see tests/CMakeLists.txt) as a Chinese desktop starts the program.
class TestQtTexts : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        MessageBox::setTestMode(true);
        QCOMPARE(QLocale::system().name(), QStringLiteral("zh_CN"));
        QVERIFY(installQtTranslation(QLocale::system()));
    }

    void contextMenusReadChinese_data()
    {
        QTest::addColumn<QString>("box");
        QTest::newRow("field box") << "Text4_0";
        QTest::newRow("drug initials") << "Text1";
        QTest::newRow("search name") << "Text2";
        QTest::newRow("prescription") << "R1";
    }

    void contextMenusReadChinese()
    {
        QFETCH(QString, box);
        ProgramFolder folder;
        MainWindow w(folder.store());
        QWidget* input = w.findChild<QWidget*>(box);
        QVERIFY(input);
        std::unique_ptr<QMenu> menu;
        if (auto* line = qobject_cast<QLineEdit*>(input))
            menu.reset(line->createStandardContextMenu());
        else
            menu.reset(qobject_cast<QTextEdit*>(input)->createStandardContextMenu());
        QStringList texts;
        for (const QAction* action : menu->actions())
            if (!action->isSeparator())
                texts << action->text().remove(QLatin1Char('&'));
        const QString all = texts.join(QLatin1Char('|'));
        QVERIFY2(all.contains(QStringLiteral("复制")) && all.contains(QStringLiteral("粘贴")), qPrintable(all));
        QVERIFY2(!all.contains(QStringLiteral("Copy")) && !all.contains(QStringLiteral("Paste")), qPrintable(all));
    }
};

QTEST_MAIN(TestQtTexts)
#include "test_qt_texts.moc"
