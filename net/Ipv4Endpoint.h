#pragma once

#include <cstdint>

// An IPv4 address and port as the socket layer takes them. The address is
// kept in network byte order (as the address-text rule yields it), the port
// in host order; the socket layer converts.
struct Ipv4Endpoint {
    std::uint32_t addressNet = 0;
    std::uint16_t port = 0;

    friend bool operator==(const Ipv4Endpoint& a, const Ipv4Endpoint& b)
    {
        return a.addressNet == b.addressNet && a.port == b.port;
    }
    friend bool operator!=(const Ipv4Endpoint& a, const Ipv4Endpoint& b) { return !(a == b); }
};
