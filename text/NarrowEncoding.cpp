#include "text/NarrowEncoding.h"

#include <langinfo.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <memory>

namespace {

const iconv_t kClosed = reinterpret_cast<iconv_t>(-1);
const std::size_t kFailed = static_cast<std::size_t>(-1);
const char kReplacement[] = "\xEF\xBF\xBD"; // U+FFFD
// No stateless codeset glibc knows has a longer character.
const std::size_t kLongestCharacter = 8;

// Codesets compared as glibc does: case and punctuation aside.
std::string normalised(const std::string& codeset)
{
    std::string key;
    for (const char c : codeset) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '.')
            key += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return key;
}

bool meansUtf8(const std::string& codeset)
{
    const std::string key = normalised(codeset);
    // ASCII is the C and POSIX locales' codeset: taken literally it would
    // leave every byte above 0x7F unreadable and typed Chinese unsendable.
    return key.empty() || key == "UTF8" || key == "ANSIX3.41968" || key == "ASCII" || key == "USASCII";
}

// Length of the well-formed UTF-8 sequence at text[i], or 1 when the byte
// there starts none (so invalid bytes are stepped over one at a time).
std::size_t utf8SequenceLength(const std::string& text, std::size_t i)
{
    const auto lead = static_cast<unsigned char>(text[i]);
    std::size_t n = 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        n = 2;
    else if (lead >= 0xE0 && lead <= 0xEF)
        n = 3;
    else if (lead >= 0xF0 && lead <= 0xF4)
        n = 4;
    if (n == 1 || i + n > text.size())
        return 1;
    for (std::size_t k = 1; k < n; ++k) {
        const auto c = static_cast<unsigned char>(text[i + k]);
        if ((c & 0xC0) != 0x80)
            return 1;
    }
    return n;
}

// Converts all of `in`; a sequence the converter refuses is replaced by
// `substitute` and stepped over by `skip(position)` bytes.
template <typename Skip> std::string convert(iconv_t cd, const std::string& in, const char* substitute, Skip skip)
{
    std::string out;
    out.reserve(in.size() + in.size() / 2);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char* from = const_cast<char*>(in.data());
    std::size_t fromLeft = in.size();
    char buffer[1024];
    auto flush = [&] {
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        iconv(cd, nullptr, nullptr, &to, &toLeft);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
    };
    while (fromLeft > 0) {
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        const std::size_t result = iconv(cd, &from, &fromLeft, &to, &toLeft);
        out.append(buffer, static_cast<std::size_t>(to - buffer));
        if (result == kFailed && errno != E2BIG) {
            // EILSEQ, or EINVAL for a sequence cut off by the end.
            flush();
            out += substitute;
            const std::size_t n = std::min(skip(static_cast<std::size_t>(from - in.data())), fromLeft);
            from += n;
            fromLeft -= n;
        }
    }
    flush();
    return out;
}

// True when some byte, converted on its own, is kept in the converter's
// state instead of being written out: what it stands for depends on the
// bytes after it (TSCII writes some vowel signs before their consonant, and
// composing converters hold a letter back for its accent). Such a codeset
// has no character boundaries to cut at byte by byte.
bool keepsBytesBack(iconv_t decoder)
{
    for (int c = 1; c < 0x100; ++c) {
        iconv(decoder, nullptr, nullptr, nullptr, nullptr);
        char byte = static_cast<char>(c);
        char* from = &byte;
        std::size_t fromLeft = 1;
        char buffer[64];
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        if (iconv(decoder, &from, &fromLeft, &to, &toLeft) == kFailed)
            continue;
        char* const written = to;
        iconv(decoder, nullptr, nullptr, &to, &toLeft);
        if (to != written)
            return true;
    }
    return false;
}

std::unique_ptr<NarrowEncoding>& processSlot()
{
    static std::unique_ptr<NarrowEncoding> encoding = std::make_unique<NarrowEncoding>("UTF-8");
    return encoding;
}

} // namespace

NarrowEncoding::NarrowEncoding(const std::string& codeset)
    : m_name("UTF-8")
    , m_decoder(kClosed)
    , m_encoder(kClosed)
{
    if (meansUtf8(codeset))
        return;
    m_decoder = iconv_open("UTF-8", codeset.c_str());
    m_encoder = iconv_open(codeset.c_str(), "UTF-8");
    m_utf8 = false;
    if (usable()) {
        m_name = codeset;
        return;
    }
    closeConverters();
    m_utf8 = true;
    m_fellBack = true;
}

NarrowEncoding::~NarrowEncoding()
{
    closeConverters();
}

void NarrowEncoding::closeConverters()
{
    if (m_decoder != kClosed)
        iconv_close(m_decoder);
    if (m_encoder != kClosed)
        iconv_close(m_encoder);
    m_decoder = m_encoder = kClosed;
}

// A stateless superset of ASCII: every ASCII byte is its own character both
// ways, no byte is held back for the ones after it, and no character leaves
// a shift state behind it.
bool NarrowEncoding::usable() const
{
    if (m_decoder == kClosed || m_encoder == kClosed || keepsBytesBack(m_decoder))
        return false;
    for (int c = 1; c < 0x80; ++c) {
        const std::string ascii(1, static_cast<char>(c));
        if (characterLength(ascii, 0) != 1 || decode(ascii) != ascii || encode(ascii) != ascii)
            return false;
    }
    for (const char* sample : { "\xC3\xA9", "\xE4\xBD\xA0", "\xD0\xB6", "\xCE\xB1", "\xE3\x81\x82" }) {
        const std::string bytes = encode(sample);
        if (bytes != "?" && encode(std::string(sample) + sample) != bytes + bytes)
            return false;
    }
    return true;
}

std::string NarrowEncoding::decode(const std::string& bytes) const
{
    if (m_utf8)
        return bytes;
    std::lock_guard<std::mutex> lock(m_mutex);
    return convert(m_decoder, bytes, kReplacement, [](std::size_t) { return std::size_t { 1 }; });
}

std::string NarrowEncoding::encode(const std::string& utf8) const
{
    if (m_utf8)
        return utf8;
    std::lock_guard<std::mutex> lock(m_mutex);
    // One '?' for each character, however many bytes it takes in UTF-8.
    return convert(m_encoder, utf8, "?", [&utf8](std::size_t at) { return utf8SequenceLength(utf8, at); });
}

std::size_t NarrowEncoding::characterLength(const std::string& bytes, std::size_t at) const
{
    if (m_utf8)
        return utf8SequenceLength(bytes, at);
    // The shortest run from `at` that converts on its own is one character;
    // a run the converter refuses, or one still incomplete at the longest a
    // character can be, starts none.
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::size_t longest = std::min(kLongestCharacter, bytes.size() - at);
    for (std::size_t n = 1; n <= longest; ++n) {
        iconv(m_decoder, nullptr, nullptr, nullptr, nullptr);
        char* from = const_cast<char*>(bytes.data() + at);
        std::size_t fromLeft = n;
        char buffer[64];
        char* to = buffer;
        std::size_t toLeft = sizeof buffer;
        if (iconv(m_decoder, &from, &fromLeft, &to, &toLeft) != kFailed)
            return n;
        if (errno != EINVAL)
            return 1;
    }
    return 1;
}

const NarrowEncoding& NarrowEncoding::process()
{
    return *processSlot();
}

void NarrowEncoding::adoptLocale()
{
    std::setlocale(LC_ALL, "");
    const std::string codeset = nl_langinfo(CODESET);
    processSlot() = std::make_unique<NarrowEncoding>(codeset);
    if (processSlot()->fellBack())
        std::fprintf(stderr, "quorlin: text encoding %s is not supported, using UTF-8\n", codeset.c_str());
}
