#pragma once

// A loopback TCP relay between a desk and the test server that loses, cuts and hangs the link
// when told, as a failing network or switch would. It runs on a thread of its own, so a desk
// waiting on the test's thread still gets (or does not get) its bytes.

#include <QByteArray>
#include <QString>
#include <algorithm>
#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

class Relay
{
public:
    enum class Mode {
        Pass,      // bytes go both ways
        DropReply, // the server's next reply is thrown away, then every link is cut
        Hang,      // nothing moves either way, and new links get no answer
        Down,      // every link is cut, and new ones are closed at once
    };

    Relay()
    {
        const QByteArray port = qgetenv("PGPORT");
        m_target = port.isEmpty() ? 5432 : port.toInt();
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (::bind(m_listen, reinterpret_cast<sockaddr*>(&address), size) != 0 || ::listen(m_listen, 16) != 0
            || ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &size) != 0)
            return;
        m_port = ntohs(address.sin_port);
        m_thread = std::thread([this] { loop(); });
    }
    ~Relay()
    {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        for (const Link& link : m_links)
            closeLink(link);
        ::close(m_listen);
    }
    Relay(const Relay&) = delete;
    Relay& operator=(const Relay&) = delete;

    bool ok() const { return m_port > 0; }
    // A desk's string for the server behind the relay.
    QString conninfo(const QString& server) const
    {
        return QStringLiteral("host=127.0.0.1 port=%1 sslmode=disable %2").arg(m_port).arg(server);
    }
    // After DropReply, the mode the relay goes on in once the links are cut.
    void setMode(Mode mode, Mode afterDrop = Mode::Pass)
    {
        m_after = afterDrop;
        m_mode = mode;
    }
    // Whether a reply was thrown away since the mode was set.
    bool dropped() const { return m_dropped; }

private:
    struct Link {
        int desk;
        int server;
    };

    static void closeLink(const Link& link)
    {
        ::close(link.desk);
        ::close(link.server);
    }

    int connectServer() const
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(quint16(m_target));
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    void cutAll()
    {
        for (const Link& link : m_links)
            closeLink(link);
        m_links.clear();
    }

    void loop()
    {
        char buffer[65536];
        while (!m_stop) {
            const Mode mode = m_mode;
            if (mode == Mode::Down)
                cutAll();
            std::vector<pollfd> fds{{m_listen, POLLIN, 0}};
            if (mode != Mode::Hang) {
                for (const Link& link : m_links) {
                    fds.push_back({link.desk, POLLIN, 0});
                    fds.push_back({link.server, POLLIN, 0});
                }
            }
            if (::poll(fds.data(), nfds_t(fds.size()), 20) <= 0)
                continue;
            if (fds[0].revents & POLLIN) {
                const int desk = ::accept(m_listen, nullptr, nullptr);
                if (m_mode == Mode::Down) {
                    ::close(desk);
                } else if (desk >= 0) {
                    const int server = connectServer();
                    if (server < 0)
                        ::close(desk);
                    else
                        m_links.push_back({desk, server});
                }
            }
            bool cut = false;
            std::vector<size_t> ended;
            for (size_t i = 1; i < fds.size() && !cut; ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP | POLLERR)) || m_mode == Mode::Hang)
                    continue;
                const Link link = m_links[(i - 1) / 2];
                const bool fromDesk = fds[i].fd == link.desk;
                const ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) {
                    ended.push_back((i - 1) / 2); // one end closed: so is the other
                } else if (!fromDesk && m_mode == Mode::DropReply) {
                    // The reply is lost on the way; the server has done the work it answers.
                    m_dropped = true;
                    cut = true;
                    m_mode = m_after.load();
                } else {
                    ::send(fromDesk ? link.server : link.desk, buffer, size_t(n), MSG_NOSIGNAL);
                }
            }
            if (cut) {
                cutAll();
                continue;
            }
            ended.erase(std::unique(ended.begin(), ended.end()), ended.end());
            for (auto i = ended.rbegin(); i != ended.rend(); ++i) {
                if (*i < m_links.size()) {
                    closeLink(m_links[*i]);
                    m_links.erase(m_links.begin() + std::ptrdiff_t(*i));
                }
            }
        }
    }

    int m_listen = -1;
    int m_port = 0;
    int m_target = 0;
    std::atomic<Mode> m_mode{Mode::Pass};
    std::atomic<Mode> m_after{Mode::Pass};
    std::atomic<bool> m_dropped{false};
    std::atomic<bool> m_stop{false};
    std::vector<Link> m_links; // the relay's thread only
    std::thread m_thread;
};
