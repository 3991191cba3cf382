#include "common/MessageBox.h"
#include "common/QtTranslation.h"
#include "support/ProgramFolder.h"
#include "workstation/MainWindow.h"

#include <QAccessible>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QTest>
#include <QTextEdit>

// What Qt shows and tells of the program's boxes, run under zh_CN.UTF-8 (see tests/CMakeLists.txt)
// as a Chinese desktop starts the program: its own texts (a box's right-click menu) in the
// program's language, and the names by which screen readers and testing tools find the boxes.
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

    void boxesAreNamedByTheirCaptions()
    {
        ProgramFolder folder;
        MainWindow w(folder.store());
        const QList<std::pair<const char*, const char*>> boxes{
            {"Text4_0", "姓名"}, {"Text4_1", "性别"}, {"Text4_2", "年龄"}, {"Text4_3", "日期"},
            {"Text4_4", "诊断"}, {"Text4_5", "地址"}, {"Text4_6", "医生"}, {"Text4_7", "配药"},
            {"Text4_8", "收费"}, {"R1", "处方"}, {"R2", "门诊注射卡"}, {"Text1", "拼音码查询"},
            {"Text2", "患者姓名"}, {"Text3", "就诊日期"},
        };
        for (const auto& [objectName, caption] : boxes) {
            QWidget* box = w.findChild<QWidget*>(QString::fromLatin1(objectName));
            QVERIFY2(box, objectName);
            QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(box);
            QVERIFY2(reader, objectName);
            QCOMPARE(reader->text(QAccessible::Name), QString::fromUtf8(caption));
        }
    }
};

QTEST_MAIN(TestQtTexts)
#include "test_qt_texts.moc"
