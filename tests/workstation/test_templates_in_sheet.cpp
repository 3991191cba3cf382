// A prescription kept with 存为协定方 is found by its initials in the drug box of the next one
// and picked into it by each hand: the keyboard, the on-screen keypad, a click.

#include "common/MessageBox.h"
#include "store/PrescriptionTemplates.h"
#include "support/ProgramFolder.h"
#include "support/TestServer.h"
#include "support/Workstation.h"
#include "workstation/MainWindow.h"

#include <QApplication>
#include <QTest>

using namespace store;

namespace {

void click(QWidget* widget) { QTest::mouseClick(widget, Qt::LeftButton, {}, widget->rect().center()); }

// Initials into the drug box and a pick of row 0, by one hand.
void pick(const Controls& ui, const QString& hand, const QString& initials)
{
    ui.Text1->setFocus();
    if (hand == "keypad") {
        for (const QChar c : initials)
            click(ui.keypad->Label11[size_t(c.isDigit() ? (c.digitValue() + 9) % 10 : 10 + c.unicode() - 'a')]);
        QCOMPARE(ui.Text1->text(), initials);
        click(ui.keypad->Label14); // into the list
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ui.List1));
        click(ui.keypad->Label14); // the row
    } else if (hand == "keys") {
        QTest::keyClicks(ui.Text1, initials);
        QTest::keyClick(ui.Text1, Qt::Key_Down);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    } else {
        QTest::keyClicks(ui.Text1, initials);
        QTest::mouseClick(ui.List1->viewport(), Qt::LeftButton, {}, ui.List1->visualRect(ui.List1->model()->index(0, 0)).center());
    }
    QTRY_VERIFY(ui.Text1->text().isEmpty());
}

} // namespace

class TestTemplatesInSheet : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MessageBox::setTestMode(true); }
    void aSavedPrescriptionIsPickedIntoTheNext_data();
    void aSavedPrescriptionIsPickedIntoTheNext();
};

void TestTemplatesInSheet::aSavedPrescriptionIsPickedIntoTheNext_data()
{
    QTest::addColumn<QString>("hand");
    QTest::addColumn<bool>("onServer");
    for (const bool server : {false, true})
        for (const char* hand : {"keys", "keypad", "click"})
            QTest::newRow(qPrintable(QStringLiteral("%1, %2").arg(hand, server ? "server" : "desk"))) << QString(hand) << server;
}

void TestTemplatesInSheet::aSavedPrescriptionIsPickedIntoTheNext()
{
    QFETCH(QString, hand);
    QFETCH(bool, onServer);

    ProgramFolder folder;
    std::unique_ptr<TestServer> server;
    if (onServer) {
        server = std::make_unique<TestServer>();
        REQUIRE_SERVER(*server);
        folder.store().useServer(server->conninfo());
        for (const auto& [key, name] : {std::pair{"amxlp", "阿莫西林片 0.25×24/0.5 bid"}, {"wssz", "维生素C针 2.0"}})
            QVERIFY(Store::insert(folder.store().dictionaries(), DrugTable, {QString(key), QString(name)}));
    }
    MainWindow w(folder.store());
    const Controls ui(w);
    w.show();
    QVERIFY(QTest::qWaitForWindowActive(&w));

    // The first visit, its drugs picked one by one, kept as a template under the diagnosis.
    w.newPrescription();
    ui.Text4[4]->setText(QStringLiteral("感冒"));
    pick(ui, hand, "amxlp");
    pick(ui, hand, "wssz");
    const QString drugs = ui.R1->text();
    QCOMPARE(drugs, QStringLiteral("阿莫西林片 0.25×24\r\n    用法：0.5 bid\r\n维生素C针 2.0\r\n"));
    MessageBox::clearShownMessages();
    MessageBox::setNextText(QStringLiteral("感冒方"));
    w.toolButton(QStringLiteral("存为协定方"))->trigger();
    QCOMPARE(MessageBox::shownMessages(), QStringList({"存为协定方", "协定处方名称：感冒"}));
    const std::optional<TemplateEntry> kept = templateNamed(folder.store().dictionaries(), QStringLiteral("感冒方"));
    QVERIFY(kept);
    QCOMPARE(kept->initials + kept->text, "gmf" + drugs);
    // The same name again is a question; 否 keeps the template as it is.
    MessageBox::setNextText(QStringLiteral("感冒方"));
    ui.R1->setText(QStringLiteral("别的\r\n"));
    w.action(QStringLiteral("存为协定方"))->trigger();
    QVERIFY(MessageBox::shownMessages().last().startsWith("已有名为“感冒方”的协定处方"));
    QCOMPARE(templateNamed(folder.store().dictionaries(), QStringLiteral("感冒方"))->text, drugs);

    // The next visit: its initials list it first, marked; a pick appends it as the drugs would.
    w.newPrescription();
    ui.R1->setText(QStringLiteral("青霉素钠盐 960万\r\n"));
    ui.R1->setFocus();
    ui.Text1->setFocus();
    QTest::keyClicks(ui.Text1, "gm");
    QCOMPARE(ui.List1->text(0), QStringLiteral("〔协定〕感冒方"));
    ui.Text1->clear();
    pick(ui, hand, "gmf");
    QCOMPARE(ui.R1->text(), QStringLiteral("青霉素钠盐 960万\r\n") + drugs);
    QCOMPARE(QApplication::focusWidget(), static_cast<QWidget*>(ui.Text1));
    // The empty box after the pick lists drugs only, as before templates.
    QVERIFY(!ui.List1->text(0).startsWith(QStringLiteral("〔协定〕")));
}

QTEST_MAIN(TestTemplatesInSheet)
#include "test_templates_in_sheet.moc"
