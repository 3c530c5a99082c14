#pragma once

#include "tests/support/LoopbackPeer.h"

#include <cstdint>
#include <string>

// Moves the calling thread into a network namespace of its own, holding only
// `lo` (brought up), and back again when destroyed. Sockets and threads the
// caller creates meanwhile stay in it, so nothing they send can leave the
// machine: the place for datagrams with forged group or broadcast sources.
// Needs root (CAP_SYS_ADMIN); check ok().
class PrivateNetwork {
public:
    PrivateNetwork();
    ~PrivateNetwork();
    PrivateNetwork(const PrivateNetwork&) = delete;
    PrivateNetwork& operator=(const PrivateNetwork&) = delete;

    bool ok() const { return m_entered; }
    // A raw UDP datagram from any source to a loopback address; refused
    // (Failed) unless this namespace is entered.
    LoopbackPeer::Forged sendForged(const std::string& bytes, const std::string& fromAddress, std::uint16_t fromPort,
        const std::string& toAddress, std::uint16_t toPort) const;

private:
    int m_home = -1;
    bool m_entered = false;
};
