#pragma once

#include "net/Ipv4Endpoint.h"

#include <string>

// The peer list's name for a sender: dotted address, a colon, the port in
// decimal, e.g. "127.0.0.1:50001".
class PeerEntry {
public:
    static std::string format(const Ipv4Endpoint& sender);

    // Splits at the first colon: the address text before it, the port text
    // after it, each read by its text rule. Text without a colon is all
    // address and port 0.
    static Ipv4Endpoint parse(const std::string& entry);
};
