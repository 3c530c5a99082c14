#pragma once

#include "net/Ipv4Endpoint.h"

#include <cstdint>
#include <functional>
#include <vector>

// Decides whether a datagram comes from the server's own socket, or says it
// does: echoing it would send it straight back to the server, which would
// echo it again, for ever.
class OwnAddress {
public:
    // This host's interface addresses, network order.
    using HostAddresses = std::function<std::vector<std::uint32_t>()>;

    // All of 127.0.0.0/8, 0.0.0.0 (Linux delivers a datagram sent to it
    // locally), and every interface address of the host.
    static bool isOwn(std::uint32_t addressNet, const std::vector<std::uint32_t>& hostAddresses);

    // The source port is `ownPort` and the source address is one of ours.
    // The interfaces are asked only when the port matches: that is rare, so
    // a normal datagram pays nothing, and an address added or removed at run
    // time counts from the next datagram on.
    static bool isFromItself(const Ipv4Endpoint& source, std::uint16_t ownPort, const HostAddresses& hostAddresses);
};
