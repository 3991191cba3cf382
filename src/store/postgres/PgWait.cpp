#include "store/postgres/PgWait.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QEvent>
#include <QThread>
#include <algorithm>
#include <cerrno>
#include <poll.h>

namespace store {

namespace {

std::function<void(bool)>& notice()
{
    static std::function<void(bool)> shown;
    return shown;
}

// Waits of one statement on the window's thread nest when a reply takes several reads; only
// the outermost one installs the filter and shows the notice.
int depth = 0;

} // namespace

// What the user does while the desk waits is dropped, not kept for later: a key typed into a
// sheet being saved would otherwise land in it after the save, and a click could start a second
// statement on the link that is still busy with the first.
class InputDrop : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::InputMethod:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::MouseMove:
        case QEvent::Wheel:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::ContextMenu:
        case QEvent::Drop:
            return true;
        case QEvent::Close:
            // Closing the window from its title bar waits for the answer too.
            if (event->spontaneous()) {
                event->ignore();
                return true;
            }
            return false;
        default:
            return false;
        }
    }
};

ServerWait::ServerWait()
{
    QCoreApplication* app = QCoreApplication::instance();
    m_onWindowThread = app && QThread::currentThread() == app->thread();
    if (!m_onWindowThread)
        return;
    m_started = QDateTime::currentMSecsSinceEpoch();
    if (depth++ == 0) {
        m_drop = new InputDrop;
        app->installEventFilter(m_drop);
    }
}

ServerWait::~ServerWait()
{
    if (!m_onWindowThread)
        return;
    --depth;
    if (m_noticed && notice())
        notice()(false);
    delete m_drop; // removes itself as a filter
}

void ServerWait::setNotice(std::function<void(bool)> shown) { notice() = std::move(shown); }

void ServerWait::pump()
{
    if (!m_noticed && m_drop && QDateTime::currentMSecsSinceEpoch() - m_started >= ServerNoticeAfterMs) {
        m_noticed = true;
        if (notice())
            notice()(true);
    }
    // Painting and the window system's own events, but no timers and no other sockets: they
    // could start work that needs this link.
    QCoreApplication::processEvents(QEventLoop::ExcludeSocketNotifiers | QEventLoop::X11ExcludeTimers);
}

ServerWait::Ready ServerWait::wait(int socket, Want want, const QDeadlineTimer& deadline)
{
    if (socket < 0)
        return Ready::Failed;
    const short events = want == Want::Read ? POLLIN : want == Want::Write ? POLLOUT : short(POLLIN | POLLOUT);
    pollfd fd{socket, events, 0};
    for (;;) {
        const qint64 left = deadline.remainingTime();
        if (left == 0)
            return Ready::TimedOut;
        // On the window's thread a slice at a time, painting between slices.
        qint64 timeout = m_onWindowThread ? 25 : -1;
        if (left > 0)
            timeout = timeout < 0 ? left : std::min(left, timeout);
        const int n = ::poll(&fd, 1, int(std::min<qint64>(timeout, 1 << 30)));
        if (n > 0)
            return Ready::Yes; // readable, or an error libpq will read and report
        if (n < 0 && errno != EINTR)
            return Ready::Failed;
        if (m_onWindowThread)
            pump();
    }
}

} // namespace store
