// Peer entries: any sender formats as dotted address, colon, decimal port,
// within 21 characters, and parses back to itself; parsing any text at all
// finishes and splits at the first colon.
#include "net/PeerEntry.h"
#include "tests/fuzz/FuzzCheck.h"
#include "text/AddressText.h"
#include "text/PortText.h"

#include <arpa/inet.h>
#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size >= 6) {
        Ipv4Endpoint sender;
        std::memcpy(&sender.addressNet, data, 4);
        sender.port = static_cast<std::uint16_t>(data[4] << 8 | data[5]);
        const std::string entry = PeerEntry::format(sender);
        FUZZ_CHECK(entry.size() <= 21);
        in_addr a {};
        a.s_addr = sender.addressNet;
        FUZZ_CHECK(entry == std::string(::inet_ntoa(a)) + ":" + std::to_string(sender.port));
        FUZZ_CHECK(PeerEntry::parse(entry) == sender);
    }

    const std::string text(reinterpret_cast<const char*>(data), size);
    const Ipv4Endpoint parsed = PeerEntry::parse(text);
    const auto colon = text.find(':');
    FUZZ_CHECK(parsed.addressNet == AddressText::toAddress(text.substr(0, colon)));
    FUZZ_CHECK(parsed.port == (colon == std::string::npos ? 0 : PortText::toPort(text.substr(colon + 1))));
    return 0;
}
