#include "net/OwnAddress.h"

#include <algorithm>
#include <cstring>

namespace {

// The first byte in memory is the first dotted number.
unsigned char firstOctet(std::uint32_t addressNet)
{
    unsigned char bytes[4];
    std::memcpy(bytes, &addressNet, sizeof bytes);
    return bytes[0];
}

} // namespace

bool OwnAddress::isOwn(std::uint32_t addressNet, const std::vector<std::uint32_t>& hostAddresses)
{
    if (addressNet == 0 || firstOctet(addressNet) == 127)
        return true;
    return std::find(hostAddresses.begin(), hostAddresses.end(), addressNet) != hostAddresses.end();
}

bool OwnAddress::isFromItself(const Ipv4Endpoint& source, std::uint16_t ownPort, const HostAddresses& hostAddresses)
{
    if (source.port != ownPort)
        return false;
    if (isOwn(source.addressNet, {}))
        return true;
    return hostAddresses && isOwn(source.addressNet, hostAddresses());
}
