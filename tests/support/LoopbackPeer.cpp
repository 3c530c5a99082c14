#include "tests/support/LoopbackPeer.h"

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/ip.h>
#include <netinet/udp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

bool isLoopback(const std::string& address)
{
    in_addr a {};
    return inet_pton(AF_INET, address.c_str(), &a) == 1 && (ntohl(a.s_addr) >> 24) == 127;
}

} // namespace

LoopbackPeer::LoopbackPeer(const std::string& address, std::uint16_t port)
    : m_address(address)
{
    if (!isLoopback(address))
        return;
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    if (m_fd >= 0 && ::bind(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

LoopbackPeer::~LoopbackPeer()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

std::uint16_t LoopbackPeer::port() const
{
    sockaddr_in a {};
    socklen_t len = sizeof a;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
        return 0;
    return ntohs(a.sin_port);
}

bool LoopbackPeer::sendTo(const std::string& bytes, std::uint16_t port, const std::string& address) const
{
    return sendTo(bytes.data(), bytes.size(), port, address);
}

bool LoopbackPeer::sendTo(const char* data, std::size_t length, std::uint16_t port, const std::string& address) const
{
    if (m_fd < 0 || !isLoopback(address))
        return false;
    sockaddr_in a {};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    inet_pton(AF_INET, address.c_str(), &a.sin_addr);
    return ::sendto(m_fd, data, length, 0, reinterpret_cast<sockaddr*>(&a), sizeof a) == static_cast<ssize_t>(length);
}

LoopbackPeer::Forged LoopbackPeer::sendForged(const std::string& bytes, const std::string& fromAddress,
    std::uint16_t fromPort, const std::string& toAddress, std::uint16_t toPort)
{
    if (!isLoopback(fromAddress))
        return Forged::Failed;
    return sendRaw(bytes, fromAddress, fromPort, toAddress, toPort);
}

LoopbackPeer::Forged LoopbackPeer::sendRaw(const std::string& bytes, const std::string& fromAddress,
    std::uint16_t fromPort, const std::string& toAddress, std::uint16_t toPort)
{
    in_addr source {};
    if (inet_pton(AF_INET, fromAddress.c_str(), &source) != 1 || !isLoopback(toAddress) || bytes.size() > 1400)
        return Forged::Failed;
    const int fd = ::socket(AF_INET, SOCK_RAW | SOCK_CLOEXEC, IPPROTO_RAW);
    if (fd < 0)
        return errno == EPERM || errno == EACCES ? Forged::NotPermitted : Forged::Failed;

    // IPPROTO_RAW: we write the IP header; the kernel fills in its checksum.
    // A UDP checksum of zero means "none" over IPv4.
    char packet[sizeof(iphdr) + sizeof(udphdr) + 1400] = {};
    const std::size_t total = sizeof(iphdr) + sizeof(udphdr) + bytes.size();
    iphdr ip {};
    ip.version = 4;
    ip.ihl = sizeof(iphdr) / 4;
    ip.ttl = 64;
    ip.protocol = IPPROTO_UDP;
    ip.tot_len = htons(static_cast<std::uint16_t>(total));
    inet_pton(AF_INET, fromAddress.c_str(), &ip.saddr);
    inet_pton(AF_INET, toAddress.c_str(), &ip.daddr);
    udphdr udp {};
    udp.source = htons(fromPort);
    udp.dest = htons(toPort);
    udp.len = htons(static_cast<std::uint16_t>(sizeof(udphdr) + bytes.size()));
    std::memcpy(packet, &ip, sizeof ip);
    std::memcpy(packet + sizeof ip, &udp, sizeof udp);
    std::memcpy(packet + sizeof ip + sizeof udp, bytes.data(), bytes.size());

    sockaddr_in to {};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = ip.daddr;
    const ssize_t n = ::sendto(fd, packet, total, 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
    ::close(fd);
    return n == static_cast<ssize_t>(total) ? Forged::Sent : Forged::Failed;
}

std::optional<LoopbackPeer::Datagram> LoopbackPeer::receive(std::chrono::milliseconds timeout) const
{
    if (m_fd < 0)
        return std::nullopt;
    pollfd p { m_fd, POLLIN, 0 };
    if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
        return std::nullopt;
    char buffer[65536];
    sockaddr_in from {};
    socklen_t len = sizeof from;
    const ssize_t n = ::recvfrom(m_fd, buffer, sizeof buffer, MSG_DONTWAIT, reinterpret_cast<sockaddr*>(&from), &len);
    if (n < 0)
        return std::nullopt;
    Datagram d;
    d.bytes.assign(buffer, static_cast<std::size_t>(n));
    char text[INET_ADDRSTRLEN] = {};
    inet_ntop(AF_INET, &from.sin_addr, text, sizeof text);
    d.fromAddress = text;
    d.fromPort = ntohs(from.sin_port);
    return d;
}

bool LoopbackPeer::echoOne(const std::function<void()>& beforeEcho) const
{
    char buffer[2048];
    sockaddr_in from {};
    socklen_t len = sizeof from;
    const ssize_t n = ::recvfrom(m_fd, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &len);
    // After shutdown() every receive returns 0 at once.
    if (n <= 0)
        return false;
    if (beforeEcho)
        beforeEcho();
    if ((ntohl(from.sin_addr.s_addr) >> 24) == 127)
        ::sendto(m_fd, buffer, static_cast<std::size_t>(n), 0, reinterpret_cast<sockaddr*>(&from), len);
    return true;
}

void LoopbackPeer::shutdown() const
{
    ::shutdown(m_fd, SHUT_RDWR);
}
