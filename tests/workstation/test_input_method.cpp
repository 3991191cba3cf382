#include "common/Clock.h"
#include "common/MessageBox.h"
#include "support/ProgramFolder.h"
#include "workstation/MainWindow.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTextEdit>
#include <QTest>

// Chinese arrives through an input method: pinyin is composed as pre-edit text, which belongs to
// no box yet, and only the chosen characters (or letters) are committed. Every box that looks
// something up must do so on committed text only, never on half-typed pinyin.

namespace {

// What a look-up shows: a list's rows (or that it is hidden), or the text of a box or label.
QString shown(QWidget* widget)
{
    if (auto* view = qobject_cast<QAbstractItemView*>(widget)) {
        if (!view->isVisible())
            return QStringLiteral("(hidden)");
        QStringList rows;
        for (int row = 0; row < view->model()->rowCount(); ++row)
            rows << view->model()->index(row, 0).data().toString();
        return rows.join(QLatin1Char('|'));
    }
    if (auto* box = qobject_cast<QLineEdit*>(widget))
        return box->text();
    if (auto* label = qobject_cast<QLabel*>(widget))
        return label->text();
    if (auto* rich = qobject_cast<QTextEdit*>(widget))
        return rich->toPlainText();
    return QStringLiteral("(unknown control)");
}

QString boxText(QWidget* box)
{
    if (auto* rich = qobject_cast<QTextEdit*>(box))
        return rich->toPlainText();
    return qobject_cast<QLineEdit*>(box)->text();
}

void preedit(QWidget* box, const QString& pinyin)
{
    QInputMethodEvent event(pinyin, {QInputMethodEvent::Attribute(QInputMethodEvent::Cursor, int(pinyin.size()), 1)});
    QApplication::sendEvent(box, &event);
}

void commit(QWidget* box, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(box, &event);
}

// What the input method asks a box when it gets the focus: does it take composed text at all?
bool takesInputMethod(QWidget* box)
{
    QInputMethodQueryEvent query(Qt::ImEnabled);
    QApplication::sendEvent(box, &query);
    return query.value(Qt::ImEnabled).toBool();
}

QAction* menuItem(QWidget* window, const QString& caption)
{
    for (QAction* action : window->findChildren<QAction*>())
        if (action->text() == caption)
            return action;
    return nullptr;
}

QWidget* topLevel(const QString& objectName)
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->objectName() == objectName && w->isVisible())
            return w;
    return nullptr;
}

} // namespace

// Opens the window a test row names: the main window with a new prescription, or a dictionary
// window by its menu item.
QWidget* openForm(QWidget& main, const QString& menu, const QString& objectName)
{
    if (menu.isEmpty()) {
        menuItem(&main, QStringLiteral("新建"))->trigger();
        return &main;
    }
    menuItem(&main, menu)->trigger();
    QWidget* form = nullptr;
    for (int tries = 0; !form && tries < 100; ++tries) {
        QTest::qWait(20);
        form = topLevel(objectName);
    }
    return form;
}

class TestInputMethod : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        MessageBox::setTestMode(true);
        Clock::setSource([] { return QDateTime(QDate(2026, 12, 7), QTime(10, 0)); });
    }

    void lookUpsFollowCommittedText_data()
    {
        QTest::addColumn<QString>("menu");       // menu item opening the window; empty: the sheet
        QTest::addColumn<QString>("window");     // its objectName
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("watched");    // the control the box's text drives
        QTest::addColumn<QStringList>("pinyin"); // pre-edit states, as the input method shows them
        QTest::addColumn<QString>("committed");
        QTest::addColumn<QString>("result");     // what the watched control shows after the commit

        const QString sheet = QStringLiteral("MainWindow");
        QTest::newRow("name: card header")
            << "" << sheet << "Text4_0" << "Label6_1" << QStringList{"z", "zh", "zhang s", "zhang san"}
            << "张三" << "张三，，";
        // "hx" matches no diagnosis: a look-up on it would hide the list.
        QTest::newRow("diagnosis: letters committed")
            << "" << sheet << "Text4_4" << "list2" << QStringList{"h", "hx"} << "sh" << "上呼吸道感染";
        QTest::newRow("diagnosis: characters committed")
            << "" << sheet << "Text4_4" << "list2" << QStringList{"s", "shang"} << "上" << "(hidden)";
        QTest::newRow("address") << "" << sheet << "Text4_5" << "list5" << QStringList{"q", "qq"} << "cg" << "城关镇";
        QTest::newRow("drug initials") << "" << sheet << "Text1" << "List1" << QStringList{"zz", "zzz"} << "wssz"
                                       << "维生素C针 2.0";
        QTest::newRow("prescription") << "" << sheet << "R1" << "R1" << QStringList{"a", "a mo"} << "阿莫西林"
                                      << "阿莫西林";
        QTest::newRow("diagnoses: search") << "诊断名称" << "Form3" << "Text1" << "List1" << QStringList{"h", "hx"}
                                           << "shxd" << "上呼吸道感染";
        QTest::newRow("diagnoses: name gives the key")
            << "诊断名称" << "Form3" << "Text3" << "Text5" << QStringList{"fei", "fei yan"} << "肺炎" << "fy";
        QTest::newRow("addresses: search") << "地址库" << "Form4" << "Text1" << "List1" << QStringList{"q"} << "cgz"
                                           << "城关镇";
        QTest::newRow("drugs: search") << "药品维护" << "Form2" << "Text1" << "List1" << QStringList{"z", "zz"}
                                       << "wssz" << "维生素C针 2.0";
        QTest::newRow("drugs: name gives the key")
            << "药品维护" << "Form2" << "Text3" << "Text5" << QStringList{"wei", "wei sheng su"} << "维生素"
            << "wss";
    }

    void lookUpsFollowCommittedText()
    {
        QFETCH(QString, menu);
        QFETCH(QString, window);
        QFETCH(QString, box);
        QFETCH(QString, watched);
        QFETCH(QStringList, pinyin);
        QFETCH(QString, committed);
        QFETCH(QString, result);

        ProgramFolder folder;
        MainWindow main(folder.store());
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QWidget* form = openForm(main, menu, window);
        QVERIFY(form);
        QCOMPARE(form->objectName(), window);
        auto* input = form->findChild<QWidget*>(box);
        auto* output = form->findChild<QWidget*>(watched);
        QVERIFY(input && output);
        form->activateWindow();
        if (auto* line = qobject_cast<QLineEdit*>(input))
            line->clear(); // the drug window shows its first drug on opening
        input->setFocus();
        QTRY_VERIFY(input->hasFocus());

        const QString before = shown(output);
        for (const QString& state : pinyin) {
            preedit(input, state);
            QCOMPARE(boxText(input), QString());
            QCOMPARE(shown(output), before);
        }
        commit(input, committed);
        QCOMPARE(boxText(input), committed);
        QTRY_COMPARE(shown(output), result);

        if (form != &main)
            delete form;
    }

    // Boxes of initials take every key straight, so the input method never composes in them;
    // the boxes that hold Chinese take it. The diagnosis and address boxes start as initials
    // and take the input method on its switch key until they are left.
    void inputMethodWhereChineseBelongs_data()
    {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("window");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("keys"); // C: Ctrl+Space, S: Shift alone, L: leave the box and come back
        QTest::addColumn<bool>("takes");

        const QString sheet = QStringLiteral("MainWindow");
        QTest::newRow("name") << "" << sheet << "Text4_0" << "" << true;
        QTest::newRow("prescription") << "" << sheet << "R1" << "" << true;
        QTest::newRow("injection card") << "" << sheet << "R2" << "" << true;
        QTest::newRow("search name") << "" << sheet << "Text2" << "" << true;
        QTest::newRow("drug initials") << "" << sheet << "Text1" << "C" << false;
        QTest::newRow("diagnosis") << "" << sheet << "Text4_4" << "" << false;
        QTest::newRow("diagnosis, Ctrl+Space") << "" << sheet << "Text4_4" << "C" << true;
        QTest::newRow("diagnosis, Shift") << "" << sheet << "Text4_4" << "S" << true;
        QTest::newRow("diagnosis, Shift, left") << "" << sheet << "Text4_4" << "SL" << false;
        QTest::newRow("address, Ctrl+Space") << "" << sheet << "Text4_5" << "C" << true;
        QTest::newRow("address, twice") << "" << sheet << "Text4_5" << "CLC" << true;
        QTest::newRow("diagnoses: search") << "诊断名称" << "Form3" << "Text1" << "S" << false;
        QTest::newRow("diagnoses: name") << "诊断名称" << "Form3" << "Text3" << "" << true;
        QTest::newRow("diagnoses: key") << "诊断名称" << "Form3" << "Text5" << "" << false;
        QTest::newRow("addresses: key") << "地址库" << "Form4" << "Text5" << "" << false;
        QTest::newRow("drugs: search") << "药品维护" << "Form2" << "Text1" << "" << false;
        QTest::newRow("drugs: name") << "药品维护" << "Form2" << "Text3" << "" << true;
        QTest::newRow("drugs: key") << "药品维护" << "Form2" << "Text5" << "" << false;
    }

    void inputMethodWhereChineseBelongs()
    {
        QFETCH(QString, menu);
        QFETCH(QString, window);
        QFETCH(QString, box);
        QFETCH(QString, keys);
        QFETCH(bool, takes);

        ProgramFolder folder;
        MainWindow main(folder.store());
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        QWidget* form = openForm(main, menu, window);
        QVERIFY(form);
        auto* input = form->findChild<QWidget*>(box);
        QVERIFY(input);
        form->activateWindow();
        input->setFocus();
        QTRY_VERIFY(input->hasFocus());
        QWidget* elsewhere = form->findChild<QWidget*>(QStringLiteral("Text4_0"));
        if (!elsewhere)
            elsewhere = form->findChild<QWidget*>(QStringLiteral("Text3"));
        for (const QChar key : keys) {
            if (key == QLatin1Char('C')) {
                QTest::keyClick(input, Qt::Key_Space, Qt::ControlModifier);
            } else if (key == QLatin1Char('S')) {
                QTest::keyPress(input, Qt::Key_Shift, Qt::ShiftModifier);
                QTest::keyRelease(input, Qt::Key_Shift);
            } else {
                elsewhere->setFocus();
                input->setFocus();
            }
        }
        QCOMPARE(takesInputMethod(input), takes);
        // A box of initials takes the keys typed: the input method composes nothing there.
        if (!takes) {
            if (auto* line = qobject_cast<QLineEdit*>(input)) {
                line->clear();
                QTest::keyClicks(line, "sh");
                QCOMPARE(line->text(), QStringLiteral("sh"));
            }
        }
        if (form != &main)
            delete form;
    }

    // A click on a row of a look-up list while the input method composes in its box picks that
    // row: the composition is ended (nothing of it stays in the box) and the box goes on taking
    // initials.
    void clickWhileComposingPicksTheRow_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("typed");   // initials typed before the input method takes over
        QTest::addColumn<QString>("pinyin");  // composing when the click comes
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("picked");
        QTest::addColumn<QString>("typedOn"); // initials typed after the pick
        QTest::addColumn<QString>("listed");  // the list's rows then

        QTest::newRow("diagnosis") << "Text4_4" << "list2" << "" << "zhen" << 1 << "急性支气管炎" << "fy" << "肺炎";
        QTest::newRow("diagnosis, after initials") << "Text4_4" << "list2" << "f" << "f y" << 0 << "腹痛待查" << "sh"
                                                   << "上呼吸道感染";
        QTest::newRow("address") << "Text4_5" << "list5" << "cg" << "zhen" << 0 << "城关镇" << "cg" << "城关镇";
    }

    void clickWhileComposingPicksTheRow()
    {
        QFETCH(QString, box);
        QFETCH(QString, list);
        QFETCH(QString, typed);
        QFETCH(QString, pinyin);
        QFETCH(int, row);
        QFETCH(QString, picked);
        QFETCH(QString, typedOn);
        QFETCH(QString, listed);

        ProgramFolder folder;
        MainWindow main(folder.store());
        main.show();
        QVERIFY(QTest::qWaitForWindowExposed(&main));
        menuItem(&main, QStringLiteral("新建"))->trigger();
        auto* input = main.findChild<QLineEdit*>(box);
        auto* view = main.findChild<QAbstractItemView*>(list);
        QVERIFY(input && view);
        input->setFocus();
        QTRY_VERIFY(input->hasFocus());
        QTest::keyClicks(input, typed);
        QTest::keyClick(input, Qt::Key_Space, Qt::ControlModifier); // the input method's switch key
        QVERIFY(takesInputMethod(input));
        preedit(input, pinyin);
        QVERIFY(view->isVisible());
        const QModelIndex index = view->model()->index(row, 0);
        QCOMPARE(index.data().toString(), picked);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->visualRect(index).center());

        QCOMPARE(input->text(), picked);
        QVERIFY(view->isHidden());
        QVERIFY(input->hasFocus());
        QVERIFY(!takesInputMethod(input));
        input->clear();
        QTest::keyClicks(input, typedOn);
        QCOMPARE(input->text(), typedOn);
        QCOMPARE(shown(view), listed);
    }
};

QTEST_MAIN(TestInputMethod)
#include "test_input_method.moc"
