// qarvel_startup --program <program folder>/qarvel --window <title> [--runs R] [--password TEXT]
//                [--search [--name-box "X Y"]]
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
// --search then searches every record as the doctor does, with a click into the name box (at
// --name-box "X Y" in the window, 160 68 by default: where the search panel puts it) and keys
// sent through xdotool, and times from Return to the tree showing other rows, with the
// process's memory then.
//
// --password sets the login password stored in the program's records file for the runs and
// puts the old one back after them: empty, the program goes straight to its main window.

#include "store/Records.h"
#include "store/Store.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

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
};

// Resident memory of a process, from /proc/<pid>/status.
double rssMb(pid_t pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    return -1;
}

// The lower part of the window, where the record tree is and no text cursor blinks.
QByteArray lowerPart(Display* display, Window window)
{
    XWindowAttributes attributes{};
    if (!XGetWindowAttributes(display, window, &attributes))
        return {};
    const int top = attributes.height * 3 / 5;
    XImage* image = XGetImage(display, window, 0, top, unsigned(attributes.width), unsigned(attributes.height - top),
                              AllPlanes, ZPixmap);
    if (!image)
        return {};
    QByteArray pixels(image->data, image->bytes_per_line * image->height);
    XDestroyImage(image);
    return pixels;
}

// Waits until the lower part of the window differs from `before`; the time then, or -1.
double changed(Display* display, Window window, const QByteArray& before, double start, double timeoutMs)
{
    while (nowMs() - start < timeoutMs) {
        if (lowerPart(display, window) != before)
            return nowMs() - start;
        usleep(2000);
    }
    return -1;
}

// The lower part once it has stayed the same for a fifth of a second: the window is done painting.
QByteArray settled(Display* display, Window window)
{
    QByteArray last = lowerPart(display, window);
    const double start = nowMs();
    double since = start;
    while (nowMs() - start < 10000 && nowMs() - since < 200) {
        usleep(10000);
        QByteArray now = lowerPart(display, window);
        if (now != last) {
            last = std::move(now);
            since = nowMs();
        }
    }
    return last;
}

bool keys(const char* arguments)
{
    return std::system((QByteArray("xdotool ") + arguments).constData()) == 0;
}

// The doctor searches with both boxes empty: in the name box the window opens with, a name that
// matches nothing is searched first (untimed), so the tree is empty, then erased, and Return
// pressed. Timed from the key until the tree
// shows other rows, the first of every record; the process's memory is read then.
void searchEverything(Display* display, Window window, pid_t pid, const QByteArray& nameBox, Run& run)
{
    // The name box is found where it stands in the window, as the doctor finds it: clicked into.
    const QByteArray click = "mousemove --window " + QByteArray::number(qulonglong(window)) + ' ' + nameBox + " click 1";
    if (!keys(click.constData()))
        return;
    QByteArray before = settled(display, window);
    if (!keys("type --delay 30 zz") || !keys("key Return") || changed(display, window, before, nowMs(), 5000) < 0)
        return;
    settled(display, window);
    if (!keys("key BackSpace BackSpace"))
        return;
    before = settled(display, window);
    const double start = nowMs();
    if (!keys("key Return"))
        return;
    run.searchMs = changed(display, window, before, start, 30000);
    run.searchRssMb = rssMb(pid);
}

// Starts the program and waits, up to timeoutMs, for its window with this title to be shown.
Run startOnce(Display* display, const QString& program, const std::string& title, const QByteArray& nameBox,
              double timeoutMs)
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
    std::vector<Window> candidates;
    Window shown = 0;
    while (nowMs() - start < timeoutMs && run.shownMs < 0) {
        while (XPending(display)) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == MapNotify && event.xmap.event == root)
                candidates.push_back(event.xmap.window);
        }
        for (const Window window : candidates) {
            if (shown == 0 && windowTitle(display, window) == title) {
                shown = window;
                run.mappedMs = nowMs() - start;
            }
        }
        candidates.clear();
        if (shown && painted(display, shown)) {
            run.shownMs = nowMs() - start;
            run.cpuMs = cpuMs(pid);
            break;
        }
        pollfd fd{ConnectionNumber(display), POLLIN, 0};
        poll(&fd, 1, 2);
    }
    if (!nameBox.isEmpty() && run.shownMs >= 0)
        searchEverything(display, shown, pid, nameBox, run);
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
    // Where the name box stands in the main window (x y from its top left), for --search.
    const QByteArray nameBox = args.contains(QStringLiteral("--search"))
        ? option(args, QStringLiteral("--name-box"), QStringLiteral("160 68")).toLatin1()
        : QByteArray();
    if (program.isEmpty() || title.empty() || !QFileInfo(program).isExecutable()) {
        std::fprintf(stderr, "usage: qarvel_startup --program <folder>/qarvel --window <title> [--runs R] "
                             "[--password TEXT] [--search [--name-box \"X Y\"]]\n");
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
    store.close(); // the program under test is the only one with the files open

    std::vector<Run> results;
    for (int i = 0; i < runs; ++i) {
        if (i == 0) {
            evict(store.recordsPath());
            evict(store.settingsPath());
        }
        results.push_back(startOnce(display, program, title, nameBox, 30000));
    }
    XCloseDisplay(display);
    if (oldPassword && !storePassword(*oldPassword))
        std::fprintf(stderr, "qarvel_startup: could not put the login password back\n");

    auto list = [&](double Run::*field) {
        QStringList values;
        for (const Run& run : results)
            values << QString::number(run.*field, 'f', 1);
        return values.join(QStringLiteral(", "));
    };
    std::printf("{\"window\": \"%s\", \"mapped_ms\": [%s], \"shown_ms\": [%s], \"cpu_ms\": [%s], "
                "\"search_ms\": [%s], \"search_rss_mb\": [%s]}\n",
                title.c_str(), qPrintable(list(&Run::mappedMs)), qPrintable(list(&Run::shownMs)),
                qPrintable(list(&Run::cpuMs)), qPrintable(list(&Run::searchMs)), qPrintable(list(&Run::searchRssMb)));
    const bool all = std::all_of(results.begin(), results.end(), [](const Run& r) { return r.shownMs >= 0; });
    if (!all)
        std::fprintf(stderr, "qarvel_startup: the window \"%s\" was not shown in every run\n", title.c_str());
    return all ? 0 : 1;
}
