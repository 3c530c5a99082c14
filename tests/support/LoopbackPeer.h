#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// A plain UDP socket of the test's own on a loopback address, standing in
// for a device or program on the other end. Every wait is bounded.
class LoopbackPeer {
public:
    struct Datagram {
        std::string bytes;
        std::string fromAddress;
        std::uint16_t fromPort = 0;
    };

    // Binds to address:port (port 0: any free port). Check ok() afterwards.
    explicit LoopbackPeer(const std::string& address = "127.0.0.1", std::uint16_t port = 0);
    ~LoopbackPeer();
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    bool ok() const { return m_fd >= 0; }
    std::uint16_t port() const;
    const std::string& address() const { return m_address; }
    // "address:port", as a listener names this sender.
    std::string name() const { return m_address + ":" + std::to_string(port()); }

    enum class Forged { Sent, NotPermitted, Failed };
    // Sends one UDP datagram with a made-up source through a raw socket.
    // Both ends must be loopback addresses. Needs CAP_NET_RAW (root):
    // NotPermitted without it.
    static Forged sendForged(const std::string& bytes, const std::string& fromAddress, std::uint16_t fromPort,
        const std::string& toAddress, std::uint16_t toPort);

    // Only loopback destinations are accepted; anything else is refused.
    bool sendTo(const std::string& bytes, std::uint16_t port, const std::string& address = "127.0.0.1") const;
    bool sendTo(
        const char* data, std::size_t length, std::uint16_t port, const std::string& address = "127.0.0.1") const;
    std::optional<Datagram> receive(std::chrono::milliseconds timeout) const;
    // True when nothing arrives within `quiet`.
    bool nothingWithin(std::chrono::milliseconds quiet) const { return !receive(quiet).has_value(); }

    // Blocks for one datagram and sends it straight back (a bare echo loop's
    // pass), calling `beforeEcho` in between if given. False once shutdown()
    // was called.
    bool echoOne(const std::function<void()>& beforeEcho = {}) const;
    // Wakes a blocked echoOne(), from any thread.
    void shutdown() const;

private:
    friend class PrivateNetwork;
    // The raw send itself: any source, a loopback destination.
    static Forged sendRaw(const std::string& bytes, const std::string& fromAddress, std::uint16_t fromPort,
        const std::string& toAddress, std::uint16_t toPort);

    int m_fd = -1;
    std::string m_address;
};
