#include "net/UdpSocket.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstdint>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>

namespace {

sockaddr_in toSockaddr(const Ipv4Endpoint& ep)
{
    sockaddr_in addr {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(ep.port);
    addr.sin_addr.s_addr = ep.addressNet;
    return addr;
}

Ipv4Endpoint fromSockaddr(const sockaddr_in& addr)
{
    return Ipv4Endpoint { addr.sin_addr.s_addr, ntohs(addr.sin_port) };
}

// Linux binds these too (to receive on them), but they are no addresses of
// this host: the socket would hold the port there and never see replies sent
// to the host. Limited and subnet broadcasts, and multicast groups.
bool isBroadcastOrMulticast(std::uint32_t addressNet)
{
    const std::uint32_t host = ntohl(addressNet);
    if (host == INADDR_ANY)
        return false;
    if (host == INADDR_BROADCAST || IN_MULTICAST(host))
        return true;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return false;
    bool found = false;
    for (const ifaddrs* i = list; i != nullptr && !found; i = i->ifa_next) {
        if (i->ifa_addr == nullptr || i->ifa_netmask == nullptr || i->ifa_addr->sa_family != AF_INET)
            continue;
        const std::uint32_t address = reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr;
        const std::uint32_t mask = reinterpret_cast<const sockaddr_in*>(i->ifa_netmask)->sin_addr.s_addr;
        // The kernel gives every prefix shorter than /31 a broadcast address.
        found = ntohl(mask) < 0xFFFFFFFEu && addressNet == (address | ~mask);
    }
    ::freeifaddrs(list);
    return found;
}

void closeFd(int& fd)
{
    if (fd >= 0) {
        ::close(fd);
        fd = -1;
    }
}

} // namespace

bool UdpSocket::startLayer()
{
    return true;
}

std::vector<std::uint32_t> UdpSocket::hostAddresses()
{
    std::vector<std::uint32_t> addresses;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return addresses;
    for (const ifaddrs* i = list; i != nullptr; i = i->ifa_next) {
        if (i->ifa_addr != nullptr && i->ifa_addr->sa_family == AF_INET)
            addresses.push_back(reinterpret_cast<const sockaddr_in*>(i->ifa_addr)->sin_addr.s_addr);
    }
    ::freeifaddrs(list);
    return addresses;
}

UdpSocket::~UdpSocket()
{
    close();
}

UdpSocket::UdpSocket(UdpSocket&& other) noexcept
    : m_fd(std::exchange(other.m_fd, -1))
    , m_wakeFd(std::exchange(other.m_wakeFd, -1))
{}

UdpSocket& UdpSocket::operator=(UdpSocket&& other) noexcept
{
    if (this != &other) {
        close();
        m_fd = std::exchange(other.m_fd, -1);
        m_wakeFd = std::exchange(other.m_wakeFd, -1);
    }
    return *this;
}

bool UdpSocket::open()
{
    close();
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (m_fd < 0)
        return false;
    m_wakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (m_wakeFd < 0) {
        closeFd(m_fd);
        return false;
    }
    return true;
}

bool UdpSocket::bind(const Ipv4Endpoint& local)
{
    if (isBroadcastOrMulticast(local.addressNet))
        return false;
    const sockaddr_in addr = toSockaddr(local);
    return m_fd >= 0 && ::bind(m_fd, reinterpret_cast<const sockaddr*>(&addr), sizeof addr) == 0;
}

Ipv4Endpoint UdpSocket::localEndpoint() const
{
    sockaddr_in addr {};
    socklen_t len = sizeof addr;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0)
        return {};
    return fromSockaddr(addr);
}

void UdpSocket::sendTo(const char* data, std::size_t length, const Ipv4Endpoint& to) const
{
    if (m_fd < 0)
        return;
    const sockaddr_in addr = toSockaddr(to);
    // A full send queue drops this datagram instead of stalling the caller,
    // which may be the window or a receive thread that is being stopped.
    (void)::sendto(
        m_fd, data, length, MSG_DONTWAIT | MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&addr), sizeof addr);
}

UdpSocket::Received UdpSocket::receive(char* buffer, std::size_t capacity) const
{
    Received r;
    pollfd fds[2] = { { m_wakeFd, POLLIN, 0 }, { m_fd, POLLIN, 0 } };
    int ready = 0;
    do {
        ready = ::poll(fds, 2, -1);
    } while (ready < 0 && errno == EINTR);
    if (ready < 0)
        return r;
    if (fds[0].revents != 0) {
        r.status = Status::Interrupted;
        return r;
    }

    sockaddr_in from {};
    iovec iov { buffer, capacity };
    msghdr msg {};
    msg.msg_name = &from;
    msg.msg_namelen = sizeof from;
    msg.msg_iov = &iov;
    msg.msg_iovlen = 1;
    // The kernel flags a datagram that did not fit; it is consumed either way.
    const ssize_t n = ::recvmsg(m_fd, &msg, MSG_DONTWAIT);
    if (n < 0)
        return r;
    r.from = fromSockaddr(from);
    if (msg.msg_flags & MSG_TRUNC) {
        r.status = Status::Truncated;
    } else if (n == 0) {
        r.status = Status::Empty;
    } else {
        r.status = Status::Datagram;
        r.length = static_cast<std::size_t>(n);
    }
    return r;
}

bool UdpSocket::pause(std::chrono::microseconds duration) const
{
    // The pause paces every receive pass; the thread's default 50 us timer
    // slack would be added to each one.
    static thread_local const bool precise = ::prctl(PR_SET_TIMERSLACK, 1UL) == 0;
    (void)precise;
    // A timed sleep wakes up tens to hundreds of microseconds late (more on
    // a virtual machine), which would stretch every pass. So the sleep ends
    // this much early, and the rest is waited out awake, still watching for
    // interrupt(): the pause lasts its duration, at the cost of a little CPU.
    constexpr std::chrono::microseconds kAwakeTail { 200 };
    const auto deadline = std::chrono::steady_clock::now() + duration;
    pollfd fd { m_wakeFd, POLLIN, 0 };
    for (;;) {
        auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return false;
        left = left > kAwakeTail ? left - kAwakeTail : std::chrono::nanoseconds::zero();
        const timespec ts { static_cast<time_t>(left.count() / 1000000000),
            static_cast<long>(left.count() % 1000000000) };
        const int ready = ::ppoll(&fd, 1, &ts, nullptr);
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return false;
    }
}

void UdpSocket::interrupt() const
{
    if (m_wakeFd < 0)
        return;
    const std::uint64_t one = 1;
    // The counter is never read back, so the wake-up stays set for good.
    (void)!::write(m_wakeFd, &one, sizeof one);
}

void UdpSocket::close()
{
    closeFd(m_fd);
    closeFd(m_wakeFd);
}
