#include "BenchSupport.h"

#include <algorithm>
#include <arpa/inet.h>
#include <cmath>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <netinet/in.h>
#include <numeric>
#include <poll.h>
#include <sstream>
#include <sys/socket.h>
#include <unistd.h>

namespace bench {

namespace {

bool loopbackAddress(const std::string& text, in_addr& out)
{
    return inet_pton(AF_INET, text.c_str(), &out) == 1 && (ntohl(out.s_addr) >> 24) == 127;
}

double percentile(const std::vector<double>& sorted, double p)
{
    if (sorted.empty())
        return 0;
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(sorted.size()))) ;
    return sorted[std::min(sorted.size() - 1, rank == 0 ? 0 : rank - 1)];
}

} // namespace

double microsecondsBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::micro>(b - a).count();
}

Stats summarise(std::vector<double> samples)
{
    Stats s;
    s.count = samples.size();
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    s.median = percentile(samples, 0.5);
    s.p90 = percentile(samples, 0.9);
    s.p99 = percentile(samples, 0.99);
    s.max = samples.back();
    s.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
    return s;
}

void printHeader(const std::string& section)
{
    std::printf("\n%s\n", section.c_str());
    std::printf("  %-58s %-26s %-16s %s\n", "figure", "measured", "target", "");
    std::fflush(stdout);
}

void printRow(const std::string& figure, const std::string& measured, const std::string& target, bool met)
{
    std::printf("  %-58s %-26s %-16s %s\n", figure.c_str(), measured.c_str(), target.c_str(),
                target.empty() ? "" : (met ? "met" : "MISSED"));
    std::fflush(stdout);
}

void printNote(const std::string& text)
{
    std::printf("  (%s)\n", text.c_str());
    std::fflush(stdout);
}

std::string format(double value, int decimals)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

LoopbackSocket::LoopbackSocket(const std::string& address, std::uint16_t port)
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    if (!loopbackAddress(address, a.sin_addr))
        return;
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

LoopbackSocket::~LoopbackSocket()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::uint16_t LoopbackSocket::port() const
{
    sockaddr_in a{};
    socklen_t len = sizeof a;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return 0;
    return ntohs(a.sin_port);
}

bool LoopbackSocket::sendTo(const void* data, std::size_t length, std::uint16_t port, const std::string& address) const
{
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    if (m_fd < 0 || !loopbackAddress(address, a.sin_addr))
        return false;
    return ::sendto(m_fd, data, length, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&a), sizeof a)
        == static_cast<ssize_t>(length);
}

std::optional<std::size_t> LoopbackSocket::receive(std::chrono::milliseconds timeout, char* buffer,
                                                   std::size_t capacity) const
{
    if (m_fd < 0)
        return std::nullopt;
    pollfd p{m_fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
        return std::nullopt;
    char scratch[2048];
    if (!buffer) {
        buffer = scratch;
        capacity = sizeof scratch;
    }
    const ssize_t n = ::recv(m_fd, buffer, capacity, MSG_DONTWAIT);
    if (n < 0)
        return std::nullopt;
    return static_cast<std::size_t>(n);
}

bool LoopbackSocket::echoOne() const
{
    char buffer[2048];
    sockaddr_in from{};
    socklen_t len = sizeof from;
    const ssize_t n = ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
    if (n <= 0)
        return false;
    if ((ntohl(from.sin_addr.s_addr) >> 24) == 127)
        ::sendto(m_fd, buffer, static_cast<std::size_t>(n), 0, reinterpret_cast<sockaddr*>(&from), len);
    return true;
}

void LoopbackSocket::shutdown() const
{
    // Wakes a blocked recvfrom, which then returns 0.
    ::shutdown(m_fd, SHUT_RDWR);
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) {
            std::istringstream fields(line.substr(6));
            long kib = 0;
            fields >> kib;
            return kib;
        }
    }
    return 0;
}

int threadCount()
{
    int count = 0;
    if (DIR* dir = ::opendir("/proc/self/task")) {
        while (const dirent* entry = ::readdir(dir)) {
            if (entry->d_name[0] != '.')
                ++count;
        }
        ::closedir(dir);
    }
    return count;
}

} // namespace bench
