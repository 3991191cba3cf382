#include "common/Clock.h"
#include "common/MessageBox.h"
#include "store/Records.h"
#include "store/Store.h"
#include "support/ProgramFolder.h"
#include "support/Trees.h"
#include "support/Typing.h"
#include "support/Workstation.h"
#include "workstation/Keypad.h"
#include "workstation/DrugPanel.h"
#include "workstation/LookupLists.h"
#include "workstation/MainWindow.h"
#include "workstation/PrescriptionSheet.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using namespace store;

namespace {

void addDrug(Store& store, const QString& initials, const QString& name)
{
    QVERIFY(Store::insert(store.settings(), DrugTable, {initials, name}));
}

void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }

// Fixture: a main window on a fresh program folder with a new prescription started.
struct Sheet {
    ProgramFolder folder;
    std::unique_ptr<MainWindow> w;
    std::unique_ptr<Controls> ui;
    explicit Sheet(std::function<void(Store&)> prepare = {})
    {
        if (prepare)
            prepare(folder.store());
        w = std::make_unique<MainWindow>(folder.store());
        ui = std::make_unique<Controls>(*w);
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
        w->newPrescription();
    }
    MainWindow* operator->() { return w.get(); }
};

QWidget* focused() { return QApplication::focusWidget(); }

} // namespace

class TestEntryAids : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void drugPickByKeyboard();
    void drugPickAddsOneLinePerPart_data();
    void drugPickAddsOneLinePerPart();
    void drugListShowsAtMostEighteen_data();
    void drugListShowsAtMostEighteen();
    void pickWithoutSelectionStillEmptiesTheBox();
    void aRefilledListHasNoRowToPick_data();
    void aRefilledListHasNoRowToPick();
    void phrasesGoInAtTheCaret();
    void keypadTypesIntoTheLastBox();
    void keypadEnterAndBackspaceActAsKeystrokes();
    void sexKey_data();
    void sexKey();
    void sexToggle();
    void cardHeaderFollowsTheFields();
    void diagnosisAndAddressLookups();
    void pickFromTheLookupListsReplacesTheInitials();
    void enterWalksTheVisit();
    void downArrowInAFieldDoesNothing();
    void listKeysGoBackToTheBox_data();
    void listKeysGoBackToTheBox();
};

void TestEntryAids::initTestCase()
{
    MessageBox::setTestMode(true);
    Clock::setSource([] { return QDateTime(QDate(2026, 12, 7), QTime(10, 0)); });
}

void TestEntryAids::drugPickByKeyboard()
{
    Sheet s;
    s.ui->R1->setText(QStringLiteral("旧行\r\n"));
    s.ui->Text1->setFocus();
    QTest::keyClicks(s.ui->Text1, "aq");
    QCOMPARE(nodes(s.ui->List1), QStringList({"阿奇霉素片 6#/2# qd", "阿奇霉素针 0.5"}));
    QTest::keyClick(s.ui->Text1, Qt::Key_Down);
    QCOMPARE(focused(), static_cast<QWidget*>(s.ui->List1));
    QTest::keyClick(s.ui->List1, Qt::Key_Return);
    QCOMPARE(s.ui->R1->text(), QStringLiteral("旧行\r\n阿奇霉素片 6#\r\n    用法：2# qd\r\n"));
    QCOMPARE(s.ui->R1->textCursor().position(), s.ui->R1->toPlainText().size());
    QCOMPARE(focused(), static_cast<QWidget*>(s.ui->Text1));
    QVERIFY(s.ui->Text1->text().isEmpty());
    QCOMPARE(s.ui->List1->count(), DrugPanel::DrugListRows);

    // Down, Down, Enter takes the second; a click picks too, and always appends at the end.
    QTest::keyClicks(s.ui->Text1, "aq");
    QTest::keyClick(s.ui->Text1, Qt::Key_Down);
    QTest::keyClick(s.ui->List1, Qt::Key_Down);
    QTest::keyClick(s.ui->List1, Qt::Key_Return);
    QVERIFY(s.ui->R1->text().endsWith(QStringLiteral("阿奇霉素针 0.5\r\n")));
    QTextCursor middle = s.ui->R1->textCursor();
    middle.setPosition(1);
    s.ui->R1->setTextCursor(middle);
    QTest::keyClicks(s.ui->Text1, "wssz");
    QTest::mouseClick(s.ui->List1->viewport(), Qt::LeftButton, {}, s.ui->List1->visualRect(s.ui->List1->model()->index(0, 0)).center());
    QVERIFY(s.ui->R1->text().endsWith(QStringLiteral("阿奇霉素针 0.5\r\n维生素C针 2.0\r\n")));
    QCOMPARE(s.ui->R1->textCursor().position(), s.ui->R1->toPlainText().size());
}

void TestEntryAids::drugPickAddsOneLinePerPart_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("added");
    QTest::newRow("name and usage") << "阿莫西林胶囊/0.5 tid" << "阿莫西林胶囊\r\n    用法：0.5 tid\r\n";
    QTest::newRow("name only") << "青霉素针 960万" << "青霉素针 960万\r\n";
    QTest::newRow("two slashes") << "药/早/晚" << "药\r\n    用法：早\r\n    用法：晚\r\n";
}

void TestEntryAids::drugPickAddsOneLinePerPart()
{
    QFETCH(QString, entry);
    QFETCH(QString, added);
    Sheet s([&](Store& store) { addDrug(store, "zzz", entry); });
    s.ui->Text1->setFocus();
    QTest::keyClicks(s.ui->Text1, "zzz");
    QTest::keyClick(s.ui->Text1, Qt::Key_Down);
    QTest::keyClick(s.ui->List1, Qt::Key_Return);
    QCOMPARE(s.ui->R1->text(), added);
}

void TestEntryAids::drugListShowsAtMostEighteen_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<int>("rows");
    QTest::newRow("nineteen match") << "ab" << 18;
    QTest::newRow("upper case") << "AB" << 18;
    QTest::newRow("none") << "qqq" << 0;
    QTest::newRow("quote") << "a'b" << 0;
    QTest::newRow("underscore wildcard") << "a_1" << 10;
}

void TestEntryAids::drugListShowsAtMostEighteen()
{
    QFETCH(QString, typed);
    QFETCH(int, rows);
    Sheet s([](Store& store) {
        for (int i = 0; i < 19; ++i)
            addDrug(store, QStringLiteral("ab%1").arg(i), QStringLiteral("药%1").arg(i));
    });
    s.ui->Text1->setFocus();
    QTest::keyClicks(s.ui->Text1, typed.toLatin1().constData());
    QCOMPARE(s.ui->List1->count(), rows);
}

void TestEntryAids::pickWithoutSelectionStillEmptiesTheBox()
{
    Sheet s;
    QTest::keyClicks(s.ui->Text1, "qqq");
    s->drugPanel()->pickDrug();
    QVERIFY(s.ui->R1->text().isEmpty());
    QVERIFY(s.ui->Text1->text().isEmpty());
    QCOMPARE(focused(), static_cast<QWidget*>(s.ui->Text1));
}

void TestEntryAids::aRefilledListHasNoRowToPick_data()
{
    QTest::addColumn<int>("box"); // index into Text4, or -1 for the drug box
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("then");
    QTest::addColumn<QString>("picked");
    QTest::newRow("drugs") << -1 << "aq" << "wssz" << "维生素C针 2.0\r\n";
    QTest::newRow("diagnoses") << 4 << "fy" << "sh" << "上呼吸道感染";
    QTest::newRow("addresses") << 5 << "cg" << "shxq" << "胜华小区";
}

void TestEntryAids::aRefilledListHasNoRowToPick()
{
    QFETCH(int, box);
    QFETCH(QString, first);
    QFETCH(QString, then);
    QFETCH(QString, picked);
    Sheet s([](Store& store) {
        QVERIFY(Store::insert(store.settings(), AddressTable, {QStringLiteral("胜华小区"), QStringLiteral("shxq")}));
    });
    QLineEdit* edit = box < 0 ? s.ui->Text1 : static_cast<QLineEdit*>(s.ui->Text4[size_t(box)]);
    TextList* list = box < 0 ? s.ui->List1 : box == 4 ? s.ui->list2 : s.ui->list5;
    auto pick = [&] { box < 0 ? s->drugPanel()->pickDrug() : box == 4 ? s->lookupLists()->pickDiagnosis() : s->lookupLists()->pickAddress(); };
    auto shown = [&] { return box < 0 ? s.ui->R1->text() : edit->text(); };

    // A row selected in the first list...
    edit->setFocus();
    QTest::keyClicks(edit, first.toLatin1().constData());
    QTest::keyClick(edit, Qt::Key_Down);
    QCOMPARE(focused(), static_cast<QWidget*>(list));
    QVERIFY(list->selectionModel()->hasSelection());

    // ...is gone with it: the new list has nothing to pick until Down selects its first row.
    edit->setFocus();
    edit->setText(then);
    QVERIFY(!list->selectionModel()->hasSelection());
    QVERIFY(!list->currentIndex().isValid());
    const QString before = shown();
    pick();
    QCOMPARE(shown(), box < 0 ? before : then);
    edit->clear();
    QTest::keyClicks(edit, then.toLatin1().constData());
    QTest::keyClick(edit, Qt::Key_Down);
    QTest::keyClick(list, Qt::Key_Return);
    QCOMPARE(shown(), picked);
}

void TestEntryAids::phrasesGoInAtTheCaret()
{
    Sheet s;
    s.ui->R1->setFocus();
    typeText(s.ui->R1, QStringLiteral("药\n0.5 "));
    click(s.ui->Label5[4]); // bid
    QCOMPARE(s.ui->R1->text(), QStringLiteral("药\r\n0.5 bid"));
    QCOMPARE(focused(), static_cast<QWidget*>(s.ui->Text1));
    QTextCursor cursor = s.ui->R1->textCursor();
    cursor.setPosition(1);
    s.ui->R1->setTextCursor(cursor);
    click(s.ui->Label5[0]);
    QCOMPARE(s.ui->R1->text(), QStringLiteral("药    用法：iv/gtt qd\r\n\r\n0.5 bid"));
    click(s.ui->Label5[16]);
    QCOMPARE(s.ui->R1->text(), QStringLiteral("药    用法：iv/gtt qd\r\n×\r\n0.5 bid"));
}

void TestEntryAids::keypadTypesIntoTheLastBox()
{
    Sheet s;
    Keypad* keypad = s.ui->keypad;
    auto press = [&](int index) { click(keypad->Label11[size_t(index)]); };

    // R1, then Text1: the letter goes to Text1 and runs its lookup.
    s.ui->R1->setFocus();
    s.ui->Text1->setFocus();
    press(10); // a
    press(26); // q
    QCOMPARE(s.ui->Text1->text(), QStringLiteral("aq"));
    QCOMPARE(s.ui->List1->count(), 2);
    QCOMPARE(focused(), static_cast<QWidget*>(s.ui->Text1));

    // Text1, then R2: into the injection text.
    s.ui->R2->setFocus();
    press(0);
    press(9);
    QCOMPARE(s.ui->R2->text(), QStringLiteral("10"));
    QCOMPARE(focused(), static_cast<QWidget*>(s.ui->R2));

    // A plain box after the rich one takes the keys again; the focus may wander meanwhile.
    s.ui->Text2->setFocus();
    s.ui->Label7->setFocus();
    press(35);
    QCOMPARE(s.ui->Text2->text(), QStringLiteral("z"));
    QCOMPARE(focused(), static_cast<QWidget*>(s.ui->Text2));

    // The keys' faces go down while held and up again.
    const QImage up = keypad->keyPictures[0]->pixmap().toImage();
    QTest::mousePress(keypad->Label11[0], Qt::LeftButton);
    QVERIFY(keypad->keyPictures[0]->pixmap().toImage() != up);
    QTest::mouseRelease(keypad->Label11[0], Qt::LeftButton);
    QCOMPARE(keypad->keyPictures[0]->pixmap().toImage(), up);
    QCOMPARE(s.ui->Text2->text(), QStringLiteral("z1"));
}

void TestEntryAids::keypadEnterAndBackspaceActAsKeystrokes()
{
    Sheet s;
    s.ui->Text1->setFocus();
    QTest::keyClicks(s.ui->Text1, "aqx");
    click(s.ui->keypad->Label20);
    QTRY_COMPARE(s.ui->Text1->text(), QStringLiteral("aq"));

    QTest::keyClick(s.ui->Text1, Qt::Key_Down);
    click(s.ui->keypad->Label14); // Enter in the drug list picks
    QTRY_COMPARE(s.ui->R1->text(), QStringLiteral("阿奇霉素片 6#\r\n    用法：2# qd\r\n"));

    s.ui->Text4[0]->setFocus();
    click(s.ui->keypad->Label14); // Enter in a field box moves on
    QTRY_COMPARE(focused(), static_cast<QWidget*>(s.ui->Text4[1]));
}

void TestEntryAids::sexKey_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("1") << "1" << "男";
    QTest::newRow("2") << "2" << "女";
    QTest::newRow("3") << "3" << "3";
}

void TestEntryAids::sexKey()
{
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    Sheet s;
    s.ui->Text4[1]->setFocus();
    QTest::keyClicks(s.ui->Text4[1], typed.toLatin1().constData());
    QCOMPARE(s.ui->Text4[1]->text(), shown);
    QCOMPARE(s.ui->Text4[1]->cursorPosition(), shown.size());
}

void TestEntryAids::sexToggle()
{
    Sheet s;
    s.ui->Text4[1]->setText(QStringLiteral("女"));
    click(s.ui->Text4[1]);
    QCOMPARE(s.ui->Text4[1]->text(), QStringLiteral("男"));
    click(s.ui->Text4[1]);
    QCOMPARE(s.ui->Text4[1]->text(), QStringLiteral("女"));
    s.ui->Text4[1]->clear();
    click(s.ui->Text4[1]);
    QCOMPARE(s.ui->Text4[1]->text(), QStringLiteral("男"));
}

void TestEntryAids::cardHeaderFollowsTheFields()
{
    Sheet s;
    QCOMPARE(s.ui->Picture1->Label6[1]->text(), QString());
    QCOMPARE(s.ui->Picture1->Label6[2]->text(), QStringLiteral("2026-12-07"));
    s.ui->Text4[0]->setFocus();
    typeText(s.ui->Text4[0], QStringLiteral("张三"));
    QCOMPARE(s.ui->Picture1->Label6[1]->text(), QStringLiteral("张三，，"));
    QTest::keyClicks(s.ui->Text4[1], "1");
    QTest::keyClicks(s.ui->Text4[2], "35");
    QCOMPARE(s.ui->Picture1->Label6[1]->text(), QStringLiteral("张三，男，35"));
    s.ui->Text4[3]->setText(QStringLiteral("2026-12-08"));
    QCOMPARE(s.ui->Picture1->Label6[2]->text(), QStringLiteral("2026-12-08"));

    // New empties the card.
    s.ui->R2->setText(QStringLiteral("青霉素皮试"));
    s->newPrescription();
    QVERIFY(s.ui->R2->text().isEmpty());
    QVERIFY(s.ui->Picture1->Label6[1]->text().isEmpty());
}

void TestEntryAids::diagnosisAndAddressLookups()
{
    Sheet s([](Store& store) {
        QVERIFY(Store::insert(store.settings(), AddressTable, {QStringLiteral("胜华小区"), QStringLiteral("shxy")}));
    });
    // An empty diagnosis box shows the whole list on arrival.
    s.ui->Text4[4]->setFocus();
    QVERIFY(s.ui->list2->isVisible());
    QCOMPARE(s.ui->list2->count(), 21);
    QTest::keyClicks(s.ui->Text4[4], "sh");
    QCOMPARE(nodes(s.ui->list2), QStringList({"上呼吸道感染"}));
    s.ui->Text4[4]->clear();
    QTest::keyClicks(s.ui->Text4[4], "hx");
    QVERIFY(s.ui->list2->isHidden());

    // The address matches anywhere while typing, from the start on arrival.
    s.ui->Text4[5]->setFocus();
    QVERIFY(s.ui->list2->isHidden());
    QCOMPARE(nodes(s.ui->list5), QStringList({"城关镇", "胜华小区"}));
    QTest::keyClicks(s.ui->Text4[5], "hx");
    QCOMPARE(nodes(s.ui->list5), QStringList({"胜华小区"}));
    QVERIFY(s.ui->list5->isVisible());
    s.ui->Text4[0]->setFocus();
    QVERIFY(s.ui->list5->isHidden());
    s.ui->Text4[5]->setFocus();
    QVERIFY(s.ui->list5->isHidden());
    QTest::keyClicks(s.ui->Text4[5], "'");
    QVERIFY(s.ui->list5->isHidden());
}

void TestEntryAids::pickFromTheLookupListsReplacesTheInitials()
{
    Sheet s;
    s.ui->Text4[4]->setFocus();
    QTest::keyClicks(s.ui->Text4[4], "fy");
    QTest::keyClick(s.ui->Text4[4], Qt::Key_Down);
    QCOMPARE(focused(), static_cast<QWidget*>(s.ui->list2));
    QTest::keyClick(s.ui->list2, Qt::Key_Return);
    QCOMPARE(s.ui->Text4[4]->text(), QStringLiteral("肺炎"));
    QVERIFY(s.ui->list2->isHidden());
    QCOMPARE(focused(), static_cast<QWidget*>(s.ui->Text4[4]));
    QCOMPARE(s.ui->Text4[4]->cursorPosition(), 2);

    s.ui->Text4[5]->setFocus();
    QTest::keyClicks(s.ui->Text4[5], "cg");
    QTest::mouseClick(s.ui->list5->viewport(), Qt::LeftButton, {}, s.ui->list5->visualRect(s.ui->list5->model()->index(0, 0)).center());
    QCOMPARE(s.ui->Text4[5]->text(), QStringLiteral("城关镇"));
    QVERIFY(s.ui->list5->isHidden());
    QCOMPARE(focused(), static_cast<QWidget*>(s.ui->Text4[5]));
}

void TestEntryAids::enterWalksTheVisit()
{
    Sheet s;
    QTRY_COMPARE(focused(), static_cast<QWidget*>(s.ui->Text4[0]));
    const QList<QWidget*> walk{s.ui->Text4[1], s.ui->Text4[2], s.ui->Text4[4], s.ui->Text4[5], s.ui->Text1};
    for (QWidget* next : walk) {
        QWidget* from = focused();
        const QString before = qobject_cast<QLineEdit*>(from)->text();
        QTest::keyClick(from, Qt::Key_Return);
        QCOMPARE(focused(), next);
        QCOMPARE(qobject_cast<QLineEdit*>(from)->text(), before);
    }
    QTest::keyClick(s.ui->Text1, Qt::Key_Tab);
    QCOMPARE(focused(), static_cast<QWidget*>(s.ui->R1));
    QTest::keyClick(s.ui->R1, Qt::Key_Tab);
    QCOMPARE(focused(), static_cast<QWidget*>(s.ui->Text4[8]));
}

void TestEntryAids::downArrowInAFieldDoesNothing()
{
    Sheet s;
    s.ui->Text4[0]->setFocus();
    typeText(s.ui->Text4[0], QStringLiteral("张三"));
    s.ui->Text4[0]->setCursorPosition(1);
    QTest::keyClick(s.ui->Text4[0], Qt::Key_Down);
    QCOMPARE(s.ui->Text4[0]->cursorPosition(), 1);
    QCOMPARE(focused(), static_cast<QWidget*>(s.ui->Text4[0]));
}

QTEST_MAIN(TestEntryAids)
#include "test_entry_aids.moc"

void TestEntryAids::listKeysGoBackToTheBox_data()
{
    QTest::addColumn<int>("box"); // the field box (the drug list's own test is with the drug box)
    QTest::addColumn<int>("row");  // the list's current row when the key comes
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("back"); // the focus goes back to the box
    for (const auto& [name, box] : {std::pair{"diagnosis", 4}, std::pair{"address", 5}}) {
        QTest::addRow("%s: Escape", name) << box << 1 << int(Qt::Key_Escape) << true;
        QTest::addRow("%s: Up on the first row", name) << box << 0 << int(Qt::Key_Up) << true;
        QTest::addRow("%s: Up further down", name) << box << 1 << int(Qt::Key_Up) << false;
    }
}

void TestEntryAids::listKeysGoBackToTheBox()
{
    QFETCH(int, box);
    QFETCH(int, row);
    QFETCH(int, key);
    QFETCH(bool, back);
    Sheet s([](Store& store) {
        QVERIFY(Store::insert(store.settings(), AddressTable, {QStringLiteral("胜华小区"), QStringLiteral("shxq")}));
    });
    QLineEdit* input = s.ui->Text4[size_t(box)];
    TextList* list = box == 4 ? s.ui->list2 : s.ui->list5;
    input->setFocus(); // an empty box lists every entry
    QTest::keyClick(input, Qt::Key_Down);
    QCOMPARE(focused(), static_cast<QWidget*>(list));
    QVERIFY(list->count() > 1);
    list->setCurrentRow(row);
    QTest::keyClick(list, Qt::Key(key));
    QCOMPARE(focused(), back ? static_cast<QWidget*>(input) : static_cast<QWidget*>(list));
    if (!back)
        QCOMPARE(list->currentRow(), row - 1);
}
