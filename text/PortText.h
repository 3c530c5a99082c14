#pragma once

#include <cstdint>
#include <string>

// A port typed into a field, read as the C runtime's atoi reads a number:
// leading white space, an optional sign, then decimal digits up to the first
// other character (none gives 0). The port is the low 16 bits, unchecked, so
// "70000" is 4464 and "-1" is 65535. Longer digit strings keep wrapping
// modulo 2^32 rather than overflowing, so the port is always the number
// modulo 65536.
class PortText {
public:
    static std::uint16_t toPort(const std::string& text);
};
