#pragma once

#include <QDeadlineTimer>
#include <functional>

namespace store {

// How long the desk waits for the server, for a connection and for each statement, before it
// gives up and says that the server did not answer. The server ends a statement a little
// sooner by itself (statement_timeout), so a slow one is usually told as the server's own error.
constexpr int ServerDeadlineMs = 10000;
// A wait shorter than this passes without a word.
constexpr int ServerNoticeAfterMs = 300;

// One wait for the server, from a statement's send to its last reply. On the window's thread it
// keeps the windows painting while it waits, drops what the user types or clicks meanwhile (so
// nothing reaches a sheet being saved or starts another statement), and after a moment tells
// the notice; on any other thread it simply blocks.
class ServerWait
{
public:
    ServerWait();
    ~ServerWait();
    ServerWait(const ServerWait&) = delete;
    ServerWait& operator=(const ServerWait&) = delete;

    enum class Ready { Yes, TimedOut, Failed };
    enum class Want { Read, Write, ReadOrWrite };
    // Until the socket is ready for what is wanted or the deadline passes.
    Ready wait(int socket, Want want, const QDeadlineTimer& deadline);

    // Told true once a wait has lasted ServerNoticeAfterMs, false when it ends; the window
    // shows a busy cursor and a line in its status bar meanwhile.
    static void setNotice(std::function<void(bool waiting)> notice);

private:
    void pump();
    bool m_onWindowThread = false;
    bool m_noticed = false;
    qint64 m_started = 0;
    class InputDrop* m_drop = nullptr;
};

} // namespace store
