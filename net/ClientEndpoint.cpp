#include "net/ClientEndpoint.h"

#include "net/FieldOperations.h"
#include "text/AddressText.h"
#include "text/PortText.h"
#include "text/TextLimit.h"

#include <new>

ClientEndpoint::ClientEndpoint(FieldOperations& ops)
    : m_ops(ops)
{}

ClientEndpoint::~ClientEndpoint()
{
    m_clientThread.stop();
    m_clientSocket.close();
}

void ClientEndpoint::start()
{
    if (running())
        return;
    try {
        startOrThrow();
    } catch (const std::bad_alloc&) {
        // Memory ran out, even for the error box: back to not started.
        m_clientThread.stop();
        m_clientSocket.close();
    }
}

void ClientEndpoint::startOrThrow()
{
    const Ipv4Endpoint local { AddressText::toAddress(m_ops.readField(IDC_DEST_IP, 32)), kLocalPort };
    if (!m_clientSocket.open()) {
        m_ops.showError("can not create client socket");
        return;
    }
    // Deliberately unchecked: when the destination is not an address of this
    // host the socket stays unbound and takes a port of the system's choice
    // at its first send, which is how the client talks to remote devices.
    (void)m_clientSocket.bind(local);
    const bool started = m_clientThread.start(m_clientSocket, m_ops,
        [this](const char* data, std::size_t length, const Ipv4Endpoint&) { clientrecv(data, length); });
    if (!started) {
        m_clientSocket.close();
        m_ops.showError("can not create thread clientrecv");
        return;
    }
    m_ops.enableButton(IDC_CLIENT_START, false);
    m_ops.enableButton(IDC_CLIENT_STOP, true);
}

void ClientEndpoint::send()
{
    Ipv4Endpoint to;
    to.addressNet = AddressText::toAddress(m_ops.readField(IDC_DEST_IP, 100));
    to.port = PortText::toPort(m_ops.readField(IDC_DEST_PORT, 100));
    const std::string message = m_ops.readField(IDC_CLIENT_MESSAGE, 1024);
    m_clientSocket.sendTo(message.data(), message.size(), to);
}

void ClientEndpoint::stop()
{
    m_clientThread.stop();
    m_clientSocket.close();
    m_ops.enableButton(IDC_CLIENT_STOP, false);
    m_ops.enableButton(IDC_CLIENT_START, true);
}

void ClientEndpoint::clientrecv(const char* data, std::size_t length)
{
    m_ops.appendLog(IDC_CLIENT_LOG, TextLimit::datagramText(data, length));
}
