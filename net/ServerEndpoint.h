#pragma once

#include "net/Ipv4Endpoint.h"
#include "net/ReceiveThread.h"
#include "net/UdpSocket.h"

#include <cstddef>
#include <cstdint>

class FieldOperations;

// The server side: a socket bound to the typed port on every local address,
// its receive thread `udplisten` (log, echo, sender registration), replies to
// a listed sender and upkeep of the sender list. Every method but udplisten
// runs on the window's thread.
class ServerEndpoint {
public:
    explicit ServerEndpoint(FieldOperations& ops);
    ~ServerEndpoint();
    ServerEndpoint(const ServerEndpoint&) = delete;
    ServerEndpoint& operator=(const ServerEndpoint&) = delete;

    // Out of memory even for the message, the Start is abandoned silently.
    void start();
    void stop();
    void sendReply();
    void deleteSelectedPeer();
    void deleteAllPeers();

    bool listening() const { return m_serverThread.running(); }
    // The bound address while a socket is held (tests read the chosen port).
    Ipv4Endpoint localEndpoint() const { return m_serverSocket.localEndpoint(); }

private:
    void startOrThrow();
    void failStart(const char* message);
    // One pass's work on a datagram, on the receive thread.
    void udplisten(const char* data, std::size_t length, const Ipv4Endpoint& from);

    FieldOperations& m_ops;
    UdpSocket m_serverSocket;
    // The bound port, set before udplisten starts and read by it.
    std::uint16_t m_ownPort = 0;
    ReceiveThread m_serverThread;
};
