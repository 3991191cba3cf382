// qarvel_startup --program <program folder>/qarvel --window <title> [--runs R] [--password TEXT]
//                [--login TEXT] [--search [--scroll] [--name-box "X Y"] [--date-box "X Y"] [--tree "X Y W H"]]
//
// Times start-up as the doctor meets it, from outside the program: starts the real executable
// on the X display in $DISPLAY (a headless Xvfb in scripts/bench.sh), the way a desktop starts
// it, and waits for the X server to map the window with the given title and for that window to
// be painted (its pixels no longer all one colour). Prints one JSON line: per run, the wall
// time from starting the process to the window mapped and painted, and the CPU time the
// process had used by then. The first run starts after the data files were put out of the
// system's file cache (cold); the others find them there (warm). The program is ended after
// each run.
//
// --search then searches every record as the doctor does, with a click into the name box and
// keys sent through the X server's test extension (as a keyboard would), and times from Return
// to the tree showing other rows, with the process's memory then.
//
// --scroll then goes to the last record: a click into the tree and End pressed, again whenever
// the tree has moved, until End moves it no more. Timed from the first End to the last move;
// the process's peak memory is read then. The last rows shown are checked against those of the
// last month searched by date (a click into the date box, the month typed, End in the tree):
// the bottom of the tree must look the same, row for row.
//
// Where the controls stand in the main window, from its top left: --name-box and --date-box
// (160 68 and 160 96 by default), --tree, the rows' part of the record tree (10 146 240 482),
// as the search panel lays them out on a 1600x1200 screen.
//
// --login TEXT, with the login dialog's title as the window, then types TEXT and Return into the
// dialog a second after it is shown (no one types a password sooner) and times from Return to
// the main window mapped and painted.
//
// --password sets the login password stored in the program's records file for the runs and
// puts the old one back after them: empty, the program goes straight to its main window.

#include "store/Records.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPoint>
#include <QRect>
#include <QString>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

double nowMs()
{
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

// User and system CPU time of a process so far, from /proc/<pid>/stat.
double cpuMs(pid_t pid)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", int(pid));
    FILE* f = std::fopen(path, "r");
    if (!f)
        return -1;
    char buffer[1024] = {};
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
    std::fclose(f);
    buffer[n] = 0;
    const char* fields = std::strrchr(buffer, ')'); // the command name may hold blanks
    unsigned long utime = 0, stime = 0;
    if (!fields || std::sscanf(fields + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu", &utime, &stime) != 2)
        return -1;
    return double(utime + stime) * 1000.0 / double(sysconf(_SC_CLK_TCK));
}

void evict(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd < 0)
        return;
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    ::close(fd);
}

std::string windowTitle(Display* display, Window window)
{
    const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    const Atom netName = XInternAtom(display, "_NET_WM_NAME", False);
    Atom type = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    std::string title;
    if (XGetWindowProperty(display, window, netName, 0, 1024, False, utf8, &type, &format, &count, &after, &data)
            == Success
        && data) {
        title.assign(reinterpret_cast<char*>(data), count);
    }
    if (data)
        XFree(data);
    return title;
}

// Whether the window shows more than one colour: it has been painted.
bool painted(Display* display, Window window)
{
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable)
        return false;
    XImage* image = XGetImage(display, window, 0, 0, unsigned(attributes.width), unsigned(attributes.height), AllPlanes,
                              ZPixmap);
    if (!image)
        return false;
    const unsigned long first = XGetPixel(image, 0, 0);
    bool varied = false;
    for (int y = 0; y < attributes.height && !varied; y += 2)
        for (int x = 0; x < attributes.width && !varied; x += 2)
            varied = XGetPixel(image, x, y) != first;
    XDestroyImage(image);
    return varied;
}

struct Run {
    double mappedMs = -1;
    double shownMs = -1;
    double cpuMs = -1;
    double searchMs = -1; // Return in the name box until the window answers again
    double searchRssMb = -1;
    double lastRowMs = -1; // the first End in the tree until the last record is shown
    int endPresses = 0;    // End pressed until the tree moved no more
    double peakRssMb = -1;
    int lastRowChecked = -1; // the last rows are the last month's: 1, they are not: 0
    double loggedInMs = -1;  // Return in the login dialog until the main window is shown
};

// Resident memory of a process (VmRSS), or its peak (VmHWM), from /proc/<pid>/status.
double rssMb(pid_t pid, const char* field = "VmRSS:")
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(int(std::strlen(field))).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}

// Where the driver looks and clicks, in the window's own pixels.
struct Layout {
    QPoint nameBox{160, 68};
    QPoint dateBox{160, 96};
    QRect tree{10, 146, 240, 482};
};

// The pixels of a part of the window.
QByteArray pixels(Display* display, Window window, const QRect& part)
{
    XImage* image = XGetImage(display, window, part.x(), part.y(), unsigned(part.width()), unsigned(part.height()),
                              AllPlanes, ZPixmap);
    if (!image)
        return {};
    QByteArray bytes(image->data, image->bytes_per_line * image->height);
    XDestroyImage(image);
    return bytes;
}

// Waits until the part differs from `before`; the time since start then, or -1.
double changed(Display* display, Window window, const QRect& part, const QByteArray& before, double start,
               double timeoutMs)
{
    while (nowMs() - start < timeoutMs) {
        if (pixels(display, window, part) != before)
            return nowMs() - start;
        usleep(2000);
    }
    return -1;
}

// The part once it has stayed the same for a fifth of a second: the window is done painting.
QByteArray settled(Display* display, Window window, const QRect& part)
{
    QByteArray last = pixels(display, window, part);
    const double start = nowMs();
    double since = start;
    while (nowMs() - start < 10000 && nowMs() - since < 200) {
        usleep(10000);
        QByteArray now = pixels(display, window, part);
        if (now != last) {
            last = std::move(now);
            since = nowMs();
        }
    }
    return last;
}

// A key pressed and let go, through the X server's test extension, as a keyboard sends it.
void press(Display* display, KeySym symbol)
{
    const KeyCode code = XKeysymToKeycode(display, symbol);
    XTestFakeKeyEvent(display, code, True, CurrentTime);
    XTestFakeKeyEvent(display, code, False, CurrentTime);
    XFlush(display);
}

void type(Display* display, const QByteArray& text)
{
    for (const char c : text)
        press(display, c == '-' ? XK_minus : c >= '0' && c <= '9' ? XK_0 + (c - '0') : XK_a + (c - 'a'));
}

void click(Display* display, Window window, QPoint at)
{
    int x = 0, y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), at.x(), at.y(), &x, &y, &child);
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    XTestFakeButtonEvent(display, 1, True, CurrentTime);
    XTestFakeButtonEvent(display, 1, False, CurrentTime);
    XFlush(display);
}

// The lower part of the window, where the record tree is and no text cursor blinks.
QRect lowerPart(Display* display, Window window)
{
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes))
        return {};
    const int top = attributes.height * 3 / 5;
    return QRect(0, top, attributes.width, attributes.height - top);
}

// The doctor searches with both boxes empty: in the name box, a name that matches nothing is
// searched first (untimed), so the tree is empty, then erased, and Return pressed. Timed from
// the key until the tree shows other rows, the first of every record; the process's memory is
// read then.
bool searchEverything(Display* display, Window window, pid_t pid, const Layout& layout, Run& run)
{
    const QRect lower = lowerPart(display, window);
    click(display, window, layout.nameBox);
    QByteArray before = settled(display, window, lower);
    type(display, "zz");
    press(display, XK_Return);
    if (changed(display, window, lower, before, nowMs(), 5000) < 0)
        return false;
    settled(display, window, lower);
    press(display, XK_BackSpace);
    press(display, XK_BackSpace);
    before = settled(display, window, lower);
    const double start = nowMs();
    press(display, XK_Return);
    run.searchMs = changed(display, window, lower, before, start, 30000);
    run.searchRssMb = rssMb(pid);
    return run.searchMs >= 0;
}

// End pressed in the tree until it moves no more: the tree is at its last row.
QByteArray scrollToEnd(Display* display, Window window, const Layout& layout, Run* run)
{
    click(display, window, layout.tree.topLeft() + QPoint(layout.tree.width() / 2, layout.tree.height() / 2));
    QByteArray shown = settled(display, window, layout.tree);
    const double start = nowMs();
    double last = start;
    for (int presses = 1;; ++presses) {
        press(display, XK_End);
        // A page of 2,048 rows takes some tens of milliseconds: seconds without a move is the end.
        if (changed(display, window, layout.tree, shown, nowMs(), 3000) < 0) {
            if (run)
                run->endPresses = presses;
            break;
        }
        last = nowMs();
        shown = pixels(display, window, layout.tree);
    }
    if (run)
        run->lastRowMs = last - start;
    return settled(display, window, layout.tree);
}

// Every record scrolled to its end, then the last month searched and scrolled to its end: the
// tree's last rows must look the same.
void scrollToLastRecord(Display* display, Window window, pid_t pid, const Layout& layout, const QByteArray& lastMonth,
                        Run& run)
{
    const QByteArray bottom = scrollToEnd(display, window, layout, &run);
    run.peakRssMb = rssMb(pid, "VmHWM:");
    // A click into the date box puts today's date there; it is erased and the month typed.
    click(display, window, layout.dateBox);
    settled(display, window, layout.tree);
    press(display, XK_End);
    for (int i = 0; i < 12; ++i)
        press(display, XK_BackSpace);
    type(display, lastMonth);
    const QByteArray before = pixels(display, window, layout.tree);
    press(display, XK_Return);
    if (changed(display, window, layout.tree, before, nowMs(), 5000) < 0)
        return;
    run.lastRowChecked = scrollToEnd(display, window, layout, nullptr) == bottom ? 1 : 0;
}

// Starts the program and waits, up to timeoutMs, for its window with this title to be shown.
// The window with this title mapped and painted: when, from `start`; 0 when it was not in time.
Window waitShown(Display* display, const std::string& title, double start, double timeoutMs, double* mappedMs,
                 double* shownMs)
{
    const Window root = DefaultRootWindow(display);
    std::vector<Window> candidates;
    Window shown = 0;
    while (nowMs() - start < timeoutMs) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.event == root)
                candidates.push_back(event.xmap.window);
        }
        for (const Window window : candidates) {
            if (shown == 0 && windowTitle(display, window) == title) {
                shown = window;
                *mappedMs = nowMs() - start;
            }
        }
        candidates.clear();
        if (shown && painted(display, shown)) {
            *shownMs = nowMs() - start;
            return shown;
        }
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, 2);
    }
    return 0;
}

Run startOnce(Display* display, const QString& program, const std::string& title, const Layout* search,
              const QByteArray& scrollMonth, const QByteArray& login, double timeoutMs)
{
    Run run;
    const Window root = DefaultRootWindow(display);
    XSelectInput(display, root, SubstructureNotifyMask);
    XSync(display, True);
    const QByteArray executable = QFile::encodeName(program);
    const double start = nowMs();
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        execl(executable.constData(), executable.constData(), static_cast<char*>(nullptr));
        _exit(127);
    }
    if (pid < 0)
        return run;
    const Window shown = waitShown(display, title, start, timeoutMs, &run.mappedMs, &run.shownMs);
    if (run.shownMs >= 0)
        run.cpuMs = cpuMs(pid);
    if (!login.isEmpty() && shown) {
        usleep(1000 * 1000);
        XSetInputFocus(display, shown, RevertToParent, CurrentTime);
        type(display, login);
        const double enter = nowMs();
        press(display, XK_Return);
        double mapped = -1, drawn = -1;
        if (waitShown(display, "Qarvel V2.0", enter, timeoutMs, &mapped, &drawn))
            run.loggedInMs = drawn;
    }
    if (search && run.shownMs >= 0 && searchEverything(display, shown, pid, *search, run) && !scrollMonth.isEmpty())
        scrollToLastRecord(display, shown, pid, *search, scrollMonth, run);
    kill(pid, SIGTERM);
    int status = 0;
    waitpid(pid, &status, 0);
    XSelectInput(display, root, NoEventMask);
    return run;
}

QString option(const QStringList& args, const QString& name, const QString& fallback = QString())
{
    const qsizetype i = args.indexOf(name);
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : fallback;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const QString program = option(args, QStringLiteral("--program"));
    const std::string title = option(args, QStringLiteral("--window")).toStdString();
    const int runs = std::max(2, option(args, QStringLiteral("--runs"), QStringLiteral("6")).toInt());
    const bool setPassword = args.contains(QStringLiteral("--password"));
    const bool search = args.contains(QStringLiteral("--search"));
    const bool scroll = search && args.contains(QStringLiteral("--scroll"));
    const QByteArray login = option(args, QStringLiteral("--login")).toLatin1();
    auto numbers = [&](const char* name) {
        QList<int> values;
        for (const QString& n : option(args, QString::fromLatin1(name)).split(QLatin1Char(' '), Qt::SkipEmptyParts))
            values << n.toInt();
        return values;
    };
    Layout layout;
    if (const QList<int> at = numbers("--name-box"); at.size() == 2)
        layout.nameBox = QPoint(at[0], at[1]);
    if (const QList<int> at = numbers("--date-box"); at.size() == 2)
        layout.dateBox = QPoint(at[0], at[1]);
    if (const QList<int> at = numbers("--tree"); at.size() == 4)
        layout.tree = QRect(at[0], at[1], at[2], at[3]);
    if (program.isEmpty() || title.empty() || !QFileInfo(program).isExecutable()) {
        std::fprintf(stderr, "usage: qarvel_startup --program <folder>/qarvel --window <title> [--runs R] "
                             "[--password TEXT] [--login TEXT] [--search [--scroll] [--name-box \"X Y\"] [--date-box \"X Y\"] "
                             "[--tree \"X Y W H\"]]\n");
        return 2;
    }
    Display* display = XOpenDisplay(nullptr);
    if (!display) {
        std::fprintf(stderr, "qarvel_startup: no X display in DISPLAY\n");
        return 1;
    }

    store::Store store(QFileInfo(program).absolutePath());
    std::optional<QString> oldPassword;
    auto storePassword = [&](const QString& password) {
        return store::Store::updateFirstFields(store.records(), store::PasswordTable, {{0, password}});
    };
    if (setPassword) {
        oldPassword = store::readPassword(store);
        if (!oldPassword || !storePassword(option(args, QStringLiteral("--password")))) {
            std::fprintf(stderr, "qarvel_startup: cannot set the login password in %s\n", qPrintable(store.recordsPath()));
            return 1;
        }
    }
    // The month of the last record, whose last rows the tree shows at its end.
    QByteArray lastMonth;
    if (scroll && store.records()) {
        store::Query last = store.records()->query(
            QStringLiteral("SELECT \"日期\" FROM \"档案\" ORDER BY rowid DESC LIMIT 1"));
        lastMonth = last.next() ? last.string(0).left(7).toLatin1() : QByteArray();
    }
    store.close(); // the program under test is the only one with the files open

    std::vector<Run> results;
    for (int i = 0; i < runs; ++i) {
        if (i == 0) {
            evict(store.recordsPath());
            evict(store.settingsPath());
        }
        results.push_back(startOnce(display, program, title, search ? &layout : nullptr, lastMonth, login, 30000));
    }
    XCloseDisplay(display);
    if (oldPassword && !storePassword(*oldPassword))
        std::fprintf(stderr, "qarvel_startup: could not put the login password back\n");

    auto list = [&](auto Run::*field) {
        QStringList values;
        for (const Run& run : results)
            values << QString::number(double(run.*field), 'f', 1);
        return values.join(QStringLiteral(", "));
    };
    std::printf("{\"window\": \"%s\", \"mapped_ms\": [%s], \"shown_ms\": [%s], \"cpu_ms\": [%s], "
                "\"search_ms\": [%s], \"search_rss_mb\": [%s], \"last_row_ms\": [%s], \"end_presses\": [%s], "
                "\"peak_rss_mb\": [%s], \"last_row_checked\": [%s], \"logged_in_ms\": [%s]}\n",
                title.c_str(), qPrintable(list(&Run::mappedMs)), qPrintable(list(&Run::shownMs)),
                qPrintable(list(&Run::cpuMs)), qPrintable(list(&Run::searchMs)), qPrintable(list(&Run::searchRssMb)),
                qPrintable(list(&Run::lastRowMs)), qPrintable(list(&Run::endPresses)),
                qPrintable(list(&Run::peakRssMb)), qPrintable(list(&Run::lastRowChecked)),
                qPrintable(list(&Run::loggedInMs)));
    const bool all = std::all_of(results.begin(), results.end(), [](const Run& r) { return r.shownMs >= 0; });
    if (!all)
        std::fprintf(stderr, "qarvel_startup: the window \"%s\" was not shown in every run\n", title.c_str());
    return all ? 0 : 1;
}
