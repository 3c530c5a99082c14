#include "tests/support/Flood.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <random>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

Flood::Flood(int senders, std::vector<Target> targets, std::chrono::seconds limit)
{
    for (int i = 0; i < senders; ++i) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(0x7F000005u + static_cast<std::uint32_t>(i)); // 127.0.0.5 and up
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
            m_sockets.push_back(fd);
        else if (fd >= 0)
            ::close(fd);
    }
    std::vector<sockaddr_in> to;
    for (const Target& t : targets) {
        sockaddr_in a {};
        a.sin_family = AF_INET;
        a.sin_port = htons(t.port);
        // Anything outside 127.0.0.0/8 is never sent to.
        if (::inet_pton(AF_INET, t.address.c_str(), &a.sin_addr) == 1 && (ntohl(a.sin_addr.s_addr) >> 24) == 127)
            to.push_back(a);
    }
    const int threads = 4;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (int t = 0; t < threads; ++t) {
        m_threads.emplace_back([this, t, to, deadline] {
            // The senders stand in for other machines: they must not take
            // the CPU from the program under test, least of all from the
            // thread that stops a side (raising one's own nice value needs
            // no privilege).
            (void)::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), 19);
            std::mt19937 random(static_cast<unsigned>(1234 + t));
            char payload[1500];
            for (char& c : payload)
                c = static_cast<char>(random());
            for (std::uint64_t i = 0; !m_stop.load(std::memory_order_relaxed) && !to.empty(); ++i) {
                if (i % 1024 == 0 && std::chrono::steady_clock::now() > deadline)
                    break;
                const std::size_t length = random() % (sizeof payload + 1);
                payload[random() % sizeof payload] = static_cast<char>(random());
                for (std::size_t s = static_cast<std::size_t>(t); s < m_sockets.size(); s += threads) {
                    const sockaddr_in& a = to[(i + s) % to.size()];
                    if (::sendto(m_sockets[s], payload, length, MSG_DONTWAIT, reinterpret_cast<const sockaddr*>(&a),
                            sizeof a)
                        >= 0)
                        m_sent.fetch_add(1, std::memory_order_relaxed);
                }
            }
        });
    }
}

Flood::~Flood()
{
    m_stop = true;
    for (auto& t : m_threads)
        t.join();
    for (const int fd : m_sockets)
        ::close(fd);
}
