#pragma once

#include "net/Ipv4Endpoint.h"

#include <cstdint>

// Where the program may send on its own account or at a user's reply: a
// pure rule on the address and port, with no system call, decided before
// every echo and reply.
class Destination {
public:
    // One host on one port: not multicast (224.0.0.0/4), not the limited
    // broadcast 255.255.255.255 nor the loopback net's 127.255.255.255, not
    // 0.0.0.0, and not port 0. Other subnets' broadcasts need no rule here:
    // the socket never has broadcast permission, so the kernel refuses them.
    static bool isSingleHost(const Ipv4Endpoint& to);

    // Source ports of the services that answer every datagram (echo 7,
    // discard 9, daytime 13, quote of the day 17, chargen 19, time 37), as
    // inetd-style servers rule: echoing to one of them starts a loop that
    // never ends.
    static bool isReflectorPort(std::uint16_t port);

    // An echo goes back only to a single host that is not a reflector.
    static bool mayEchoTo(const Ipv4Endpoint& source) { return isSingleHost(source) && !isReflectorPort(source.port); }
};
