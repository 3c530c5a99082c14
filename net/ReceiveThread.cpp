#include "net/ReceiveThread.h"

#include "net/FieldOperations.h"

ReceiveThread::~ReceiveThread()
{
    stop();
}

bool ReceiveThread::start(const UdpSocket& socket, FieldOperations& ops, PassHandler handler)
{
    stop();
    m_socket = &socket;
    m_ops = &ops;
    ops.resumeWaits();
    try {
        m_thread = std::thread([&socket, handler = std::move(handler)] { run(socket, handler); });
    } catch (...) {
        // std::system_error when the system has no thread to give, and
        // std::bad_alloc when there is no memory for one or for its state;
        // the caller says so to the user either way.
        return false;
    }
    return true;
}

void ReceiveThread::stop()
{
    if (!m_thread.joinable())
        return;
    // Order matters: release a pending window call first, then wake the
    // socket, so the join below cannot wait on either.
    m_ops->cancelWaits();
    m_socket->interrupt();
    m_thread.join();
}

void ReceiveThread::run(const UdpSocket& socket, const PassHandler& handler)
{
    char buffer[kMaxDatagram + 1];
    for (;;) {
        const UdpSocket::Received r = socket.receive(buffer, kMaxDatagram);
        if (r.status == UdpSocket::Status::Interrupted)
            return;
        if (r.status == UdpSocket::Status::Datagram) {
            buffer[r.length] = '\0';
            handler(buffer, r.length, r.from);
        }
        if (socket.pause(kPassPause))
            return;
    }
}
