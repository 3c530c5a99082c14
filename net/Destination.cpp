#include "net/Destination.h"

namespace {

std::uint32_t hostOrder(std::uint32_t addressNet)
{
    const auto* b = reinterpret_cast<const unsigned char*>(&addressNet);
    return std::uint32_t(b[0]) << 24 | std::uint32_t(b[1]) << 16 | std::uint32_t(b[2]) << 8 | std::uint32_t(b[3]);
}

} // namespace

bool Destination::isSingleHost(const Ipv4Endpoint& to)
{
    if (to.port == 0)
        return false;
    const std::uint32_t a = hostOrder(to.addressNet);
    const bool multicast = (a & 0xF0000000u) == 0xE0000000u;
    return !multicast && a != 0xFFFFFFFFu && a != 0x7FFFFFFFu && a != 0;
}

bool Destination::isReflectorPort(std::uint16_t port)
{
    switch (port) {
    case 7:
    case 9:
    case 13:
    case 17:
    case 19:
    case 37:
        return true;
    default:
        return false;
    }
}
