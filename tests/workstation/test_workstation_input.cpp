#include "common/Clock.h"
#include "common/MessageBox.h"
#include "formats/PrescriptionText.h"
#include "store/Records.h"
#include "store/Store.h"
#include "support/ProgramFolder.h"
#include "support/Trees.h"
#include "support/Typing.h"
#include "support/Workstation.h"
#include "workstation/DrugPanel.h"
#include "workstation/MainWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>

using namespace store;

namespace {

const QString ExitQuestion = QStringLiteral("处方尚未保存，确定退出吗？");

// A main window shown and active, as the doctor has it.
struct Desk {
    ProgramFolder folder;
    MainWindow w{folder.store()};
    Controls ui{w};
    Desk()
    {
        w.show();
        w.activateWindow();
        if (!QTest::qWaitForWindowActive(&w))
            qWarning("main window not active");
    }
};

void addRecord(Store& store, const QString& key, const QString& name, const QString& age)
{
    PatientRecord r;
    r.key = key;
    r.name = name;
    r.age = age;
    r.date = key.left(10);
    r.address = QStringLiteral("城关镇东大街一百二十三号院");
    r.prescription = prescription::toStoredRtf(QStringLiteral("药\r\n"));
    QVERIFY(Store::insert(store.records(), RecordsTable, r.toRow()));
}

// A real double-click as the widgets get it: press, release, then a double-click event in place
// of the second press, and its release; the second half lands on whatever row is there by then.
// Some window systems also deliver the second press itself.
void doubleClick(QWidget* widget, QPoint pos, bool secondPress)
{
    static ulong time = 1000000;
    auto send = [&](QEvent::Type type, Qt::MouseButtons buttons) {
        QMouseEvent event(type, pos, widget->mapToGlobal(pos), Qt::LeftButton, buttons, Qt::NoModifier);
        event.setTimestamp(time += 60);
        QApplication::sendEvent(widget, &event);
    };
    send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    if (secondPress)
        send(QEvent::MouseButtonPress, Qt::LeftButton);
    send(QEvent::MouseButtonDblClick, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, Qt::NoButton);
    time += 10000;
}

} // namespace

class TestWorkstationInput : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        MessageBox::setTestMode(true);
        Clock::setSource([] { return QDateTime(QDate(2026, 12, 7), QTime(9, 15, 2)); });
    }
    void init() { MessageBox::clearShownMessages(); }

    // The menu's keys act from inside every kind of box, where the box's own bindings would take
    // them (end of line, undo), and Alt opens a menu instead of typing a letter.
    void menuKeysWinInEveryBox_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QKeyCombination>("key");
        QTest::addColumn<QString>("effect");
        for (const char* box : {"Text4_0", "Text4_8", "R1", "Text1", "Text2"}) {
            QTest::addRow("%s Ctrl+E", box) << box << QKeyCombination(Qt::ControlModifier, Qt::Key_E) << "exit question";
            QTest::addRow("%s Ctrl+Z", box) << box << QKeyCombination(Qt::ControlModifier, Qt::Key_Z) << "about";
            QTest::addRow("%s Alt+F", box) << box << QKeyCombination(Qt::AltModifier, Qt::Key_F) << "文件(&F)";
            QTest::addRow("%s Alt+H", box) << box << QKeyCombination(Qt::AltModifier, Qt::Key_H) << "帮助(&H)";
        }
    }
    void menuKeysWinInEveryBox()
    {
        QFETCH(QString, box);
        QFETCH(QKeyCombination, key);
        QFETCH(QString, effect);
        Desk d;
        d.w.newPrescription();
        typeText(d.ui.Text4[0], QStringLiteral("张三"));
        QWidget* target = d.w.findChild<QWidget*>(box);
        QVERIFY(target);
        target->setFocus();
        QTest::keyClicks(target, "12");
        const auto textOf = [&] {
            auto* line = qobject_cast<QLineEdit*>(target);
            return line ? line->text() : static_cast<RichBox*>(target)->text();
        };
        const QString before = textOf();

        QTest::keyClick(target, key.key(), key.keyboardModifiers());
        if (effect == QLatin1String("exit question")) {
            QCOMPARE(MessageBox::shownMessages(), QStringList({"提示", ExitQuestion}));
            QVERIFY(d.w.isVisible()); // answered 否
        } else if (effect == QLatin1String("about")) {
            QTRY_VERIFY(d.w.findChild<QMessageBox*>("AboutBox") && d.w.findChild<QMessageBox*>("AboutBox")->isVisible());
        } else {
            QMenu* menu = nullptr;
            for (QAction* a : d.w.menuBar()->actions())
                if (a->text() == effect)
                    menu = a->menu();
            QVERIFY(menu);
            QTRY_VERIFY(menu->isVisible());
            menu->close();
        }
        QCOMPARE(textOf(), before); // neither undone, nor typed into
    }

    // Closing asks only where typing since New would be lost; 否 keeps the window.
    void closingAsksOnlyForUnsavedTyping_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<bool>("asks");
        QTest::addColumn<bool>("answer");
        QTest::newRow("window just opened") << "" << false << false;
        QTest::newRow("New, nothing typed") << "new" << false << false;
        QTest::newRow("New, a name typed, 否") << "new typed" << true << false;
        QTest::newRow("New, a name typed, 是") << "new typed" << true << true;
        QTest::newRow("New, a drug picked") << "new drug" << true << false;
        QTest::newRow("saved") << "new typed save" << false << false;
        QTest::newRow("a record opened") << "open" << false << false;
    }
    void closingAsksOnlyForUnsavedTyping()
    {
        QFETCH(QString, before);
        QFETCH(bool, asks);
        QFETCH(bool, answer);
        Desk d;
        if (before.contains(QLatin1String("new")))
            d.w.newPrescription();
        if (before.contains(QLatin1String("typed")))
            typeText(d.ui.Text4[0], QStringLiteral("李四"));
        if (before.contains(QLatin1String("drug"))) {
            d.ui.List1->setCurrentRow(0);
            d.w.drugPanel()->pickDrug();
        }
        if (before.contains(QLatin1String("save")))
            d.w.savePrescription();
        if (before == QLatin1String("open")) {
            d.ui.T1->setCurrentRow(0);
            d.w.openSelectedRecord();
        }
        QSignalSpy quit(&d.w, &MainWindow::quitRequested);
        if (asks)
            MessageBox::setNextAnswer(answer);
        d.w.close();
        QCOMPARE(MessageBox::shownMessages(), asks ? QStringList({"提示", ExitQuestion}) : QStringList());
        const bool closes = !asks || answer;
        QCOMPARE(quit.count(), closes ? 1 : 0);
        QCOMPARE(d.w.isVisible(), !closes);
    }

    // A paste or an input method's commit keeps what fits, counting characters, not UTF-16 units.
    void insertionsKeepWhatFits_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("existing");
        QTest::addColumn<bool>("selectAll");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("inserted");
        QTest::addColumn<QString>("result");
        QTest::newRow("paste into empty name") << 0 << "" << false << "paste" << "欧阳娜娜娜" << "欧阳娜娜";
        QTest::newRow("paste after two") << 0 << "欧阳" << false << "paste" << "娜娜娜" << "欧阳娜娜";
        QTest::newRow("paste over a selection") << 0 << "欧阳娜娜" << true << "paste" << "张三丰李四" << "张三丰李";
        QTest::newRow("paste into a full box") << 0 << "欧阳娜娜" << false << "paste" << "娜" << "欧阳娜娜";
        QTest::newRow("paste a long fee") << 8 << "" << false << "paste" << "12345678" << "123456";
        QTest::newRow("commit past the limit") << 0 << "欧阳" << false << "commit" << "娜娜娜" << "欧阳娜娜";
        QTest::newRow("commit of astral characters") << 0 << "" << false << "commit" << "𠀀𠀀𠀀𠀀𠀀" << "𠀀𠀀𠀀𠀀";
        QTest::newRow("astral characters typed") << 0 << "" << false << "type" << "𠀀𠀀𠀀𠀀𠀀" << "𠀀𠀀𠀀𠀀";
        QTest::newRow("a name with an emoji typed") << 0 << "" << false << "type" << "王😀小明" << "王😀小明";
        QTest::newRow("diagnosis of eight") << 4 << "" << false << "commit" << "上呼吸道感染伴发热" << "上呼吸道感染伴发";
    }
    void insertionsKeepWhatFits()
    {
        QFETCH(int, box);
        QFETCH(QString, existing);
        QFETCH(bool, selectAll);
        QFETCH(QString, how);
        QFETCH(QString, inserted);
        QFETCH(QString, result);
        Desk d;
        d.w.newPrescription();
        FieldBox* field = d.ui.Text4[size_t(box)];
        field->setFocus();
        field->setText(existing);
        field->end(false);
        if (selectAll)
            field->selectAll();
        if (how == QLatin1String("paste")) {
            QGuiApplication::clipboard()->setText(inserted);
            QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        } else if (how == QLatin1String("commit")) {
            QInputMethodEvent commit;
            commit.setCommitString(inserted);
            QApplication::sendEvent(field, &commit);
        } else {
            typeText(field, inserted);
        }
        QCOMPARE(field->text(), result);
    }

    void aDoubleClickInTheDrugListPicksOnce_data()
    {
        QTest::addColumn<bool>("secondPress");
        QTest::addColumn<QString>("typed");
        QTest::newRow("initials typed") << false << "ws";
        QTest::newRow("initials typed, second press delivered") << true << "ws";
        QTest::newRow("nothing typed: the list stays") << false << "";
    }
    void aDoubleClickInTheDrugListPicksOnce()
    {
        QFETCH(bool, secondPress);
        QFETCH(QString, typed);
        Desk d;
        d.w.newPrescription();
        d.ui.Text1->setFocus();
        QTest::keyClicks(d.ui.Text1, typed.toLatin1().constData());
        int row = -1;
        for (int i = 0; i < d.ui.List1->count(); ++i)
            if (d.ui.List1->text(i).startsWith(QStringLiteral("维生素B6针")))
                row = i;
        QVERIFY(row >= 0);
        const QModelIndex index = d.ui.List1->model()->index(row, 0);
        doubleClick(d.ui.List1->viewport(), d.ui.List1->visualRect(index).center(), secondPress);
        QCOMPARE(d.ui.R1->text(), QStringLiteral("维生素B6针 0.2\r\n"));
        QVERIFY(d.ui.Text1->text().isEmpty());

        // A single click a moment later is a pick of its own.
        QTest::qWait(QApplication::doubleClickInterval() + 50);
        const QModelIndex first = d.ui.List1->model()->index(0, 0);
        QString next = d.ui.List1->text(0);
        next.replace(QLatin1Char('/'), QStringLiteral("\r\n    用法："));
        QTest::mouseClick(d.ui.List1->viewport(), Qt::LeftButton, {}, d.ui.List1->visualRect(first).center());
        QCOMPARE(d.ui.R1->text(), QStringLiteral("维生素B6针 0.2\r\n") + next + QStringLiteral("\r\n"));
    }

    void upOrEscapeLeavesTheDrugList_data()
    {
        QTest::addColumn<int>("key");
        QTest::newRow("Up on the first drug") << int(Qt::Key_Up);
        QTest::newRow("Escape") << int(Qt::Key_Escape);
    }
    void upOrEscapeLeavesTheDrugList()
    {
        QFETCH(int, key);
        Desk d;
        d.w.newPrescription();
        d.ui.Text1->setFocus();
        QTest::keyClick(d.ui.Text1, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(d.ui.List1));
        QCOMPARE(d.ui.List1->currentRow(), 0);
        QTest::keyClick(d.ui.List1, Qt::Key(key));
        QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(d.ui.Text1));
    }

    // A box holding the longest text the doctor may type shows all of it, in the sheet's face.
    void longestTextsShowWhole_data()
    {
        QTest::addColumn<int>("box");
        QTest::addColumn<QString>("text");
        QTest::newRow("name") << 0 << "陈十五六";
        QTest::newRow("age") << 2 << "100岁";
        QTest::newRow("date") << 3 << "2026-12-07";
        QTest::newRow("diagnosis") << 4 << "腰椎间盘突出症状";
        QTest::newRow("doctor") << 6 << "欧阳娜娜";
        QTest::newRow("dispenser") << 7 << "司马相如";
        QTest::newRow("fee") << 8 << "1234.5";
    }

    void longestTextsShowWhole()
    {
        QFETCH(int, box);
        QFETCH(QString, text);
        Desk d;
        d.w.newPrescription();
        FieldBox* field = d.ui.Text4[size_t(box)];
        QCOMPARE(field->font().family(), QStringLiteral("楷体_GB2312"));
        QCOMPARE(field->font().pointSizeF(), 10.5);
        field->setFocus();
        field->clear();
        typeText(field, text);
        QCOMPARE(field->text(), text);
        // With the caret after the last character the box shows the text from its first: a box
        // too narrow scrolls it (as it is drawn) to bring the caret into view.
        auto caretAt = [field](int position) {
            field->setCursorPosition(position);
            field->grab();
            return field->inputMethodQuery(Qt::ImCursorRectangle).toRect().center().x();
        };
        const int atStart = caretAt(0);
        const int atEnd = caretAt(int(text.size()));
        QCOMPARE(caretAt(0), atStart);
        QVERIFY2(atEnd - atStart >= QFontMetrics(field->font()).horizontalAdvance(text) - 1, "the text is cut");
        QVERIFY(atEnd < field->width());
    }

    void openShowsTheStartOfEachBox()
    {
        Desk d;
        addRecord(d.folder.store(), QStringLiteral("2026-12-07 08:00:00"), QStringLiteral("欧阳娜娜"), QStringLiteral("45岁"));
        d.w.search();
        d.ui.T1->setCurrentRow(d.ui.T1->count() - 1);
        d.w.openSelectedRecord();
        QCOMPARE(d.ui.Text4[2]->text(), QStringLiteral("45岁"));
        for (const FieldBox* box : d.ui.Text4)
            QCOMPARE(box->cursorPosition(), 0);
    }

    // A delete the file refuses keeps the node and says so; the record is still there.
    void aFailedDeleteKeepsTheNode()
    {
        Desk d;
        const QStringList before = nodes(d.ui.T1);
        QVERIFY(d.folder.store().records()->execute(QStringLiteral("PRAGMA query_only = ON")));
        d.ui.T1->setCurrentRow(0);
        MessageBox::setNextAnswer(true);
        d.w.deleteSelectedRecord();
        QCOMPARE(MessageBox::shownMessages().mid(2), QStringList({"提示", "无法写入数据库，档案未删除。"}));
        QCOMPARE(nodes(d.ui.T1), before);
        QCOMPARE(Store::count(d.folder.store().records(), statements::allRecords()), 1);
    }

    void aboutBoxSaysOkInChineseAndIsCentred()
    {
        Desk d;
        d.w.action(QStringLiteral("关于"))->trigger();
        auto* box = d.w.findChild<QMessageBox*>("AboutBox");
        QVERIFY(box);
        QTRY_VERIFY(box->isVisible());
        QCOMPARE(box->buttons().size(), 1);
        QCOMPARE(box->buttons().first()->text(), QStringLiteral("确定"));
        const QPoint centre = box->screen()->geometry().center();
        QVERIFY2((box->geometry().center() - centre).manhattanLength() <= 4, "not centred on the screen");
    }
};

QTEST_MAIN(TestWorkstationInput)
#include "test_workstation_input.moc"
