#include "common/MessageBox.h"
#include "settings/CurrentSettings.h"
#include "settings/SettingsWindow.h"
#include "store/Records.h"
#include "store/Templates.h"
#include "support/ProgramFolder.h"

#include <QApplication>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTest>

using namespace store;

namespace {

// A window a test loaded itself; ended with the test unless it unloaded itself.
struct Loaded {
    explicit Loaded(Store& store) : window(new SettingsWindow(store)) {}
    ~Loaded() { delete window.data(); }
    SettingsWindow* operator->() const { return window; }
    QPointer<SettingsWindow> window;
};

QLineEdit* box(QWidget* window, int n)
{
    return window->findChild<QLineEdit*>(QStringLiteral("Text%1").arg(n));
}

QStringList shown(QWidget* window)
{
    QStringList texts;
    for (int n = 1; n <= 8; ++n)
        texts << box(window, n)->text();
    return texts;
}

// What the store holds, in box order Text1..Text8; "<null>" for a missing value.
QStringList stored(Store& store)
{
    const auto t = [](const std::optional<QString>& v) { return v.value_or(QStringLiteral("<null>")); };
    const SettingsRow row = readSettings(store).value_or(SettingsRow{});
    return {t(row.clinicName), t(row.doctor), t(row.dispenser), t(row.leftOffset),
            t(row.topOffset),  t(row.cardLeft), t(row.cardTop), t(readPassword(store))};
}

const QStringList initialTexts{"", "", "", "120", "200", "120", "200", ""};

// Latin letters are typed key by key; Chinese characters arrive as an input method commits them.
void retype(QLineEdit* box, const QString& text)
{
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    for (const QChar c : text) {
        if (c.unicode() < 0x80) {
            QTest::keyClick(box, c.toLatin1());
        } else {
            QInputMethodEvent commit;
            commit.setCommitString(c);
            QApplication::sendEvent(box, &commit);
        }
    }
}

void typeAll(QWidget* window, const QStringList& texts)
{
    for (int n = 1; n <= 8; ++n)
        retype(box(window, n), texts[n - 1]);
}

void setRaw(Connection* db, const QString& sql) { QVERIFY2(db->execute(sql), qPrintable(db->lastError())); }

qint64 rows(Connection* db, const Table& table) { return Store::count(db, statements::everyRow(table)); }

void press(Qt::Key key)
{
    QWidget* focus = QApplication::focusWidget();
    QVERIFY(focus);
    QTest::keyClick(focus, key);
}

const QStringList newValues{"新华诊所", "李医生", "王药师", "11", "12", "13", "14", "pw2"};

} // namespace

class TestSettingsWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { MessageBox::setTestMode(true); }
    void init() { MessageBox::clearShownMessages(); }

    void captionsAndInitialTexts_data();
    void captionsAndInitialTexts();
    void looksAndSitsAsLaidOut();
    void freshTemplateShowsTheStoredRow();
    void missingValueKeepsTheBoxText_data();
    void missingValueKeepsTheBoxText();
    void confirmStoresEveryBoxAsTypedAndUnloads();
    void closeBoxStoresNothing();
    void enterRightAfterOpeningConfirmsUnchanged();
    void focusOrder();
    void refusedValueIsLeftOutAlone_data();
    void refusedValueIsLeftOutAlone();
    void severalRefusalsInOneMessage();
    void emptiedPasswordIsStoredEmpty();
    void emptyTableKeepsInitialTextsAndTheOtherIsWritten_data();
    void emptyTableKeepsInitialTextsAndTheOtherIsWritten();
    void missingFilesLeaveInitialTexts();
    void readOnlyFileKeepsTheWindowAndTheOtherIsWritten_data();
    void readOnlyFileKeepsTheWindowAndTheOtherIsWritten();

    void hiddenLoadReadsTheStoreOnce();
    void typedButUnconfirmedTextIsCurrent();
    void confirmUnloadsAndTheNextRequestReloads();
    void closeBoxDropsTheTypedText();
};

void TestSettingsWindow::captionsAndInitialTexts_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("frame");
    const char* captions[] = {"名称：", "医生：", "配药：", "处方左边距：", "处方上边距：",
                              "注射卡左边距：", "注射卡上边距：", "密码："};
    for (int n = 1; n <= 8; ++n)
        QTest::addRow("Text%d", n) << n << QString::fromUtf8(captions[n - 1])
                                   << (n <= 3 || n == 8 ? "Frame1" : "Frame2");
}

void TestSettingsWindow::captionsAndInitialTexts()
{
    QFETCH(int, n);
    QFETCH(QString, caption);
    QFETCH(QString, frame);
    ProgramFolder folder(false); // nothing to load: the initial texts stay
    Loaded window(folder.store());
    window->show();
    QLineEdit* text = box(window.window, n);
    QVERIFY(text);
    QCOMPARE(text->text(), initialTexts[n - 1]);
    QCOMPARE(text->parentWidget()->objectName(), frame);

    QLabel* label = nullptr;
    for (QLabel* candidate : window->findChildren<QLabel*>())
        if (candidate->buddy() == text)
            label = candidate;
    QVERIFY(label);
    QCOMPARE(label->text(), caption);
    // Beside the box, on its left.
    QVERIFY(label->geometry().right() < text->geometry().left());
    QVERIFY(qAbs(label->geometry().center().y() - text->geometry().center().y()) <= 2);
}

void TestSettingsWindow::looksAndSitsAsLaidOut()
{
    ProgramFolder folder;
    Loaded window(folder.store());
    window->show();
    QCOMPARE(window->objectName(), QStringLiteral("Form5"));
    QCOMPARE(window->windowTitle(), QStringLiteral("基本设置"));
    QCOMPARE(window->Frame1->title(), QStringLiteral("基本设置"));
    QCOMPARE(window->Frame2->title(), QStringLiteral("打印设置(单位：毫米)"));
    QCOMPARE(window->Command1->text(), QStringLiteral("确 定"));
    QCOMPARE(window->Text8->echoMode(), QLineEdit::Normal);
    retype(window->Text8, QStringLiteral("abcdefghijklmnopqrst"));
    QCOMPARE(window->Text8->text(), QStringLiteral("abcdefghijklmno"));

    const auto at = [&](QWidget* w) { return QRect(w->mapTo(window.window, QPoint(0, 0)), w->size()); };
    const auto sideBySide = [&](QWidget* left, QWidget* right) {
        return at(left).top() == at(right).top() && at(left).right() < at(right).left();
    };
    const auto below = [&](QWidget* upper, QWidget* lower) { return at(upper).bottom() < at(lower).top(); };
    QVERIFY(sideBySide(window->Text1, window->Text8));
    QVERIFY(sideBySide(window->Text2, window->Text3));
    QVERIFY(below(window->Text1, window->Text2));
    QVERIFY(sideBySide(window->Text4, window->Text5));
    QVERIFY(sideBySide(window->Text6, window->Text7));
    QVERIFY(below(window->Text4, window->Text6));
    QVERIFY(below(window->Frame1, window->Frame2));
    QVERIFY(below(window->Frame2, window->Command1));
    QVERIFY(at(window->Command1).left() > window->width() / 2);

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QVERIFY(qAbs(window->geometry().center().x() - screen.center().x()) <= 1);
    QVERIFY(qAbs(window->geometry().center().y() - screen.center().y()) <= 1);
}

void TestSettingsWindow::freshTemplateShowsTheStoredRow()
{
    ProgramFolder folder;
    Loaded window(folder.store());
    const QStringList texts = shown(window.window);
    QCOMPARE(texts.mid(3, 4), QStringList({"0", "0", "0", "0"}));
    QCOMPARE(texts.last(), factoryPassword());
    QCOMPARE(texts, stored(folder.store()));
    QVERIFY(!texts.first().isEmpty());
}

void TestSettingsWindow::missingValueKeepsTheBoxText_data()
{
    QTest::addColumn<QString>("sql");
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("text");
    QTest::newRow("prescription left") << "UPDATE 设置 SET 左边距 = NULL" << 4 << "120";
    QTest::newRow("prescription top") << "UPDATE 设置 SET 上边距 = NULL" << 5 << "200";
    QTest::newRow("card left") << "UPDATE 设置 SET 左边距1 = NULL" << 6 << "120";
    QTest::newRow("card top") << "UPDATE 设置 SET 上边距1 = NULL" << 7 << "200";
    QTest::newRow("doctor") << "UPDATE 设置 SET 医生 = NULL" << 2 << "";
    QTest::newRow("password") << "UPDATE 密码 SET 密码 = NULL" << 8 << "";
}

void TestSettingsWindow::missingValueKeepsTheBoxText()
{
    QFETCH(QString, sql);
    QFETCH(int, n);
    QFETCH(QString, text);
    ProgramFolder folder;
    setRaw(n == 8 ? folder.store().records() : folder.store().settings(), sql);
    QStringList expected = stored(folder.store());
    QCOMPARE(expected[n - 1], QStringLiteral("<null>"));

    Loaded window(folder.store());
    window->show();
    expected[n - 1] = text;
    QCOMPARE(shown(window.window), expected); // only the missing one keeps its box's text
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    QTRY_VERIFY(window.window.isNull());
    QCOMPARE(stored(folder.store()), expected);
    QVERIFY(MessageBox::shownMessages().isEmpty());
}

void TestSettingsWindow::confirmStoresEveryBoxAsTypedAndUnloads()
{
    ProgramFolder folder;
    Loaded window(folder.store());
    window->show();
    // Neither quotes nor wildcards are special, and offsets are stored as typed, unconverted.
    const QStringList typed{"王氏'诊所%_", "李医生", "王药师", " 10", "-3", "007", "+5 ", "  Pass Word "};
    typeAll(window.window, typed);
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    QTRY_VERIFY(window.window.isNull());
    QCOMPARE(stored(folder.store()), typed);
    QCOMPARE(rows(folder.store().settings(), SettingsTable), 1);
    QCOMPARE(rows(folder.store().records(), PasswordTable), 1);
    QVERIFY(MessageBox::shownMessages().isEmpty());
}

void TestSettingsWindow::closeBoxStoresNothing()
{
    ProgramFolder folder;
    const QStringList before = stored(folder.store());
    Loaded window(folder.store());
    window->show();
    typeAll(window.window, newValues);
    QVERIFY(window->close());
    QTRY_VERIFY(window.window.isNull());
    QCOMPARE(stored(folder.store()), before);
}

void TestSettingsWindow::enterRightAfterOpeningConfirmsUnchanged()
{
    ProgramFolder folder;
    // A missing offset shows as its initial text; only a real confirm stores that text.
    setRaw(folder.store().settings(), QStringLiteral("UPDATE 设置 SET 上边距 = NULL"));
    QStringList expected = stored(folder.store());
    expected[4] = QStringLiteral("200");

    CurrentSettings settings(folder.store());
    SettingsWindow* window = settings.show();
    QVERIFY(QTest::qWaitForWindowActive(window));
    QCOMPARE(QApplication::focusWidget(), window->Command1);
    QTest::keyClick(window->windowHandle(), Qt::Key_Return);
    QVERIFY(!settings.window());
    QCOMPARE(stored(folder.store()), expected);
}

void TestSettingsWindow::focusOrder()
{
    ProgramFolder folder;
    Loaded window(folder.store());
    window->show();
    QVERIFY(QTest::qWaitForWindowActive(window.window));
    QStringList order{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 9; ++i) {
        press(Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    QCOMPARE(order, QStringList({"Command1", "Text1", "Text2", "Text3", "Text4", "Text5", "Text6", "Text7",
                                 "Text8", "Command1"}));
}

void TestSettingsWindow::refusedValueIsLeftOutAlone_data()
{
    QTest::addColumn<int>("n");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");
    QTest::newRow("doctor of 11") << 2 << "abcdefghijk" << "医生：超过 10 个字符，未保存。";
    QTest::newRow("dispenser of 11") << 3 << QString(11, QChar(0x5F20)) << "配药：超过 10 个字符，未保存。";
    QTest::newRow("clinic name of 51") << 1 << QString(51, QLatin1Char('x')) << "名称：超过 50 个字符，未保存。";
    QTest::newRow("prescription left of 51") << 4 << QString(51, QLatin1Char('1'))
                                             << "处方左边距：超过 50 个字符，未保存。";
    QTest::newRow("emptied prescription top") << 5 << "" << "处方上边距：不能为空，未保存。";
    QTest::newRow("emptied card left") << 6 << "" << "注射卡左边距：不能为空，未保存。";
    QTest::newRow("emptied card top") << 7 << "" << "注射卡上边距：不能为空，未保存。";
    // The print moves the paper by whole millimetres only: anything else is not stored.
    QTest::newRow("letters as an offset") << 4 << "abc" << "处方左边距：须为整数（毫米），未保存。";
    QTest::newRow("a unit after the offset") << 5 << "10mm" << "处方上边距：须为整数（毫米），未保存。";
    QTest::newRow("a fraction of a millimetre") << 6 << "10.5" << "注射卡左边距：须为整数（毫米），未保存。";
    QTest::newRow("more than a sheet of paper") << 7 << "12345" << "注射卡上边距：须为整数（毫米），未保存。";
}

void TestSettingsWindow::refusedValueIsLeftOutAlone()
{
    QFETCH(int, n);
    QFETCH(QString, text);
    QFETCH(QString, message);
    ProgramFolder folder;
    QStringList expected = newValues;
    expected[n - 1] = stored(folder.store())[n - 1];

    Loaded window(folder.store());
    window->show();
    typeAll(window.window, newValues);
    retype(box(window.window, n), text);
    QTest::mouseClick(window->Command1, Qt::LeftButton);

    QCOMPARE(MessageBox::shownMessages(), QStringList({"基本设置", message}));
    QCOMPARE(stored(folder.store()), expected);
    // Still open, with the typed text and the focus in the refused box.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(window.window && window->isVisible());
    QCOMPARE(box(window.window, n)->text(), text);
    QCOMPARE(window->focusWidget(), box(window.window, n));

    // Mended, the next confirm stores everything and unloads.
    MessageBox::clearShownMessages();
    retype(box(window.window, n), newValues[n - 1]);
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    QTRY_VERIFY(window.window.isNull());
    QCOMPARE(stored(folder.store()), newValues);
    QVERIFY(MessageBox::shownMessages().isEmpty());
}

void TestSettingsWindow::severalRefusalsInOneMessage()
{
    ProgramFolder folder;
    QStringList expected = newValues;
    expected[1] = stored(folder.store())[1];
    expected[4] = expected[6] = QStringLiteral("0");

    Loaded window(folder.store());
    window->show();
    typeAll(window.window, newValues);
    retype(window->Text7, QString());
    retype(window->Text2, QStringLiteral("一二三四五六七八九十百"));
    retype(window->Text5, QString());
    QTest::mouseClick(window->Command1, Qt::LeftButton);

    QCOMPARE(MessageBox::shownMessages(),
             QStringList({"基本设置", "医生：超过 10 个字符，未保存。\n处方上边距：不能为空，未保存。\n"
                                      "注射卡上边距：不能为空，未保存。"}));
    QCOMPARE(stored(folder.store()), expected);
    QCOMPARE(window->focusWidget(), window->Text2);
}

void TestSettingsWindow::emptiedPasswordIsStoredEmpty()
{
    ProgramFolder folder;
    Loaded window(folder.store());
    window->show();
    retype(window->Text8, QString());
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    QTRY_VERIFY(window.window.isNull());
    const auto password = readPassword(folder.store());
    QVERIFY(password.has_value()); // empty text, not a missing value
    QCOMPARE(*password, QString());
    QVERIFY(MessageBox::shownMessages().isEmpty());
}

void TestSettingsWindow::emptyTableKeepsInitialTextsAndTheOtherIsWritten_data()
{
    QTest::addColumn<bool>("settingsEmpty");
    QTest::newRow("设置 empty") << true;
    QTest::newRow("密码 empty") << false;
}

void TestSettingsWindow::emptyTableKeepsInitialTextsAndTheOtherIsWritten()
{
    QFETCH(bool, settingsEmpty);
    ProgramFolder folder;
    Connection* emptied = settingsEmpty ? folder.store().settings() : folder.store().records();
    const Table& table = settingsEmpty ? SettingsTable : PasswordTable;
    setRaw(emptied, QStringLiteral("DELETE FROM ") + quoteIdentifier(tableName(table)));
    QStringList texts = stored(folder.store());
    if (settingsEmpty)
        std::copy(initialTexts.begin(), initialTexts.begin() + 7, texts.begin());
    else
        texts[7] = QString();

    Loaded window(folder.store());
    window->show();
    QCOMPARE(shown(window.window), texts);
    typeAll(window.window, newValues);
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    QTRY_VERIFY(window.window.isNull());
    QVERIFY(MessageBox::shownMessages().isEmpty());
    QCOMPARE(rows(emptied, table), 0);
    const QStringList after = stored(folder.store());
    if (settingsEmpty)
        QCOMPARE(after.last(), newValues.last());
    else
        QCOMPARE(after.mid(0, 7), newValues.mid(0, 7));
}

void TestSettingsWindow::missingFilesLeaveInitialTexts()
{
    ProgramFolder folder(false);
    CurrentSettings settings(folder.store());
    QCOMPARE(settings.doctor(), QString());
    SettingsWindow* window = settings.show();
    QCOMPARE(shown(window), initialTexts);
    typeAll(window, newValues);
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    // Nothing could be stored, so the user is told and the typed texts stay.
    QCOMPARE(settings.window(), window);
    QCOMPARE(MessageBox::shownMessages().value(1), QStringLiteral("无法写入数据库，设置和登录密码未保存。"));
    QCOMPARE(shown(window), newValues);
    QVERIFY(!QFile::exists(folder.store().settingsPath()));
}

void TestSettingsWindow::readOnlyFileKeepsTheWindowAndTheOtherIsWritten_data()
{
    QTest::addColumn<bool>("settingsReadOnly");
    QTest::addColumn<bool>("recordsReadOnly");
    QTest::addColumn<QString>("message");
    QTest::newRow("设置.dat") << true << false << "无法写入数据库，设置未保存。";
    QTest::newRow("档案.dat") << false << true << "无法写入数据库，登录密码未保存。";
    QTest::newRow("both") << true << true << "无法写入数据库，设置和登录密码未保存。";
}

void TestSettingsWindow::readOnlyFileKeepsTheWindowAndTheOtherIsWritten()
{
    QFETCH(bool, settingsReadOnly);
    QFETCH(bool, recordsReadOnly);
    QFETCH(QString, message);
    ProgramFolder folder;
    const QStringList before = stored(folder.store());
    if (settingsReadOnly)
        folder.makeReadOnly(folder.store().settingsPath());
    if (recordsReadOnly)
        folder.makeReadOnly(folder.store().recordsPath());

    Loaded window(folder.store());
    window->show();
    typeAll(window.window, newValues);
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    QCOMPARE(MessageBox::shownMessages(), QStringList({QStringLiteral("基本设置"), message}));
    QVERIFY(!window.window.isNull() && window->isVisible());
    QCOMPARE(shown(window.window), newValues);
    QStringList expected = settingsReadOnly ? before.mid(0, 7) : newValues.mid(0, 7);
    expected << (recordsReadOnly ? before[7] : newValues[7]);
    QCOMPARE(stored(folder.store()), expected);
}

void TestSettingsWindow::hiddenLoadReadsTheStoreOnce()
{
    ProgramFolder folder;
    setRaw(folder.store().settings(), QStringLiteral("UPDATE 设置 SET 医生 = '赵医生', 配药 = '钱药师', 名称 = '赵氏诊所'"));
    CurrentSettings settings(folder.store());
    QVERIFY(!settings.window());
    QCOMPARE(settings.doctor(), QStringLiteral("赵医生"));
    SettingsWindow* window = settings.window();
    QVERIFY(window);
    QVERIFY(!window->isVisible());
    QCOMPARE(settings.dispenser(), QStringLiteral("钱药师"));
    QCOMPARE(settings.clinicName(), QStringLiteral("赵氏诊所"));

    // Loaded once: a later change in the store is not seen, neither by readers nor by showing.
    setRaw(folder.store().settings(), QStringLiteral("UPDATE 设置 SET 医生 = '孙医生'"));
    QCOMPARE(settings.doctor(), QStringLiteral("赵医生"));
    QCOMPARE(settings.show(), window);
    QVERIFY(window->isVisible());
    QCOMPARE(window->Text2->text(), QStringLiteral("赵医生"));
}

void TestSettingsWindow::typedButUnconfirmedTextIsCurrent()
{
    ProgramFolder folder;
    const QStringList before = stored(folder.store());
    CurrentSettings settings(folder.store());
    SettingsWindow* window = settings.show();
    retype(window->Text2, QStringLiteral("周医生"));
    retype(window->Text1, QStringLiteral("周氏诊所"));
    QCOMPARE(settings.doctor(), QStringLiteral("周医生"));
    QCOMPARE(settings.clinicName(), QStringLiteral("周氏诊所"));
    QCOMPARE(stored(folder.store()), before);
}

void TestSettingsWindow::confirmUnloadsAndTheNextRequestReloads()
{
    ProgramFolder folder;
    CurrentSettings settings(folder.store());
    QPointer<SettingsWindow> window = settings.show();
    retype(window->Text2, QStringLiteral("吴医生"));
    QTest::mouseClick(window->Command1, Qt::LeftButton);
    QVERIFY(!settings.window()); // at once, before the window is actually deleted
    QCOMPARE(readSettings(folder.store())->doctor, QStringLiteral("吴医生"));

    setRaw(folder.store().settings(), QStringLiteral("UPDATE 设置 SET 医生 = '郑医生'"));
    QCOMPARE(settings.doctor(), QStringLiteral("郑医生"));
    QVERIFY(settings.window() && settings.window() != window && !settings.window()->isVisible());
    QTRY_VERIFY(window.isNull());
}

void TestSettingsWindow::closeBoxDropsTheTypedText()
{
    ProgramFolder folder;
    const QString doctor = readSettings(folder.store())->doctor.value();
    CurrentSettings settings(folder.store());
    SettingsWindow* window = settings.show();
    retype(window->Text2, QStringLiteral("冯医生"));
    QVERIFY(window->close());
    QVERIFY(!settings.window());
    QCOMPARE(settings.doctor(), doctor);
}

QTEST_MAIN(TestSettingsWindow)
#include "test_settings_window.moc"
