#include "DictionaryFixture.h"
#include "dictionaries/WordListWindow.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

using Kind = WordListWindow::Kind;
Q_DECLARE_METATYPE(WordListWindow::Kind)

namespace {
const store::Table& tableOf(Kind kind) { return kind == Kind::Diagnosis ? store::DiagnosisTable : store::AddressTable; }
const Rows sample = {{"肺炎", "fy"}, {"高血压", "gxy"}, {"肺炎", "fy"}, {"Flu", "   "}};
QWidget* focused() { return QApplication::focusWidget(); }
}

class TestWordList : public QObject
{
    Q_OBJECT
    ProgramFolder folder; // created once; each test seeds its table anew

    static void kinds()
    {
        QTest::addColumn<Kind>("kind");
        QTest::newRow("diagnosis") << Kind::Diagnosis;
        QTest::newRow("address") << Kind::Address;
    }

private slots:
    void opensWithItsOwnLookAndFocusOrder_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QStringList>("look"); // object name, caption, name caption
        QTest::addColumn<QStringList>("focusOrder");
        QTest::newRow("diagnosis") << Kind::Diagnosis << QStringList({"Form3", "诊断名称维护", "诊断名称："})
                                   << QStringList({"Text1", "List1", "Text3", "Command2", "Text5", "Command1", "Text1"});
        QTest::newRow("address") << Kind::Address << QStringList({"Form4", "地址名称维护", "地址名称："})
                                 << QStringList({"Command2", "Text3", "List1", "Text1", "Text5", "Command1", "Command2"});
    }
    void opensWithItsOwnLookAndFocusOrder()
    {
        QFETCH(Kind, kind);
        QFETCH(QStringList, look);
        QFETCH(QStringList, focusOrder);
        seed(folder, tableOf(kind), sample);
        Shown w(new WordListWindow(kind, folder.store()));
        QCOMPARE(QStringList({w->objectName(), w->windowTitle(), w->findChild<QLabel*>("Label2")->text()}), look);
        QCOMPARE(texts(w->List1), QStringList({"肺炎", "高血压", "肺炎", "Flu"}));
        QStringList visited;
        for (int i = 0; i < focusOrder.size(); ++i) {
            QTRY_VERIFY(focused());
            visited << focused()->objectName();
            QTest::keyClick(focused(), Qt::Key_Tab);
        }
        QCOMPARE(visited, focusOrder);
        QVERIFY(w->List1->selectedItems().isEmpty()); // passing through the list selects nothing
    }

    void typeAndEnterAddsAtTheEnd_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("keyTyped"); // "-" empties the box by hand, "" keeps the computed key
        QTest::addColumn<QString>("keyShown");
        QTest::addColumn<QString>("keyStored");
        QTest::newRow("肺炎") << Kind::Diagnosis << "肺炎" << "" << "fy" << "fy";
        QTest::newRow("Latin diagnosis keeps blanks") << Kind::Diagnosis << "VC" << "" << "  " << "  ";
        QTest::newRow("Latin address keeps blanks") << Kind::Address << "VC" << "" << "  " << "  ";
        QTest::newRow("emptied key takes the name") << Kind::Address << "城关镇 3号" << "-" << "cgz " << "城关镇 3号";
        QTest::newRow("key typed over") << Kind::Diagnosis << "肺炎" << "fyy" << "fy" << "fyy";
    }
    void typeAndEnterAddsAtTheEnd()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, name);
        QFETCH(QString, keyTyped);
        QFETCH(QString, keyShown);
        QFETCH(QString, keyStored);
        seed(folder, tableOf(kind), sample);
        Shown w(new WordListWindow(kind, folder.store()));
        type(w->Text1, QStringLiteral("g"));
        type(w->Text3, name);
        QCOMPARE(w->Text5->text(), keyShown);
        if (!keyTyped.isEmpty()) {
            w->Text5->clear();
            type(w->Text5, keyTyped.remove(QLatin1Char('-')));
        }
        QTest::keyClick(w->Text3, Qt::Key_Return);

        QCOMPARE(stored(folder, tableOf(kind)).last(), name + QLatin1Char('|') + keyStored);
        QCOMPARE(texts(w->List1), QStringList({"高血压", name}));
        QCOMPARE(w->List1->selectedItems(), QList<QListWidgetItem*>({w->List1->item(1)}));
        QVERIFY(w->Text3->text().isEmpty() && w->Text5->text().isEmpty());
        QCOMPARE(w->Text1->text(), QStringLiteral("g"));
        QTRY_COMPARE(focused(), w->Text3);
        QCOMPARE(MessageBox::shownMessages(), QStringList());
    }

    void searchAndAddDuringASearch()
    {
        seed(folder, store::AddressTable, sample);
        Shown w(new WordListWindow(Kind::Address, folder.store()));
        type(w->Text1, QStringLiteral("FY"));
        QCOMPARE(texts(w->List1), QStringList({"肺炎", "肺炎"}));
        type(w->Text3, QStringLiteral("城关"));
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QCOMPARE(texts(w->List1), QStringList({"肺炎", "肺炎", "城关"})); // shown though "cg" does not match
        type(w->Text1, QStringLiteral("'"));
        QCOMPARE(texts(w->List1), QStringList());
        w->Text1->setText(QStringLiteral("C"));
        QCOMPARE(texts(w->List1), QStringList({"城关"}));
        w->Text1->setText(QStringLiteral(" "));
        QCOMPARE(texts(w->List1), QStringList({"Flu"}));
    }

    void deleteRemovesOnlyTheSelectedRow_data() { kinds(); }
    void deleteRemovesOnlyTheSelectedRow()
    {
        QFETCH(Kind, kind);
        const store::Table& table = tableOf(kind);
        seed(folder, table, sample);
        Shown w(new WordListWindow(kind, folder.store()));
        type(w->Text1, QStringLiteral("f"));
        click(w->List1, 1, Qt::RightButton); // the second 肺炎
        QVERIFY(chooseDelete(w->pu));
        const QStringList left = {"肺炎|fy", "高血压|gxy", "Flu|   "};
        QCOMPARE(stored(folder, table), left);
        QCOMPARE(texts(w->List1), QStringList({"肺炎"}));
        QVERIFY(w->List1->selectedItems().isEmpty());

        w->pu->actions().value(0)->trigger(); // nothing selected: nothing deleted
        QCOMPARE(stored(folder, table), left);

        // A row added while the list shows a search it does not match is deleted itself, not the
        // row at its list position in the search result.
        type(w->Text3, QStringLiteral("咳嗽"));
        QTest::keyClick(w->Text3, Qt::Key_Return);
        w->Text3->setText(QStringLiteral("kept"));
        click(w->List1, 1, Qt::RightButton);
        QVERIFY(chooseDelete(w->pu));
        QCOMPARE(stored(folder, table), left);
        QCOMPARE(texts(w->List1), QStringList({"肺炎"}));
        QCOMPARE(w->Text3->text(), QStringLiteral("kept"));

        seed(folder, table, {});
        w->Text1->clear();
        click(w->List1, -1, Qt::RightButton);
        QVERIFY(!w->wantsMenu() && !w->pu->isVisible());
    }

    void refusedInputIsNotStored_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("message");
        const QString a = QStringLiteral("a");
        QTest::newRow("empty name") << Kind::Diagnosis << "" << "" << "诊断名称不能为空。";
        QTest::newRow("blank name with key") << Kind::Address << " " << "dz" << "地址名称不能为空。";
        QTest::newRow("name of 51") << Kind::Diagnosis << "病 " + a.repeated(49) << "" << "诊断名称超过 50 个字符，未添加。";
        QTest::newRow("name of 50") << Kind::Address << "城 " + a.repeated(48) << "" << "";
        QTest::newRow("key of 51") << Kind::Diagnosis << "病" << a.repeated(51) << "拼音代码超过 50 个字符，未添加。";
    }
    void refusedInputIsNotStored()
    {
        QFETCH(Kind, kind);
        QFETCH(QString, name);
        QFETCH(QString, key);
        QFETCH(QString, message);
        seed(folder, tableOf(kind), {{"肺炎", "fy"}});
        Shown w(new WordListWindow(kind, folder.store()));
        w->Text3->setText(name);
        if (!key.isEmpty())
            w->Text5->setText(key);
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        const int rows = message.isEmpty() ? 2 : 1;
        QCOMPARE(stored(folder, tableOf(kind)).size(), rows);
        QCOMPARE(w->List1->count(), rows);
        QCOMPARE(MessageBox::shownMessages(), message.isEmpty() ? QStringList() : QStringList({w->windowTitle(), message}));
    }

    void unwritableDatabaseSaysNothingChanged_data()
    {
        QTest::addColumn<Kind>("kind");
        QTest::addColumn<bool>("fileThere"); // read-only, or missing
        QTest::addColumn<bool>("deleting");  // the first row, else an entry typed in
        QTest::newRow("diagnosis, read-only") << Kind::Diagnosis << true << false;
        QTest::newRow("address, read-only") << Kind::Address << true << false;
        QTest::newRow("diagnosis, missing") << Kind::Diagnosis << false << false;
        QTest::newRow("address, missing") << Kind::Address << false << false;
        QTest::newRow("diagnosis, read-only, delete") << Kind::Diagnosis << true << true;
        QTest::newRow("address, read-only, delete") << Kind::Address << true << true;
    }
    void unwritableDatabaseSaysNothingChanged()
    {
        QFETCH(Kind, kind);
        QFETCH(bool, fileThere);
        QFETCH(bool, deleting);
        ProgramFolder used(fileThere);
        if (fileThere)
            used.makeReadOnly(used.store().settingsPath());
        const QStringList before = fileThere ? stored(used, tableOf(kind)) : QStringList();
        Shown w(new WordListWindow(kind, used.store()));
        const QStringList listed = texts(w->List1);
        if (deleting) {
            click(w->List1, 0, Qt::RightButton);
            QVERIFY(chooseDelete(w->pu));
        } else {
            type(w->Text3, QStringLiteral("ab"));
            QTest::keyClick(w->Text3, Qt::Key_Return);
        }
        const QString message = deleting ? QStringLiteral("无法写入数据库，未删除。") : QStringLiteral("无法写入数据库，未添加。");
        QCOMPARE(MessageBox::shownMessages(), QStringList({w->windowTitle(), message}));
        QCOMPARE(w->Text3->text(), deleting ? QString() : QStringLiteral("ab"));
        QCOMPARE(texts(w->List1), listed);
        const QList<QListWidgetItem*> selected = w->List1->selectedItems();
        QVERIFY(deleting ? selected == QList{w->List1->item(0)} : selected.isEmpty());
        if (fileThere)
            QCOMPARE(stored(used, tableOf(kind)), before);
    }

    void nestedSearchLeavesOnlyItsOwnRows()
    {
        seed(folder, store::AddressTable, {{"a1", "a1"}, {"b1", "b1"}, {"a2", "a2"}, {"b2", "b2"}});
        const auto restore = yieldAfterEveryRow();
        Shown w(new WordListWindow(Kind::Address, folder.store()));
        bool nested = false; // the keystroke arrives while the search for "b" yields after b1
        QTimer::singleShot(0, w.w, [&] {
            nested = w->List1->count() == 1;
            w->Text1->setText(QStringLiteral("a"));
        });
        w->Text1->setText(QStringLiteral("b"));
        QVERIFY(nested);
        QCOMPARE(texts(w->List1), QStringList({"a1", "a2"}));
    }

    void exitClosesAndDeletesTheWindow()
    {
        QPointer<WordListWindow> w = new WordListWindow(Kind::Diagnosis, folder.store());
        w->show();
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QTRY_VERIFY(w.isNull());
    }
};

QTEST_MAIN(TestWordList)
#include "test_word_list.moc"
