#include "text/AddressText.h"
#include "text/NarrowEncoding.h"
#include "text/PortText.h"
#include "text/TextLimit.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>
#include <map>
#include <memory>

namespace {

std::uint32_t net(std::uint32_t host)
{
    return htonl(host);
}

std::string bytes(const char* data, std::size_t n)
{
    return std::string(data, n);
}

// One converter per encoding for the whole run, as the program holds one.
const NarrowEncoding& encoding(const std::string& name)
{
    static std::map<std::string, std::unique_ptr<NarrowEncoding>> open;
    auto& slot = open[name];
    if (!slot)
        slot = std::make_unique<NarrowEncoding>(name);
    return *slot;
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

class PortTextTest : public ::testing::TestWithParam<PortCase> {};

// Within int range the rule is the C runtime's atoi, low 16 bits; beyond it
// the number keeps wrapping modulo 2^32.
TEST_P(PortTextTest, ReadsLikeAtoiAndKeepsTheLow16Bits)
{
    const std::string& text = GetParam().text;
    EXPECT_EQ(PortText::toPort(text), GetParam().port) << "text: \"" << text << "\"";
    const long long wide = std::strtoll(text.c_str(), nullptr, 10);
    if (wide >= std::numeric_limits<int>::min() && wide <= std::numeric_limits<int>::max()) {
        EXPECT_EQ(PortText::toPort(text), static_cast<std::uint16_t>(std::atoi(text.c_str()) & 0xFFFF)) << text;
    }
}

INSTANTIATE_TEST_SUITE_P(Table, PortTextTest,
    ::testing::Values(PortCase { "3456", 3456 }, PortCase { "", 0 }, PortCase { "abc", 0 }, PortCase { "70000", 4464 },
        PortCase { " +3460x", 3460 }, PortCase { "\t\n\v\f\r 12", 12 }, PortCase { "65535", 65535 },
        PortCase { "65536", 0 }, PortCase { "-1", 65535 }, PortCase { "-65536", 0 }, PortCase { "-0", 0 },
        PortCase { "+-5", 0 }, PortCase { "- 5", 0 }, PortCase { "12 34", 12 }, PortCase { "0x10", 0 },
        PortCase { "00080", 80 }, PortCase { "-3456", 62080 }, PortCase { "x42", 0 }, PortCase { "-", 0 },
        PortCase { "+", 0 }, PortCase { "\t-7 8", 65529 }, PortCase { "  42abc", 42 }, PortCase { "2147483647", 65535 },
        PortCase { "-2147483648", 0 },
        PortCase { "\xC2\xA0"
                   "5",
            0 },
        PortCase { bytes("7\0"
                         "8",
                       3),
            7 },
        PortCase { "2147483648", 0 }, PortCase { "-2147483649", 65535 }, PortCase { "4294967296", 0 },
        PortCase { "4294967297", 1 }, PortCase { "-4294967297", 65535 }, PortCase { "123456789012", 6676 },
        PortCase { "99999999999999999999", 65535 }));

// A field's text reaches the port and address rules as its bytes in the
// encoding: a character outside ASCII is never a digit or a dot, even where
// its bytes hold some, and one the encoding lacks is a '?'.
struct FieldTextCase {
    const char* encoding;
    const char* text; // UTF-8, as typed
    std::uint16_t port;
    std::uint32_t addressNet;
};

void PrintTo(const FieldTextCase& c, std::ostream* os)
{
    *os << c.encoding << " \"" << c.text << '"';
}

class FieldTextTest : public ::testing::TestWithParam<FieldTextCase> {};

TEST_P(FieldTextTest, PortAndAddressAreReadFromTheEncodedBytes)
{
    const std::string bytes = encoding(GetParam().encoding).encode(GetParam().text);
    EXPECT_EQ(PortText::toPort(bytes), GetParam().port);
    EXPECT_EQ(AddressText::toAddress(bytes), GetParam().addressNet);
}

INSTANTIATE_TEST_SUITE_P(Table, FieldTextTest,
    ::testing::Values(FieldTextCase { "UTF-8", "127.0.0.1", 127, net(0x7F000001) },
        FieldTextCase { "GB18030", "127.0.0.1", 127, net(0x7F000001) },
        // U+0080 is 81 30 81 30 in GB18030.
        FieldTextCase { "GB18030", "5\u0080", 5, AddressText::kNone },
        FieldTextCase { "GB18030",
            "\u0080"
            "5",
            0, AddressText::kNone },
        FieldTextCase { "GB18030", "\uFF15", 0, AddressText::kNone }, // full-width 5
        FieldTextCase { "GBK", "12\U00020000", 12, AddressText::kNone },
        FieldTextCase { "GBK", "10.0.0.1\U00020000", 10, AddressText::kNone },
        FieldTextCase { "ISO-8859-1",
            "\u00A0"
            "5",
            0, AddressText::kNone },
        FieldTextCase { "BIG5", "4000\u4F60", 4000, AddressText::kNone }));

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

// --- the narrow encoding

struct CodesetCase {
    const char* codeset; // as nl_langinfo(CODESET) gives it
    const char* used;
    bool fellBack;
};

void PrintTo(const CodesetCase& c, std::ostream* os)
{
    *os << '"' << c.codeset << '"';
}

class CodesetTest : public ::testing::TestWithParam<CodesetCase> {};

TEST_P(CodesetTest, UsesTheCodesetUnlessItIsAsciiOrNotAStatelessSupersetOfAscii)
{
    const NarrowEncoding chosen(GetParam().codeset);
    EXPECT_EQ(chosen.name(), GetParam().used);
    EXPECT_EQ(chosen.isUtf8(), std::string(GetParam().used) == "UTF-8");
    EXPECT_EQ(chosen.fellBack(), GetParam().fellBack);
}

INSTANTIATE_TEST_SUITE_P(Table, CodesetTest,
    ::testing::Values(CodesetCase { "UTF-8", "UTF-8", false }, CodesetCase { "utf8", "UTF-8", false },
        // The C and POSIX locales.
        CodesetCase { "ANSI_X3.4-1968", "UTF-8", false }, CodesetCase { "", "UTF-8", false },
        CodesetCase { "GB18030", "GB18030", false }, CodesetCase { "GBK", "GBK", false },
        CodesetCase { "BIG5", "BIG5", false }, CodesetCase { "EUC-JP", "EUC-JP", false },
        CodesetCase { "ISO-8859-1", "ISO-8859-1", false }, CodesetCase { "KOI8-R", "KOI8-R", false },
        CodesetCase { "ISO-2022-JP", "UTF-8", true }, CodesetCase { "ISO-2022-KR", "UTF-8", true },
        CodesetCase { "UTF-7", "UTF-8", true }, CodesetCase { "TSCII", "UTF-8", true },
        CodesetCase { "UTF-16", "UTF-8", true }, CodesetCase { "EBCDIC-US", "UTF-8", true },
        CodesetCase { "NO-SUCH-CODESET", "UTF-8", true }));

struct ConversionCase {
    const char* encoding;
    std::string bytes;
    std::string utf8;
};

void PrintTo(const ConversionCase& c, std::ostream* os)
{
    *os << c.encoding << ", " << c.bytes.size() << " bytes";
}

// Bytes to text: every byte that starts no character is one U+FFFD, and
// decoding goes on after it. UTF-8 bytes are left to the window's decoder.
class DecodeTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(DecodeTest, DecodesWithOneReplacementPerBadByte)
{
    EXPECT_EQ(encoding(GetParam().encoding).decode(GetParam().bytes), GetParam().utf8);
}

const std::string kFffd = "\xEF\xBF\xBD";

INSTANTIATE_TEST_SUITE_P(Table, DecodeTest,
    ::testing::Values(ConversionCase { "UTF-8", "ok\xFF\xC3", "ok\xFF\xC3" }, ConversionCase { "GB18030", "", "" },
        ConversionCase { "GB18030", "\xC4\xE3\xBA\xC3", "你好" },
        ConversionCase { "GB18030", "\x81\x30\x81\x30", "\xC2\x80" },
        ConversionCase { "GB18030", "\x95\x32\x82\x36", "\xF0\xA0\x80\x80" },
        ConversionCase { "GB18030", "\x81\x20z", kFffd + " z" }, ConversionCase { "GB18030", "\xFF", kFffd },
        ConversionCase { "GB18030", "a\x81\x30", "a" + kFffd + "0" }, ConversionCase { "GB18030", "\xC4", kFffd },
        ConversionCase { "GBK", "\xC4\xE3", "你" },
        ConversionCase { "GBK", "\x81\x30\x81\x30", kFffd + "0" + kFffd + "0" },
        ConversionCase { "BIG5", "\xA7\x41\xA6\x6E", "你好" },
        ConversionCase { "ISO-8859-1", "caf\xE9 \xFF", "café ÿ" }));

// Text to bytes: a character the encoding lacks is one '?'.
class EncodeTest : public ::testing::TestWithParam<ConversionCase> {};

TEST_P(EncodeTest, EncodesWithOneQuestionMarkPerMissingCharacter)
{
    EXPECT_EQ(encoding(GetParam().encoding).encode(GetParam().utf8), GetParam().bytes);
}

INSTANTIATE_TEST_SUITE_P(Table, EncodeTest,
    ::testing::Values(ConversionCase { "UTF-8", "\xE4\xBD\xA0", "你" },
        ConversionCase { "GB18030", "\xC4\xE3\xBA\xC3", "你好" },
        ConversionCase { "GB18030", "\x81\x30\x81\x30", "\xC2\x80" },
        ConversionCase { "GB18030", "\x95\x32\x82\x36", "\xF0\xA0\x80\x80" },
        ConversionCase { "GBK", "a?b",
            "a\xF0\xA0\x80\x80"
            "b" },
        ConversionCase { "GBK", "\xC4\xE3?", "你😀" }, ConversionCase { "BIG5", "\xA7\x41\xA6\x6E", "你好" },
        ConversionCase { "ISO-8859-1", "\xE9??x", "é你😀x" }));

// --- whole-character cut

struct CutCase {
    const char* encoding;
    std::string text;
    std::size_t maxBytes;
    std::string expected;
};

void PrintTo(const CutCase& c, std::ostream* os)
{
    *os << c.encoding << ", " << c.text.size() << " bytes cut to " << c.maxBytes;
}

class CutTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(CutTest, KeepsTheLongestPrefixOfWholeCharactersThatFits)
{
    const CutCase& c = GetParam();
    EXPECT_EQ(TextLimit::cutToWholeCharacters(c.text, c.maxBytes, encoding(c.encoding)), c.expected);
}

const std::string kHan = "\xE4\xB8\xAD"; // 3 bytes in UTF-8
const std::string kAccent = "\xC3\xA9"; // 2 bytes
const std::string kEmoji = "\xF0\x9F\x98\x80"; // 4 bytes
const std::string kNi = "\xC4\xE3"; // 你 in GB18030 and GBK
const std::string kU0080 = "\x81\x30\x81\x30"; // four bytes in GB18030, two of them digits
const std::string kKao = "\x81\x40"; // 丂 in GB18030 and GBK: its trail byte is '@'

INSTANTIATE_TEST_SUITE_P(Utf8, CutTest,
    ::testing::Values(CutCase { "UTF-8", "hello", 99, "hello" }, CutCase { "UTF-8", "hello", 5, "hello" },
        CutCase { "UTF-8", "hello", 4, "hell" }, CutCase { "UTF-8", "hello", 0, "" }, CutCase { "UTF-8", "", 99, "" },
        CutCase { "UTF-8", std::string(1500, 'm'), 1023, std::string(1023, 'm') },
        CutCase { "UTF-8", std::string(1020, 'a') + kHan, 1023, std::string(1020, 'a') + kHan },
        CutCase { "UTF-8", std::string(1021, 'a') + kHan, 1023, std::string(1021, 'a') },
        CutCase { "UTF-8", std::string(1022, 'a') + kHan, 1023, std::string(1022, 'a') },
        CutCase { "UTF-8", std::string(97, 'a') + kAccent + "z", 99, std::string(97, 'a') + kAccent },
        CutCase { "UTF-8", std::string(98, 'a') + kAccent, 99, std::string(98, 'a') },
        CutCase { "UTF-8", kHan + kHan, 5, kHan }, CutCase { "UTF-8", kHan, 2, "" },
        CutCase { "UTF-8", kEmoji + "x", 4, kEmoji }, CutCase { "UTF-8", kEmoji, 3, "" },
        // Bytes that start no character are cut one by one, not lost together.
        CutCase { "UTF-8", "\xFF\xFE\xFD", 2, "\xFF\xFE" }, CutCase { "UTF-8", "\x80\x80\x80", 1, "\x80" },
        CutCase { "UTF-8", "a\xE4\xB8z", 2, "a\xE4" }));

INSTANTIATE_TEST_SUITE_P(MultiByte, CutTest,
    ::testing::Values(CutCase { "GB18030", kNi + "\xBA\xC3", 3, kNi }, CutCase { "GB18030", kNi, 1, "" },
        CutCase { "GB18030", std::string(1021, 'a') + kNi, 1023, std::string(1021, 'a') + kNi },
        CutCase { "GB18030", std::string(1022, 'a') + kNi, 1023, std::string(1022, 'a') },
        CutCase { "GB18030", std::string(95, 'a') + kU0080, 99, std::string(95, 'a') + kU0080 },
        CutCase { "GB18030", std::string(96, 'a') + kU0080, 99, std::string(96, 'a') },
        CutCase { "GB18030", kU0080 + "x", 4, kU0080 }, CutCase { "GB18030", kU0080, 3, "" },
        // A trail byte that reads as ASCII ends no character.
        CutCase { "GB18030", "a" + kKao, 2, "a" }, CutCase { "GB18030", kKao + kKao, 3, kKao },
        CutCase { "GB18030", "\x81\x20z", 2, "\x81\x20" }, CutCase { "GB18030", "\x81\x30\x81", 2, "\x81\x30" },
        CutCase { "GB18030", "\xFF\xFF\xFF", 2, "\xFF\xFF" },
        CutCase { "GBK", std::string(1022, 'a') + kNi, 1023, std::string(1022, 'a') },
        CutCase { "GBK", "a" + kKao, 2, "a" },
        // GBK has no four-byte form: each of these bytes stands alone.
        CutCase { "GBK", kU0080, 3, "\x81\x30\x81" }, CutCase { "BIG5", "\xA7\x41\xA6\x6E", 3, "\xA7\x41" },
        CutCase { "BIG5", "a\xA7\x41", 2, "a" }, CutCase { "ISO-8859-1", "caf\xE9", 3, "caf" },
        CutCase { "ISO-8859-1", "\xE9\xE9", 1, "\xE9" }));

// --- datagram text

struct ZeroCase {
    std::string payload;
    std::string text;
};

class DatagramTextTest : public ::testing::TestWithParam<ZeroCase> {};

TEST_P(DatagramTextTest, EndsAtTheFirstZeroByte)
{
    const std::string& payload = GetParam().payload;
    EXPECT_EQ(TextLimit::datagramText(payload.data(), payload.size()), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(Table, DatagramTextTest,
    ::testing::Values(ZeroCase { bytes("ab\0cd", 5), "ab" }, ZeroCase { bytes("\0xyz", 4), "" },
        ZeroCase { "abc", "abc" }, ZeroCase { std::string(1000, 'x'), std::string(1000, 'x') },
        // A zero is a zero in every supported encoding, even after a lead byte.
        ZeroCase { bytes("\xC4\0\xE3", 3), "\xC4" }));

} // namespace
