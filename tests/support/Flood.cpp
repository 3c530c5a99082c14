#include "StressSupport.h"

#include <arpa/inet.h>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <unistd.h>

namespace stress {

namespace {

template <class Visit>
void forEachEntry(const char* directory, Visit visit)
{
    if (DIR* dir = ::opendir(directory)) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.')
                visit(std::string(entry->d_name));
        }
        ::closedir(dir);
    }
}

} // namespace

Resources Resources::now()
{
    Resources r;
    forEachEntry("/proc/self/fd", [&r](const std::string& fd) {
        ++r.descriptors;
        char link[64] = {};
        const std::string path = "/proc/self/fd/" + fd;
        if (::readlink(path.c_str(), link, sizeof link - 1) > 0 && std::string(link).rfind("socket:", 0) == 0)
            ++r.sockets;
    });
    forEachEntry("/proc/self/task", [&r](const std::string& tid) {
        std::ifstream comm("/proc/self/task/" + tid + "/comm");
        std::string name;
        std::getline(comm, name);
        if (name != "Thread (pooled)")
            ++r.threads;
    });
    // Reading the directory took a descriptor of its own; it is closed again.
    --r.descriptors;
    return r;
}

std::string Resources::describe() const
{
    return std::to_string(descriptors) + " descriptors (" + std::to_string(sockets) + " sockets), "
        + std::to_string(threads) + " threads";
}

Flood::Flood(int senders, std::vector<Target> targets, std::chrono::seconds limit)
    : m_targets(std::move(targets))
{
    for (int i = 0; i < senders; ++i) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(0x7F000005u + static_cast<std::uint32_t>(i)); // 127.0.0.5 and up
        if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
            m_sockets.push_back(fd);
        else if (fd >= 0)
            ::close(fd);
    }
    std::vector<sockaddr_in> to;
    for (const Target& t : m_targets) {
        sockaddr_in a{};
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

Watchdog::Watchdog()
    : m_thread([this] {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_quit) {
            if (!m_armed) {
                m_changed.wait(lock);
                continue;
            }
            if (m_changed.wait_until(lock, m_deadline) == std::cv_status::timeout && m_armed
                && std::chrono::steady_clock::now() >= m_deadline) {
                std::fprintf(stderr, "watchdog: %s did not finish in time; giving up\n", m_what.c_str());
                std::fflush(stderr);
                std::_Exit(3);
            }
        }
    })
{
}

Watchdog::~Watchdog()
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_quit = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void Watchdog::arm(const std::string& what, std::chrono::milliseconds bound)
{
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_what = what;
        m_deadline = std::chrono::steady_clock::now() + bound;
        m_armed = true;
    }
    m_changed.notify_all();
}

void Watchdog::disarm()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    m_armed = false;
}

} // namespace stress
