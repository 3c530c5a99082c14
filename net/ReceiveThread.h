#pragma once

#include "net/Ipv4Endpoint.h"
#include "net/UdpSocket.h"

#include <chrono>
#include <cstddef>
#include <functional>
#include <thread>

class FieldOperations;

// The receive loop both sides share: one datagram of at most 1000 bytes per
// pass, then a 10 ms pause, until stopped. Over-long and empty datagrams and
// failed receives are skipped. Only what a pass does with a datagram differs
// between the sides.
class ReceiveThread {
public:
    static constexpr std::size_t kMaxDatagram = 1000;
    static constexpr std::chrono::milliseconds kPassPause { 10 };

    // Called on the receive thread with the payload (followed by a zero byte).
    using PassHandler = std::function<void(const char* data, std::size_t length, const Ipv4Endpoint& from)>;

    ReceiveThread() = default;
    ~ReceiveThread();
    ReceiveThread(const ReceiveThread&) = delete;
    ReceiveThread& operator=(const ReceiveThread&) = delete;

    // Starts the loop on `socket`; false when the thread cannot be created,
    // for whatever reason (no thread left, no memory for it).
    bool start(const UdpSocket& socket, FieldOperations& ops, PassHandler handler);
    // Ends the loop wherever it is (blocked receive, pause, or waiting for
    // the window) and joins it. Does nothing when not running.
    void stop();
    bool running() const { return m_thread.joinable(); }

private:
    static void run(const UdpSocket& socket, const PassHandler& handler);

    std::thread m_thread;
    const UdpSocket* m_socket = nullptr;
    FieldOperations* m_ops = nullptr;
};
