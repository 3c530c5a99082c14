#include "text/AddressText.h"

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}
bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int digitValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return 99;
}

std::uint32_t toNetworkOrder(std::uint32_t host)
{
    std::uint32_t net = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(&net);
    bytes[0] = static_cast<unsigned char>(host >> 24);
    bytes[1] = static_cast<unsigned char>(host >> 16);
    bytes[2] = static_cast<unsigned char>(host >> 8);
    bytes[3] = static_cast<unsigned char>(host);
    return net;
}

} // namespace

std::uint32_t AddressText::toAddress(const std::string& text)
{
    // Parsing stops at an embedded zero byte, as it does for a C string.
    const std::string s = text.substr(0, text.find('\0'));
    std::uint64_t parts[4] = { 0, 0, 0, 0 };
    int count = 0;
    std::size_t i = 0;
    for (;;) {
        if (i >= s.size() || !isDigit(s[i]))
            return kNone;
        int base = 10;
        if (s[i] == '0') {
            // "0x" without a hex digit is the number 0 followed by a stray
            // 'x', as strtoul reads it, so the text is no address.
            if (i + 2 < s.size() && (s[i + 1] == 'x' || s[i + 1] == 'X') && digitValue(s[i + 2]) < 16) {
                base = 16;
                i += 2;
            } else {
                base = 8;
                ++i;
            }
        }
        std::uint64_t value = 0;
        while (i < s.size() && digitValue(s[i]) < base) {
            value = value * static_cast<std::uint64_t>(base) + static_cast<std::uint64_t>(digitValue(s[i]));
            if (value > 0xFFFFFFFFull)
                return kNone;
            ++i;
        }
        parts[count++] = value;
        if (i < s.size() && s[i] == '.') {
            if (count == 4)
                return kNone;
            ++i;
            continue;
        }
        break;
    }
    // Anything after the number must begin with white space.
    if (i < s.size() && !isSpace(s[i]))
        return kNone;

    std::uint64_t host = 0;
    switch (count) {
    case 1:
        host = parts[0];
        break;
    case 2:
        if (parts[0] > 0xFF || parts[1] > 0xFFFFFF)
            return kNone;
        host = (parts[0] << 24) | parts[1];
        break;
    case 3:
        if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFFFF)
            return kNone;
        host = (parts[0] << 24) | (parts[1] << 16) | parts[2];
        break;
    default:
        if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFF || parts[3] > 0xFF)
            return kNone;
        host = (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
        break;
    }
    return toNetworkOrder(static_cast<std::uint32_t>(host));
}
