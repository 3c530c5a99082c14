#pragma once

#include "net/Ipv4Endpoint.h"
#include "net/ReceiveThread.h"
#include "net/UdpSocket.h"

#include <cstddef>
#include <cstdint>

class FieldOperations;

// The client side: a socket bound to local port 50001 at the destination
// address typed at Start, sends typed messages to the destination and logs
// what comes back through its receive thread `clientrecv`. Every method but
// clientrecv runs on the window's thread.
class ClientEndpoint {
public:
    static constexpr std::uint16_t kLocalPort = 50001;

    explicit ClientEndpoint(FieldOperations& ops);
    ~ClientEndpoint();
    ClientEndpoint(const ClientEndpoint&) = delete;
    ClientEndpoint& operator=(const ClientEndpoint&) = delete;

    // Out of memory even for the message, the Start is abandoned silently.
    void start();
    void send();
    void stop();

    bool running() const { return m_clientThread.running(); }
    Ipv4Endpoint localEndpoint() const { return m_clientSocket.localEndpoint(); }

private:
    void startOrThrow();
    void clientrecv(const char* data, std::size_t length);

    FieldOperations& m_ops;
    UdpSocket m_clientSocket;
    ReceiveThread m_clientThread;
};
