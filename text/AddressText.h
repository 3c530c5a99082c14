#pragma once

#include <cstdint>
#include <string>

// An IPv4 address typed into a field, read as the socket layer's inet_addr
// reads it: dotted notation with one to four parts, each decimal, octal
// (leading 0) or hexadecimal (leading 0x), the last part filling the
// remaining bytes; no name lookup, so "localhost" is no address. Returns the
// address in network byte order, or kNone (255.255.255.255) for text that
// is not an address.
class AddressText {
public:
    static constexpr std::uint32_t kNone = 0xFFFFFFFFu;

    static std::uint32_t toAddress(const std::string& text);
};
