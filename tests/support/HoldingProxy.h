#pragma once

// A local TCP relay to a server that can be told to hold new connections: while it holds, a
// connection is accepted and then nothing passes either way, as with a server that stopped
// answering; when it lets go, the held connections go through as if nothing had happened.
// Connections made before the hold keep working, unless the traffic itself is held: then no
// byte passes on any connection, old or new, as with a server that went silent after the
// program connected. Plain sockets on threads of its own, so it relays whatever the test's
// own thread is doing.
//
//     test::HoldingProxy proxy;
//     proxy.start(server.port());      // relay on proxy.port()
//     proxy.hold(true);                // new connections hang
//     proxy.hold(false);               // and go on
//     proxy.holdTraffic(5000ms);       // every connection hangs, for 5 s at most
//     proxy.releaseTraffic();          // and goes on

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <atomic>
#include <chrono>
#include <list>
#include <mutex>
#include <thread>

namespace kelmo::test {

class HoldingProxy final {
public:
    HoldingProxy() = default;
    HoldingProxy(const HoldingProxy&) = delete;
    HoldingProxy& operator=(const HoldingProxy&) = delete;
    ~HoldingProxy() { stop(); }

#ifdef Q_OS_LINUX
    // Listens on a free local port and relays to the local port `target`.
    bool start(int target) {
        m_target = target;
        m_listener = ::socket(AF_INET, SOCK_STREAM, 0);
        if (m_listener < 0) {
            return false;
        }
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof(address);
        if (::bind(m_listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
            ::listen(m_listener, 16) != 0 ||
            ::getsockname(m_listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
            return false;
        }
        m_port = ntohs(address.sin_port);
        m_acceptor = std::thread([this] { acceptLoop(); });
        return true;
    }
#else
    bool start(int) {
        return false;
    }
#endif

    int port() const {
        return m_port;
    }

    void hold(bool on) {
        m_holding = on;
    }

    // Stops relaying bytes on every connection until releaseTraffic(), or until `atMost` has
    // passed: a test whose window waits for the server on its own thread gets it back.
    void holdTraffic(std::chrono::milliseconds atMost) {
        m_trafficUntil =
            std::chrono::steady_clock::now().time_since_epoch().count() +
            std::chrono::duration_cast<std::chrono::steady_clock::duration>(atMost).count();
    }
    void releaseTraffic() {
        m_trafficUntil = 0;
    }
    bool trafficHeld() const {
        return std::chrono::steady_clock::now().time_since_epoch().count() < m_trafficUntil;
    }

    // Connections accepted while holding that have not closed yet.
    int heldOpen() const {
        return m_heldOpen;
    }

    void stop() {
        m_stopping = true;
        if (m_acceptor.joinable()) {
            m_acceptor.join();
        }
        std::list<std::thread> relays;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            relays.swap(m_relays);
        }
        for (std::thread& relay : relays) {
            relay.join();
        }
#ifdef Q_OS_LINUX
        if (m_listener >= 0) {
            ::close(m_listener);
            m_listener = -1;
        }
#endif
    }

private:
#ifdef Q_OS_LINUX
    void acceptLoop() {
        while (!m_stopping) {
            pollfd waiting{m_listener, POLLIN, 0};
            if (::poll(&waiting, 1, 20) <= 0) {
                continue;
            }
            const int client = ::accept(m_listener, nullptr, nullptr);
            if (client < 0) {
                continue;
            }
            const bool held = m_holding;
            if (held) {
                ++m_heldOpen;
            }
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_relays.emplace_back([this, client, held] { relay(client, held); });
        }
    }

    void relay(int client, bool held) {
        while (held && m_holding && !m_stopping) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const int server = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(static_cast<uint16_t>(m_target));
        if (!m_stopping && server >= 0 &&
            ::connect(server, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0) {
            pump(client, server);
        }
        if (server >= 0) {
            ::close(server);
        }
        ::close(client);
        if (held) {
            --m_heldOpen;
        }
    }

    // Copies each side's bytes to the other until either closes.
    void pump(int a, int b) {
        char buffer[16384];
        while (!m_stopping) {
            if (trafficHeld()) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
                continue;
            }
            pollfd both[2] = {{a, POLLIN, 0}, {b, POLLIN, 0}};
            if (::poll(both, 2, 20) <= 0) {
                continue;
            }
            for (int i = 0; i < 2; ++i) {
                if ((both[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) {
                    continue;
                }
                const ssize_t n = ::read(both[i].fd, buffer, sizeof(buffer));
                if (n <= 0) {
                    return;
                }
                const int to = i == 0 ? b : a;
                for (ssize_t sent = 0; sent < n;) {
                    const ssize_t w =
                        ::send(to, buffer + sent, static_cast<size_t>(n - sent), MSG_NOSIGNAL);
                    if (w <= 0) {
                        return;
                    }
                    sent += w;
                }
            }
        }
    }
#endif

    int m_target = 0;
    int m_port = 0;
    int m_listener = -1;
    std::atomic<bool> m_holding{false};
    std::atomic<bool> m_stopping{false};
    std::atomic<int> m_heldOpen{0};
    std::atomic<std::chrono::steady_clock::rep> m_trafficUntil{0};
    std::thread m_acceptor;
    std::mutex m_mutex;
    std::list<std::thread> m_relays;
};

} // namespace kelmo::test
