#include "net/PeerEntry.h"
#include "tests/support/FakeFieldOperations.h"
#include "text/AddressText.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

// The text rules the net layer adds on top of the text library's: the
// peer list's name for a sender, and a field read through the window.
namespace {

std::uint32_t net(std::uint32_t host)
{
    return htonl(host);
}

// --- peer entry

TEST(PeerEntry, WritesDottedAddressColonPortAndReadsItBack)
{
    const struct {
        Ipv4Endpoint endpoint;
        const char* text;
    } written[] = {
        { { net(0x7F000001), 50001 }, "127.0.0.1:50001" },
        { { net(0xC0A80114), 4000 }, "192.168.1.20:4000" },
        { { 0, 0 }, "0.0.0.0:0" },
        { { 0xFFFFFFFFu, 65535 }, "255.255.255.255:65535" },
    };
    for (const auto& row : written) {
        EXPECT_EQ(PeerEntry::format(row.endpoint), row.text);
        EXPECT_TRUE(PeerEntry::parse(row.text) == row.endpoint) << row.text;
    }
    // Split at the first colon, each half read by its own rule.
    const struct {
        const char* text;
        Ipv4Endpoint endpoint;
    } read[] = {
        { "127.0.0.1", { net(0x7F000001), 0 } },
        { "127.0.0.1:70000", { net(0x7F000001), 4464 } },
        { "127.0.0.1:12:34", { net(0x7F000001), 12 } },
        { ":3456", { AddressText::kNone, 3456 } },
    };
    for (const auto& row : read)
        EXPECT_TRUE(PeerEntry::parse(row.text) == row.endpoint) << row.text;
}

// A field is read as into a buffer of `size` bytes, in the process's encoding.
TEST(FieldReadLimit, ReadsAtMostSizeMinusOneBytes)
{
    FakeFieldOperations ops;
    ops.setField(IDC_CLIENT_MESSAGE, "hello");
    EXPECT_EQ(ops.readField(IDC_CLIENT_MESSAGE, 6), "hello");
    EXPECT_EQ(ops.readField(IDC_CLIENT_MESSAGE, 5), "hell");
    EXPECT_EQ(ops.readField(IDC_CLIENT_MESSAGE, 1), "");
    EXPECT_EQ(ops.readField(IDC_CLIENT_MESSAGE, 0), "");
}

} // namespace
