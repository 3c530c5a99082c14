#include "net/ServerEndpoint.h"

#include "net/Destination.h"
#include "net/FieldOperations.h"
#include "net/OwnAddress.h"
#include "net/PeerEntry.h"
#include "text/PortText.h"
#include "text/TextLimit.h"

#include <new>

ServerEndpoint::ServerEndpoint(FieldOperations& ops)
    : m_ops(ops)
{}

ServerEndpoint::~ServerEndpoint()
{
    m_serverThread.stop();
    m_serverSocket.close();
}

void ServerEndpoint::start()
{
    if (listening())
        return;
    try {
        startOrThrow();
    } catch (const std::bad_alloc&) {
        // Memory ran out, even for the error box: back to not started.
        m_serverThread.stop();
        m_serverSocket.close();
    }
}

void ServerEndpoint::startOrThrow()
{
    const Ipv4Endpoint local { 0, PortText::toPort(m_ops.readField(IDC_SERVER_PORT, 100)) };
    if (!m_serverSocket.open()) {
        m_ops.showError("can not create socket");
        return;
    }
    if (!m_serverSocket.bind(local)) {
        failStart("can not bind address");
        return;
    }
    m_ownPort = m_serverSocket.localEndpoint().port;
    const bool started = m_serverThread.start(m_serverSocket, m_ops,
        [this](const char* data, std::size_t length, const Ipv4Endpoint& from) { udplisten(data, length, from); });
    if (!started) {
        failStart("can not create udplisten thread");
        return;
    }
    m_ops.enableButton(IDC_SERVER_START, false);
    m_ops.enableButton(IDC_SERVER_STOP, true);
}

void ServerEndpoint::failStart(const char* message)
{
    // Keeping the socket would hold its port until the program ends.
    m_serverSocket.close();
    m_ops.showError(message);
}

void ServerEndpoint::stop()
{
    m_serverThread.stop();
    m_serverSocket.close();
    m_ops.enableButton(IDC_SERVER_STOP, false);
    m_ops.enableButton(IDC_SERVER_START, true);
}

void ServerEndpoint::udplisten(const char* data, std::size_t length, const Ipv4Endpoint& from)
{
    m_ops.appendLog(IDC_SERVER_LOG, TextLimit::datagramText(data, length));
    // An echo to our own address and port would come straight back here; one
    // to a group or a reflector service would be answered without end.
    if (m_ops.echoChecked() && Destination::mayEchoTo(from)
        && !OwnAddress::isFromItself(from, m_ownPort, &UdpSocket::hostAddresses))
        m_serverSocket.sendTo(data, length, from);
    m_ops.peerRegister(PeerEntry::format(from));
}

void ServerEndpoint::sendReply()
{
    const int selected = m_ops.peerSelection();
    if (selected == FieldOperations::kNone)
        return;
    const Ipv4Endpoint to = PeerEntry::parse(m_ops.peerText(selected));
    // Silent, like any failed send; a reflector is still answered when asked.
    if (!Destination::isSingleHost(to))
        return;
    const std::string reply = m_ops.readField(IDC_REPLY_MESSAGE, 100);
    m_serverSocket.sendTo(reply.data(), reply.size(), to);
}

void ServerEndpoint::deleteSelectedPeer()
{
    m_ops.peerDelete(m_ops.peerSelection());
}

void ServerEndpoint::deleteAllPeers()
{
    while (m_ops.peerCount() > 0)
        m_ops.peerDelete(0);
}
