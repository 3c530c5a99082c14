#include "net/PeerEntry.h"

#include "text/AddressText.h"
#include "text/PortText.h"

std::string PeerEntry::format(const Ipv4Endpoint& sender)
{
    const auto* bytes = reinterpret_cast<const unsigned char*>(&sender.addressNet);
    std::string entry;
    entry.reserve(21);
    for (int i = 0; i < 4; ++i) {
        if (i > 0)
            entry += '.';
        entry += std::to_string(bytes[i]);
    }
    entry += ':';
    entry += std::to_string(sender.port);
    return entry;
}

Ipv4Endpoint PeerEntry::parse(const std::string& entry)
{
    const auto colon = entry.find(':');
    Ipv4Endpoint to;
    to.addressNet = AddressText::toAddress(entry.substr(0, colon));
    to.port = colon == std::string::npos ? 0 : PortText::toPort(entry.substr(colon + 1));
    return to;
}
