#include "net/AddressText.h"
#include "net/PeerEntry.h"
#include "net/PortText.h"
#include "net/TextLimit.h"
#include "tests/support/FakeFieldOperations.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

namespace {

std::uint32_t net(std::uint32_t host)
{
    return htonl(host);
}

std::string bytes(const char* data, std::size_t n)
{
    return std::string(data, n);
}

// --- port text

struct PortCase {
    std::string text;
    std::uint16_t port;
};

void PrintTo(const PortCase& c, std::ostream* os)
{
    *os << '"' << c.text << "\" -> " << c.port;
}

class PortTextTest : public ::testing::TestWithParam<PortCase> { };

TEST_P(PortTextTest, ReadsLikeAtoiAndKeepsTheLow16Bits)
{
    EXPECT_EQ(PortText::toPort(GetParam().text), GetParam().port) << "text: \"" << GetParam().text << "\"";
}

INSTANTIATE_TEST_SUITE_P(Table, PortTextTest,
    ::testing::Values(PortCase { "3456", 3456 }, PortCase { "", 0 }, PortCase { "abc", 0 }, PortCase { "70000", 4464 },
        PortCase { " +3460x", 3460 }, PortCase { "\t\n\v\f\r 12", 12 }, PortCase { "65535", 65535 },
        PortCase { "65536", 0 }, PortCase { "-1", 65535 }, PortCase { "-65536", 0 }, PortCase { "-0", 0 },
        PortCase { "+-5", 0 }, PortCase { "- 5", 0 }, PortCase { "12 34", 12 }, PortCase { "0x10", 0 },
        PortCase { "00080", 80 },
        PortCase { "\xC2\xA0"
                   "5",
            0 },
        PortCase { bytes("7\0"
                         "8",
                       3),
            7 },
        // Beyond 32 bits the number keeps wrapping modulo 2^32.
        PortCase { "2147483648", 0 }, PortCase { "-2147483649", 65535 }, PortCase { "4294967296", 0 },
        PortCase { "4294967297", 1 }, PortCase { "-4294967297", 65535 }, PortCase { "123456789012", 6676 },
        PortCase { "99999999999999999999", 65535 }));

// Within int range the rule is the C runtime's atoi, low 16 bits.
TEST(PortText, AgreesWithAtoiWithinIntRange)
{
    for (const char* text : { "0", "1", "80", " 3456", "+3456", "-3456", "70000", "2147483647", "-2147483648",
             "  42abc", "x42", "-", "+", "", "\t-7 8" }) {
        EXPECT_EQ(PortText::toPort(text), static_cast<std::uint16_t>(std::atoi(text) & 0xFFFF)) << text;
    }
}

// --- address text

// Rows that hold whatever the C library does; the rest is checked against it below.
TEST(AddressText, ReadsDottedNotationWithoutNameLookup)
{
    EXPECT_EQ(AddressText::toAddress("127.0.0.1"), net(0x7F000001));
    EXPECT_EQ(AddressText::toAddress("127.1"), net(0x7F000001));
    EXPECT_EQ(AddressText::toAddress("0x7f.0.0.1"), net(0x7F000001));
    EXPECT_EQ(AddressText::toAddress("127.0.0.1 and more"), net(0x7F000001));
    for (const char* none : { "localhost", "", "256.0.0.1", "127.0.0.1x", "0x", "10.0.0.5:4000" })
        EXPECT_EQ(AddressText::toAddress(none), AddressText::kNone) << none;
}

// The reference is the C library's own inet_addr; every row must agree.
TEST(AddressText, AgreesWithInetAddr)
{
    const std::string inputs[] = {
        "127.0.0.1",
        "0.0.0.0",
        "255.255.255.255",
        "255.255.255.254",
        "localhost",
        "",
        " ",
        ".",
        "1.",
        ".1",
        "1..2",
        "1.2.3.",
        "1.2.3.4.",
        "1.2.3.4.5",
        "256.1.1.1",
        "1.256.1.1",
        "1.1.256.1",
        "1.1.1.256",
        "1.2.3",
        "1.2.65535",
        "1.2.65536",
        "1.16777215",
        "1.16777216",
        "4294967295",
        "4294967296",
        "99999999999999999999999",
        "0",
        "00",
        "0.0",
        "0x0",
        "0X7F000001",
        "0x7f.1",
        "0x7F.0x0.0X0.0x1",
        "0xFFFFFFFF",
        "0x100000000",
        "0xFFFFFFFFF",
        "0x00000000000000001",
        "017700000001",
        "0177.0.0.1",
        "0377.0377.0377.0377",
        "0400.0.0.1",
        "08.1.1.1",
        "1.2.3.08",
        "1.2.3.09",
        "1.2.3.010",
        "0x",
        "0X",
        "0x.1",
        "1.0x",
        "0x1.0x",
        "0x ",
        "0xg",
        "0x1g",
        "+1.2.3.4",
        "-1",
        "1.2.3.-4",
        "1.+2.3.4",
        " 1.2.3.4",
        "1.2.3.4 ",
        "1.2.3.4\tjunk",
        "1.2.3.4\n",
        "1.2.3.4\v",
        "1.2.3.4x",
        "1.2.3.4.x",
        "1.2.3.4:4000",
        "1 .2.3.4",
        "1. 2.3.4",
        "1.2.3.4\xC2\xA0",
        "\xEF\xBC\x91.2.3.4",
        "127.0.0.1/8",
        "a.b.c.d",
        "1e3",
        "1,2,3,4",
        bytes("1.2.3.4\0junk", 12),
        bytes("1.2\0.3.4", 8),
        bytes("\0"
              "1.2.3.4",
            8),
    };
    for (const std::string& text : inputs)
        EXPECT_EQ(AddressText::toAddress(text), ::inet_addr(text.c_str())) << "text: \"" << text << "\"";
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

// --- field read limit

struct LimitCase {
    std::string text;
    std::size_t size;
    std::string expected;
};

void PrintTo(const LimitCase& c, std::ostream* os)
{
    *os << c.text.size() << " bytes, size " << c.size;
}

class FieldReadLimitTest : public ::testing::TestWithParam<LimitCase> { };

TEST_P(FieldReadLimitTest, ReadsAtMostSizeMinusOneBytesOfWholeCharacters)
{
    FakeFieldOperations ops;
    ops.setField(IDC_CLIENT_MESSAGE, GetParam().text);
    const std::string read = ops.readField(IDC_CLIENT_MESSAGE, GetParam().size);
    EXPECT_EQ(read, GetParam().expected);
    EXPECT_LT(read.size(), std::max<std::size_t>(GetParam().size, 1));
}

const std::string kHan = "\xE4\xB8\xAD"; // 3 bytes
const std::string kAccent = "\xC3\xA9"; // 2 bytes
const std::string kEmoji = "\xF0\x9F\x98\x80"; // 4 bytes

INSTANTIATE_TEST_SUITE_P(Table, FieldReadLimitTest,
    ::testing::Values(LimitCase { "hello", 100, "hello" }, LimitCase { "hello", 6, "hello" },
        LimitCase { "hello", 5, "hell" }, LimitCase { "hello", 1, "" }, LimitCase { "hello", 0, "" },
        LimitCase { "", 100, "" }, LimitCase { std::string(150, 'r'), 100, std::string(99, 'r') },
        LimitCase { std::string(1500, 'm'), 1024, std::string(1023, 'm') },
        LimitCase { std::string(1020, 'a') + kHan, 1024, std::string(1020, 'a') + kHan },
        LimitCase { std::string(1021, 'a') + kHan, 1024, std::string(1021, 'a') },
        LimitCase { std::string(1022, 'a') + kHan, 1024, std::string(1022, 'a') },
        LimitCase { std::string(97, 'a') + kAccent + "z", 100, std::string(97, 'a') + kAccent },
        LimitCase { std::string(98, 'a') + kAccent, 100, std::string(98, 'a') }, LimitCase { kHan + kHan, 6, kHan },
        LimitCase { kHan, 3, "" }, LimitCase { kEmoji + "x", 5, kEmoji }, LimitCase { kEmoji, 4, "" },
        // Bytes that start no character are cut one by one, not lost together.
        LimitCase { "\xFF\xFE\xFD", 3, "\xFF\xFE" }, LimitCase { "\x80\x80\x80", 2, "\x80" },
        LimitCase { "a\xE4\xB8z", 3, "a\xE4" }));

TEST(TextLimit, DatagramTextEndsAtTheFirstZeroByte)
{
    EXPECT_EQ(TextLimit::datagramText("ab\0cd", 5), "ab");
    EXPECT_EQ(TextLimit::datagramText("\0xyz", 4), "");
    EXPECT_EQ(TextLimit::datagramText("abc", 3), "abc");
    const std::string full(1000, 'x');
    EXPECT_EQ(TextLimit::datagramText(full.data(), full.size()), full);
}

} // namespace
