// The port-text rule against the C runtime's own reading of a number:
// wherever strtol's value fits an int (where atoi is defined), the port is
// its low 16 bits.
#include "tests/fuzz/FuzzCheck.h"
#include "text/PortText.h"

#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::uint16_t port = PortText::toPort(text);

    errno = 0;
    const long value = std::strtol(text.c_str(), nullptr, 10);
    if (errno == 0 && value >= INT_MIN && value <= INT_MAX)
        FUZZ_CHECK(port == static_cast<std::uint16_t>(static_cast<std::uint32_t>(value) & 0xFFFFu));
    // Reading stops at the first character that is not part of the number.
    FUZZ_CHECK(PortText::toPort(text + "x1") == port);
    return 0;
}
