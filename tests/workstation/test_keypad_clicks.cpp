#include "common/Clock.h"
#include "common/MessageBox.h"
#include "support/ProgramFolder.h"
#include "support/Workstation.h"
#include "workstation/MainWindow.h"

#include <QApplication>
#include <QTest>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

// The keypad clicked as a doctor clicks it: through a real X server (an Xvfb of the test's own,
// on a display nobody else uses), with pointer and keys sent by the server's test extension. A
// click that Qt receives from the window system moves the focus the way it does on a desk; a
// click sent by QTest straight to a widget does not, and could never show a keypad key taking
// the focus from the box it types into.

namespace {

pid_t xServer = 0;

// Starts Xvfb on the first free display and points DISPLAY at it.
bool startXServer()
{
    int ready[2];
    if (pipe(ready) != 0)
        return false;
    xServer = fork();
    if (xServer == 0) {
        // The server goes with the test, however the test ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        close(ready[0]);
        const std::string fd = std::to_string(ready[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1366x768x24", "-nolisten", "tcp",
               static_cast<char*>(nullptr));
        _exit(127);
    }
    close(ready[1]);
    char number[32] = {};
    ssize_t got = 0;
    for (ssize_t n; got < ssize_t(sizeof number) - 1 && (n = read(ready[0], number + got, sizeof number - 1 - got)) > 0;) {
        got += n;
        if (number[got - 1] == '\n')
            break;
    }
    close(ready[0]);
    if (xServer < 0 || got <= 0) {
        std::fprintf(stderr, "test_keypad_clicks: Xvfb did not start (is it installed? scripts/deps.sh)\n");
        return false;
    }
    std::string display = ":" + std::string(number, size_t(got));
    display.erase(display.find_last_not_of("\n") + 1);
    setenv("DISPLAY", display.c_str(), 1);
    return true;
}

void stopXServer()
{
    if (xServer > 0) {
        kill(xServer, SIGTERM);
        waitpid(xServer, nullptr, 0);
    }
}

// The test's own connection to the X server, which clicks and presses as a mouse and keyboard do.
struct Desk {
    Display* display = XOpenDisplay(nullptr);
    ~Desk()
    {
        if (display)
            XCloseDisplay(display);
    }

    void settle() const
    {
        XSync(display, False);
        QTest::qWait(60);
    }

    void click(QWidget* widget, QPoint at = {}) const
    {
        const QPoint global = widget->mapToGlobal(at.isNull() ? widget->rect().center() : at);
        XTestFakeMotionEvent(display, -1, global.x(), global.y(), CurrentTime);
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        settle();
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        settle();
    }

    void press(KeySym symbol) const
    {
        const KeyCode code = XKeysymToKeycode(display, symbol);
        XTestFakeKeyEvent(display, code, True, CurrentTime);
        XTestFakeKeyEvent(display, code, False, CurrentTime);
        settle();
    }
};

} // namespace

class TestKeypadClicks : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        MessageBox::setTestMode(true);
        Clock::setSource([] { return QDateTime(QDate(2026, 12, 7), QTime(10, 0)); });
        QVERIFY2(Desk().display, "no connection to the test's X server");
    }

    void keypadTypesIntoTheBoxClickedLast_data()
    {
        QTest::addColumn<QString>("box");     // the box clicked into first
        QTest::addColumn<QString>("clicks");  // keypad keys; < is ←-, ! is Enter, v the keyboard's Down
        QTest::addColumn<QString>("text");    // the box's text after them
        QTest::addColumn<QString>("prescription");

        QTest::newRow("drug box: backspace") << "Text1" << "liux<" << "liu" << "";
        QTest::newRow("fee: backspace between digits") << "Text4_8" << "15<6" << "16" << "";
        QTest::newRow("name: keys after backspace") << "Text4_0" << "ab<<c" << "c" << "";
        QTest::newRow("drug list: Enter picks") << "Text1" << "aqv!" << "" << "阿奇霉素片 6#\r\n    用法：2# qd\r\n";
        QTest::newRow("prescription") << "R1" << "1<2" << "" << "2";
    }

    void keypadTypesIntoTheBoxClickedLast()
    {
        QFETCH(QString, box);
        QFETCH(QString, clicks);
        QFETCH(QString, text);
        QFETCH(QString, prescription);

        const Desk desk;
        ProgramFolder folder;
        MainWindow w(folder.store());
        const Controls ui(w);
        w.showOnScreen();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.activateWindow();
        QTRY_VERIFY(w.isActiveWindow());
        w.newPrescription();

        auto* target = w.findChild<QWidget*>(box);
        QVERIFY(target);
        desk.click(target);
        QTRY_COMPARE(QApplication::focusWidget(), target);
        for (const QChar key : clicks) {
            if (key == QLatin1Char('v')) {
                desk.press(XK_Down);
                continue;
            }
            QWidget* face = key == QLatin1Char('<') ? static_cast<QWidget*>(ui.keypad->Label20)
                          : key == QLatin1Char('!') ? static_cast<QWidget*>(ui.keypad->Label14)
                          : key.isDigit()           ? ui.keypad->Label11[size_t(key == QLatin1Char('0') ? 9 : key.digitValue() - 1)]
                                                    : ui.keypad->Label11[size_t(10 + key.unicode() - 'a')];
            desk.click(face);
        }
        if (auto* line = qobject_cast<QLineEdit*>(target))
            QTRY_COMPARE(line->text(), text);
        QTRY_COMPARE(ui.R1->text(), prescription);
    }
};

int main(int argc, char** argv)
{
    if (!startXServer())
        return 1;
    // The program's own windows on the test's server, with no input method in between.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    unsetenv("QT_IM_MODULE");
    int result = 1;
    {
        QApplication app(argc, argv);
        TestKeypadClicks test;
        result = QTest::qExec(&test, argc, argv);
    }
    stopXServer();
    return result;
}

#include "test_keypad_clicks.moc"
