// The address-text rule against the socket layer's inet_addr, byte for
// byte: the same answer for any text, in network order.
#include "tests/fuzz/FuzzCheck.h"
#include "text/AddressText.h"

#include <arpa/inet.h>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    // Both stop at an embedded zero byte, as a C string does.
    FUZZ_CHECK(AddressText::toAddress(text) == ::inet_addr(text.c_str()));
    return 0;
}
