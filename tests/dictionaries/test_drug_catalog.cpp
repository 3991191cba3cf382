#include "dictionaries/DrugCatalogWindow.h"
#include "DictionaryFixture.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

using store::DrugTable;

namespace {
const Rows twins = {{"阿莫西林 A", "amxl "}, {"青霉素针", "qmsz"}, {"阿莫西林 A", "amxl "}, {"VC片/1 tid", "vcp"}};
QWidget* focused() { return QApplication::focusWidget(); }
}

class TestDrugCatalog : public QObject
{
    Q_OBJECT
    ProgramFolder folder; // the encrypted files cost more than a test; each test seeds anew

private slots:
    void opensWithTheFirstRowPicked()
    {
        const auto ids = seed(folder, DrugTable, {{"阿莫西林片 0.25×24/0.5 tid", "amx"}, {"青霉素针 960万", "qmsz "}});
        Shown w(new DrugCatalogWindow(folder.store()));
        QCOMPARE(QStringList({w->objectName(), w->windowTitle()}), QStringList({"Form2", "药品维护"}));
        const QRect screen = w->screen()->geometry();
        QCOMPARE(w->geometry().topLeft(), screen.topLeft() + QPoint(screen.width() - w->width(), screen.height() - w->height()) / 2);
        QCOMPARE(texts(w->List1), QStringList({"阿莫西林片 0.25×24/0.5 tid", "青霉素针 960万"}));
        QCOMPARE(w->List1->currentRow(), 0);
        QCOMPARE(w->pickedRow, ids[0]);
        // The stored key, not the "amxlp " the name gives.
        QCOMPARE(QStringList({w->Text3->text(), w->Text4->text(), w->Text5->text()}),
                 QStringList({"阿莫西林片 0.25×24", "0.5 tid", "amx"}));
        QVERIFY(!w->addingNew);
        QTRY_COMPARE(focused(), w->Command1);
    }

    void emptyOrMissingCatalogue_data()
    {
        QTest::addColumn<bool>("withFile");
        QTest::newRow("empty table") << true;
        QTest::newRow("no database file") << false;
    }
    void emptyOrMissingCatalogue()
    {
        QFETCH(bool, withFile);
        ProgramFolder missing(false);
        seed(folder, DrugTable, {});
        Shown w(new DrugCatalogWindow((withFile ? folder : missing).store()));
        QVERIFY(w->List1->count() == 0 && w->Text3->text().isEmpty() && !w->pickedRow);
        click(w->List1, -1, Qt::RightButton);
        QVERIFY(!w->wantsMenu() && !w->pu->isVisible());

        // Nothing picked and not adding: a save stores nothing but goes on as usual.
        type(w->Text3, QStringLiteral("青霉素针"));
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QTRY_COMPARE(focused(), w->Command1);
        type(w->Text1, QStringLiteral("q'"));
        QTest::mouseClick(w->Command3, Qt::LeftButton);
        QCOMPARE(w->List1->count(), 0);
        QCOMPARE(stored(folder, DrugTable), QStringList());
        QCOMPARE(MessageBox::shownMessages(), QStringList());
    }

    void savedEntryReadsBack_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("usage");
        QTest::addColumn<QString>("computedKey");
        QTest::addColumn<QString>("storedRow");
        QTest::addColumn<QStringList>("readBack"); // name and usage box after a pick
        QTest::newRow("with usage") << "阿莫西林片 0.25×24" << "0.5 tid" << "amxlp "
                                    << "阿莫西林片 0.25×24/0.5 tid|amxlp " << QStringList({"阿莫西林片 0.25×24", "0.5 tid"});
        QTest::newRow("no usage, no slash") << "青霉素针 960万" << "" << "qmsz " << "青霉素针 960万|qmsz "
                                            << QStringList({"青霉素针 960万", ""});
        QTest::newRow("blank key becomes the name") << "VC" << "" << "  " << "VC|VC" << QStringList({"VC", ""});
        QTest::newRow("slash typed in the name") << "维C/片" << "" << "w  p" << "维C/片|w  p" << QStringList({"维C", "片"});
    }
    void savedEntryReadsBack()
    {
        QFETCH(QString, computedKey);
        QFETCH(QStringList, readBack);
        QFETCH(QString, name);
        QFETCH(QString, usage);
        QFETCH(QString, storedRow);
        seed(folder, DrugTable, {{"甲", "j"}});
        Shown w(new DrugCatalogWindow(folder.store()));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        type(w->Text3, name);
        QCOMPARE(w->Text5->text(), computedKey);
        type(w->Text4, usage);
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QCOMPARE(stored(folder, DrugTable), QStringList({"甲|j", storedRow}));

        click(w->List1, 0);
        QCOMPARE(w->Text3->text(), QStringLiteral("甲"));
        click(w->List1, 1);
        QCOMPARE(QStringList({w->Text3->text(), w->Text4->text()}), readBack);
        QCOMPARE(w->Text5->text(), storedRow.section(QLatin1Char('|'), 1));
    }

    void readOnlyFileSaysTheDrugWasNotStored_data()
    {
        QTest::addColumn<int>("action"); // 0: add, 1: change the picked row, 2: delete it
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("boxes"); // name and usage afterwards
        QTest::newRow("new drug") << 0 << "无法写入数据库，药品未保存。" << QStringList({"乙", "0.5 tid"});
        QTest::newRow("picked drug") << 1 << "无法写入数据库，药品未保存。" << QStringList({"甲乙", "0.5 tid"});
        QTest::newRow("delete") << 2 << "无法写入数据库，药品未删除。" << QStringList({"甲", ""});
    }
    void readOnlyFileSaysTheDrugWasNotStored()
    {
        QFETCH(int, action);
        QFETCH(QString, message);
        QFETCH(QStringList, boxes);
        ProgramFolder own;
        const auto ids = seed(own, DrugTable, {{"甲", "j"}});
        own.makeReadOnly(own.store().settingsPath());
        Shown w(new DrugCatalogWindow(own.store()));
        if (action == 0)
            QTest::mouseClick(w->Command1, Qt::LeftButton);
        else
            click(w->List1, 0);
        if (action == 2) {
            QTest::mouseClick(w->Command3, Qt::LeftButton);
        } else {
            type(w->Text3, QStringLiteral("乙"));
            type(w->Text4, QStringLiteral("0.5 tid"));
            QTest::mouseClick(w->Command2, Qt::LeftButton);
        }
        QCOMPARE(MessageBox::shownMessages(), QStringList({w->windowTitle(), message}));
        // What was typed, the mode and the pick stay, so the same change can be made again.
        QCOMPARE(QStringList({w->Text3->text(), w->Text4->text()}), boxes);
        QCOMPARE(w->addingNew, action == 0);
        QCOMPARE(w->pickedRow, action == 0 ? std::nullopt : std::optional<qint64>(ids[0]));
        QCOMPARE(texts(w->List1), QStringList({"甲"}));
        QCOMPARE(stored(own, DrugTable), QStringList({"甲|j"}));
    }

    void keyboardOnlyEntry()
    {
        seed(folder, DrugTable, {});
        Shown w(new DrugCatalogWindow(folder.store()));
        for (const QString& drug : {QStringLiteral("阿莫西林片 0.25×24"), QStringLiteral("头孢片")}) {
            QTRY_COMPARE(focused(), w->Command1);
            QTest::keyClick(focused(), Qt::Key_Return);
            QTRY_COMPARE(focused(), w->Text3);
            type(w->Text3, drug);
            QTest::keyClick(w->Text3, Qt::Key_Return);
            QTRY_COMPARE(focused(), w->Text4);
            type(w->Text4, QStringLiteral("0.5 tid"));
            QTest::keyClick(w->Text4, Qt::Key_Enter);
            QTRY_COMPARE(focused(), w->Command2);
            QTest::keyClick(w->Command2, Qt::Key_Return);
        }
        QTRY_COMPARE(focused(), w->Command1);
        QVERIFY(!w->addingNew);
        QCOMPARE(stored(folder, DrugTable), QStringList({"阿莫西林片 0.25×24/0.5 tid|amxlp ", "头孢片/0.5 tid|tbp"}));
    }

    void saveAfterSearchRewritesThePickedTwin()
    {
        const auto ids = seed(folder, DrugTable, twins);
        Shown w(new DrugCatalogWindow(folder.store()));
        type(w->Text1, QStringLiteral("am"));
        QCOMPARE(texts(w->List1), QStringList({"阿莫西林 A", "阿莫西林 A"}));
        click(w->List1, 1);
        QCOMPARE(w->pickedRow, ids[2]);
        type(w->Text4, QStringLiteral("2 bid"));
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QCOMPARE(texts(w->List1), QStringList({"阿莫西林 A", "阿莫西林 A/2 bid"}));
        QCOMPARE(w->Text4->text(), QStringLiteral("2 bid")); // the boxes keep their texts

        // Another search moves the row in the list; the next save still reaches it.
        w->Text1->clear();
        w->Text3->setText(QStringLiteral("阿莫西林 B"));
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QCOMPARE(stored(folder, DrugTable),
                 QStringList({"阿莫西林 A|amxl ", "青霉素针|qmsz", "阿莫西林 B/2 bid|amxl ", "VC片/1 tid|vcp"}));
    }

    void deleteAfterSearchRemovesThePickedTwin_data()
    {
        QTest::addColumn<bool>("fromMenu");
        QTest::newRow("删  除") << false;
        QTest::newRow("menu 删除") << true;
    }
    void deleteAfterSearchRemovesThePickedTwin()
    {
        QFETCH(bool, fromMenu);
        seed(folder, DrugTable, twins);
        Shown w(new DrugCatalogWindow(folder.store()));
        type(w->Text1, QStringLiteral("AM"));
        if (fromMenu) {
            click(w->List1, 1, Qt::RightButton); // selects the row under the mouse, which picks it
            QVERIFY(chooseDelete(w->pu));
        } else {
            click(w->List1, 1);
            QTest::mouseClick(w->Command3, Qt::LeftButton);
        }
        const QStringList left = {"阿莫西林 A|amxl ", "青霉素针|qmsz", "VC片/1 tid|vcp"};
        QCOMPARE(stored(folder, DrugTable), left);
        QCOMPARE(texts(w->List1), QStringList({"阿莫西林 A"}));
        QCOMPARE(w->Text1->text(), QStringLiteral("AM"));
        QVERIFY(w->Text3->text().isEmpty() && w->Text4->text().isEmpty() && w->Text5->text().isEmpty());

        // The picked row is gone: a second delete or a save finds nothing to act on.
        QTest::mouseClick(w->Command3, Qt::LeftButton);
        w->Text3->setText(QStringLiteral("X"));
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QCOMPARE(stored(folder, DrugTable), left);
    }

    void addThenSaveTwiceRewritesTheNewRow()
    {
        seed(folder, DrugTable, twins);
        Shown w(new DrugCatalogWindow(folder.store()));
        type(w->Text1, QStringLiteral("qm"));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QVERIFY(w->addingNew && w->Text1->text().isEmpty());
        QCOMPARE(w->List1->count(), 4);
        QTest::mouseClick(w->Command3, Qt::LeftButton); // must not reach the row picked before
        QCOMPARE(stored(folder, DrugTable).size(), 4);

        type(w->Text3, QStringLiteral("头孢片"));
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        type(w->Text4, QStringLiteral("1 qd"));
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QCOMPARE(stored(folder, DrugTable).mid(3), QStringList({"VC片/1 tid|vcp", "头孢片/1 qd|tbp"}));
    }

    // After 添  加, a pick means editing that row: 保存 rewrites it and 删除 removes it, and the
    // list never shows a row as picked while none is.
    void aPickAfterAddActsOnThePickedRow_data()
    {
        QTest::addColumn<bool>("remove");
        QTest::newRow("保存 rewrites it") << false;
        QTest::newRow("删除 from the menu removes it") << true;
    }
    void aPickAfterAddActsOnThePickedRow()
    {
        QFETCH(bool, remove);
        seed(folder, DrugTable, twins);
        Shown w(new DrugCatalogWindow(folder.store()));
        click(w->List1, 2);
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        QVERIFY(w->List1->selectedItems().isEmpty());
        QVERIFY(!w->pickedRow);

        if (remove) {
            click(w->List1, 2, Qt::RightButton); // the row that was highlighted before 添  加
            QVERIFY(chooseDelete(w->pu));
            QCOMPARE(stored(folder, DrugTable), QStringList({"阿莫西林 A|amxl ", "青霉素针|qmsz", "VC片/1 tid|vcp"}));
        } else {
            click(w->List1, 1);
            type(w->Text4, QStringLiteral("1支 qd"));
            QTest::mouseClick(w->Command2, Qt::LeftButton);
            QCOMPARE(stored(folder, DrugTable),
                     QStringList({"阿莫西林 A|amxl ", "青霉素针/1支 qd|qmsz", "阿莫西林 A|amxl ", "VC片/1 tid|vcp"}));
        }
    }

    void refusedInputIsNotStored_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("usage");
        QTest::addColumn<QString>("key"); // typed over the computed one when not empty
        QTest::addColumn<QString>("message");
        const QString a = QStringLiteral("a");
        QTest::newRow("empty name") << "" << "0.5 tid" << "x" << "药品名称不能为空。";
        QTest::newRow("blank name") << "  " << "" << "" << "药品名称不能为空。";
        QTest::newRow("201 characters") << "药" + a.repeated(150) << a.repeated(49) << "y"
                                        << "药品名称和用法用量合计超过 200 个字符，未保存。";
        QTest::newRow("200 characters") << "药" + a.repeated(149) << a.repeated(49) << "y" << "";
        QTest::newRow("key of 51 from the name") << QStringLiteral("药").repeated(51) << "" << ""
                                                 << "拼音代码超过 50 个字符，未保存。";
        QTest::newRow("key of 50") << "药" << "" << a.repeated(50) << "";
    }
    void refusedInputIsNotStored()
    {
        QFETCH(QString, name);
        QFETCH(QString, usage);
        QFETCH(QString, key);
        QFETCH(QString, message);
        seed(folder, DrugTable, {{"甲", "j"}});
        Shown w(new DrugCatalogWindow(folder.store()));
        QTest::mouseClick(w->Command1, Qt::LeftButton);
        w->Text3->setText(name);
        w->Text4->setText(usage);
        if (!key.isEmpty())
            w->Text5->setText(key);
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        if (message.isEmpty()) {
            QCOMPARE(stored(folder, DrugTable).size(), 2);
            QCOMPARE(MessageBox::shownMessages(), QStringList());
            return;
        }
        QCOMPARE(MessageBox::shownMessages(), QStringList({"药品维护", message}));
        QCOMPARE(texts(w->List1), QStringList({"甲"}));
        // Still adding: the corrected entry becomes a new row and leaves 甲 alone.
        w->Text3->setText(QStringLiteral("乙"));
        w->Text4->clear();
        QTest::mouseClick(w->Command2, Qt::LeftButton);
        QCOMPARE(stored(folder, DrugTable), QStringList({"甲|j", "乙|y"}));
    }

    void searchMatchesKeyPrefix_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("empty lists all") << "" << QStringList({"A", "B", "C", "D", "E"});
        QTest::newRow("lower case") << "am" << QStringList({"A", "B"});
        QTest::newRow("mixed case") << "aMx" << QStringList({"A"});
        QTest::newRow("quote is a character") << "'" << QStringList({"D"});
        QTest::newRow("quote inside") << "am'x" << QStringList();
        QTest::newRow("wildcards") << "_m%s" << QStringList({"C"});
        QTest::newRow("blank key") << " " << QStringList({"E"});
    }
    void searchMatchesKeyPrefix()
    {
        QFETCH(QStringList, listed);
        QFETCH(QString, typed);
        seed(folder, DrugTable, {{"A", "amxl "}, {"B", "amlzp"}, {"C", "qmsz"}, {"D", "'q"}, {"E", "  "}});
        Shown w(new DrugCatalogWindow(folder.store()));
        type(w->Text1, typed);
        QCOMPARE(texts(w->List1), listed);
        QCOMPARE(MessageBox::shownMessages(), QStringList());
    }

    void phraseGoesInAtTheCaret_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("caret");
        QTest::addColumn<int>("selected");
        QTest::addColumn<int>("label");
        QTest::addColumn<QString>("result");
        QTest::newRow("after 0.5 ") << "Text4" << "0.5 " << 4 << 0 << 13 << "0.5 tid";
        QTest::newRow("in the middle") << "Text4" << "0.5 tid" << 3 << 0 << 0 << "0.5mg tid";
        QTest::newRow("over a selection") << "Text4" << "0.5 bid" << 4 << 3 << 16 << "0.5 qd";
        QTest::newRow("name box") << "Text3" << "头孢片 0.25" << 8 << 0 << 17 << "头孢片 0.25×";
    }
    void phraseGoesInAtTheCaret()
    {
        QFETCH(QString, text);
        QFETCH(int, caret);
        QFETCH(int, selected);
        QFETCH(QString, box);
        QFETCH(int, label);
        QFETCH(QString, result);
        seed(folder, DrugTable, {});
        Shown w(new DrugCatalogWindow(folder.store()));
        auto* phrase = w->findChild<QLabel*>(QStringLiteral("Label5_%1").arg(label));
        QVERIFY(phrase && phrase->cursor().shape() == Qt::PointingHandCursor);
        QTest::mouseClick(phrase, Qt::LeftButton); // no box had the focus yet: nothing happens
        QVERIFY(w->Text3->text().isEmpty() && w->Text4->text().isEmpty());

        auto* target = w->findChild<QLineEdit*>(box);
        target->setText(text);
        QTest::mouseClick(target, Qt::LeftButton);
        target->setSelection(caret, selected);
        QTest::mouseClick(phrase, Qt::LeftButton);
        QCOMPARE(target->text(), result);
        QTRY_COMPARE(focused(), target);
    }

    void nestedSearchLeavesOnlyItsOwnRows_data()
    {
        QTest::addColumn<QString>("outer");
        QTest::addColumn<QString>("inner");
        QTest::addColumn<QStringList>("listed");
        QTest::newRow("other rows") << "a" << "b" << QStringList({"b1", "b2"});
        QTest::newRow("all rows, none twice") << "b" << "" << QStringList({"a1", "b1", "a2", "b2", "a3"});
    }
    void nestedSearchLeavesOnlyItsOwnRows()
    {
        QFETCH(QString, outer);
        QFETCH(QStringList, listed);
        QFETCH(QString, inner);
        seed(folder, DrugTable, {{"a1", "a1"}, {"b1", "b1"}, {"a2", "a2"}, {"b2", "b2"}, {"a3", "a3"}});
        const auto restore = yieldAfterEveryRow();
        Shown w(new DrugCatalogWindow(folder.store()));
        bool nested = false; // the keystroke arrives while the outer search yields after its first row
        QTimer::singleShot(0, w.w, [&] {
            nested = w->List1->count() == 1;
            w->Text1->setText(inner);
        });
        w->Text1->setText(outer);
        QVERIFY(nested);
        QCOMPARE(texts(w->List1), listed);
    }
};

QTEST_MAIN(TestDrugCatalog)
#include "test_drug_catalog.moc"
