#pragma once

#include "net/Ipv4Endpoint.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <vector>

// One owning UDP socket handle (IPv4, blocking, no options), closed exactly
// once, paired with a wake-up signal so that another thread can end a
// blocked receive or pause at any moment. This is the only place that
// talks to the platform's socket layer.
class UdpSocket {
public:
    enum class Status {
        Datagram, // `length` bytes (1 or more) arrived from `from`
        Empty, // a datagram of length zero
        Truncated, // longer than the buffer: consumed and dropped whole
        Failed, // the receive failed
        Interrupted, // interrupt() was called
    };
    struct Received {
        Status status = Status::Failed;
        std::size_t length = 0;
        Ipv4Endpoint from;
    };

    // Starts the platform's socket layer; always succeeds where it needs no start.
    static bool startLayer();
    // This host's IPv4 interface addresses (network order), read afresh on
    // each call; empty when they cannot be read.
    static std::vector<std::uint32_t> hostAddresses();

    UdpSocket() = default;
    ~UdpSocket();
    UdpSocket(UdpSocket&& other) noexcept;
    UdpSocket& operator=(UdpSocket&& other) noexcept;
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    // Creates the socket (closing any held before). False, holding nothing, on failure.
    bool open();
    bool bind(const Ipv4Endpoint& local);
    // The address the socket is bound to (port 0 before any bind or send).
    Ipv4Endpoint localEndpoint() const;

    // Sends without waiting for room in the send queue; the result is not
    // reported. Does nothing on a closed socket.
    void sendTo(const char* data, std::size_t length, const Ipv4Endpoint& to) const;

    // Waits for one datagram of at most `capacity` bytes, or for interrupt().
    Received receive(char* buffer, std::size_t capacity) const;
    // Sleeps for `duration` or until interrupt(); true when interrupted.
    bool pause(std::chrono::microseconds duration) const;
    // Wakes receive() and pause() now and for good, from any thread.
    void interrupt() const;

    void close();

private:
    int m_fd = -1;
    int m_wakeFd = -1;
};
