#include "DictionaryFixture.h"
#include "dictionaries/TemplateWindow.h"
#include "store/PrescriptionTemplates.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

using namespace store;

namespace {

QStringList storedTemplates(ProgramFolder& folder)
{
    QStringList out;
    for (const TemplateEntry& e : readTemplates(folder.store().settings(), statements::allTemplates()))
        out << e.name + '|' + e.initials + '|' + e.text;
    return out;
}

void retype(QLineEdit* box, const QString& text)
{
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Delete);
    type(box, text);
}

} // namespace

class TestTemplateWindow : public QObject
{
    Q_OBJECT

private slots:
    void editsAsTheCatalogueDoes_data();
    void editsAsTheCatalogueDoes();
};

void TestTemplateWindow::editsAsTheCatalogueDoes_data()
{
    QTest::addColumn<QString>("search"); // typed into the search box; the first row listed is picked
    QTest::addColumn<QStringList>("edits"); // box=text ("name", "key", "text"), "save", "delete", "answer=yes|no"
    QTest::addColumn<QStringList>("stored");
    QTest::addColumn<QString>("told"); // the message shown, empty for none

    const QString cold = "感冒方|gmf|板蓝根颗粒 10g×20\r\n", cough = "咳嗽方|ksf|川贝枇杷膏 1瓶\r\n    用法：15ml tid\r\n";
    QTest::newRow("search finds by initials") << "KS" << QStringList{} << QStringList{cold, cough} << "";
    QTest::newRow("rename: the key follows") << "gm" << QStringList{"name=风寒感冒方", "save"}
                                            << QStringList{"风寒感冒方|fhgmf|板蓝根颗粒 10g×20\r\n", cough} << "";
    QTest::newRow("own initials") << "gm" << QStringList{"key=gm1", "save"}
                                  << QStringList{"感冒方|gm1|板蓝根颗粒 10g×20\r\n", cough} << "";
    QTest::newRow("edited text, lines CR LF") << "ks" << QStringList{"text=止咳糖浆 100ml\n    用法：10ml tid\n\n", "save"}
                                              << QStringList{cold, "咳嗽方|ksf|止咳糖浆 100ml\r\n    用法：10ml tid\r\n"} << "";
    QTest::newRow("delete, yes") << "ks" << QStringList{"answer=yes", "delete"} << QStringList{cold}
                                 << "确实要删除协定处方“咳嗽方”吗？";
    QTest::newRow("delete, no") << "ks" << QStringList{"answer=no", "delete"} << QStringList{cold, cough}
                                << "确实要删除协定处方“咳嗽方”吗？";
    QTest::newRow("empty name") << "gm" << QStringList{"name=  ", "save"} << QStringList{cold, cough} << "协定名称不能为空。";
    QTest::newRow("name too long") << "gm" << QStringList{"name=" + QString(51, QChar(u'方')), "save"}
                                   << QStringList{cold, cough} << "协定名称超过 50 个字，未保存。";
    QTest::newRow("empty text") << "gm" << QStringList{"text=\n", "save"} << QStringList{cold, cough} << "处方内容不能为空。";
    QTest::newRow("another's name") << "gm" << QStringList{"name=咳嗽方", "key=gmf", "save"} << QStringList{cold, cough}
                                    << "已有名为“咳嗽方”的协定处方，未保存。";
}

void TestTemplateWindow::editsAsTheCatalogueDoes()
{
    QFETCH(QString, search);
    QFETCH(QStringList, edits);
    QFETCH(QStringList, stored);
    QFETCH(QString, told);

    ProgramFolder folder;
    Connection* db = folder.store().settings();
    QVERIFY(saveTemplate(db, {0, "感冒方", "gmf", "板蓝根颗粒 10g×20\r\n"}));
    QVERIFY(saveTemplate(db, {0, "咳嗽方", "ksf", "川贝枇杷膏 1瓶\r\n    用法：15ml tid\r\n"}));

    Shown<TemplateWindow> w(new TemplateWindow(folder.store()));
    QCOMPARE(texts(w->List1), QStringList({"感冒方", "咳嗽方"}));
    QCOMPARE(w->Text3->text(), QStringLiteral("感冒方")); // opens on the first
    QTest::keyClicks(w->Text1, search);
    QCOMPARE(w->List1->count(), 1);
    QTest::mouseClick(w->List1->viewport(), Qt::LeftButton, {}, w->List1->visualItemRect(w->List1->item(0)).center());
    for (const QString& edit : edits) {
        const QString value = edit.section('=', 1);
        if (edit.startsWith("name="))
            retype(w->Text3, value);
        else if (edit.startsWith("key="))
            retype(w->Text5, value);
        else if (edit.startsWith("text="))
            w->Text6->setPlainText(value);
        else if (edit.startsWith("answer="))
            MessageBox::setNextAnswer(value == "yes");
        else
            QTest::mouseClick(edit == "save" ? w->Command2 : w->Command3, Qt::LeftButton);
    }
    QCOMPARE(storedTemplates(folder), stored);
    const QStringList shown = MessageBox::shownMessages();
    QCOMPARE(shown.isEmpty() ? QString() : shown.last(), told);
}

QTEST_MAIN(TestTemplateWindow)
#include "test_template_window.moc"
