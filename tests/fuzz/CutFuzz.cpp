// The character-safe cut: a prefix, within the limit, as long as it can be
// (a character is at most four bytes), and never ending inside a
// well-formed UTF-8 sequence, judged by an independent reading of the
// Unicode table of well-formed byte sequences. In the multi-byte Chinese
// encodings the cut never splits a character: its text decodes to a prefix
// of the whole text's.
#include "tests/fuzz/FuzzCheck.h"
#include "text/NarrowEncoding.h"
#include "text/TextLimit.h"

#include <cstdint>
#include <string>

namespace {

bool in(unsigned char c, unsigned lo, unsigned hi)
{
    return c >= lo && c <= hi;
}

// Length of the well-formed sequence starting at `i`, or 0 if none does.
std::size_t wellFormedAt(const std::string& s, std::size_t i)
{
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(k < s.size() ? s[k] : 0); };
    const unsigned char b0 = at(i), b1 = at(i + 1), b2 = at(i + 2), b3 = at(i + 3);
    if (b0 <= 0x7F)
        return 1;
    if (in(b0, 0xC2, 0xDF))
        return in(b1, 0x80, 0xBF) ? 2 : 0;
    bool ok3 = false;
    if (b0 == 0xE0)
        ok3 = in(b1, 0xA0, 0xBF);
    else if (in(b0, 0xE1, 0xEC) || in(b0, 0xEE, 0xEF))
        ok3 = in(b1, 0x80, 0xBF);
    else if (b0 == 0xED)
        ok3 = in(b1, 0x80, 0x9F);
    if (ok3)
        return in(b2, 0x80, 0xBF) && i + 2 < s.size() ? 3 : 0;
    bool ok4 = false;
    if (b0 == 0xF0)
        ok4 = in(b1, 0x90, 0xBF);
    else if (in(b0, 0xF1, 0xF3))
        ok4 = in(b1, 0x80, 0xBF);
    else if (b0 == 0xF4)
        ok4 = in(b1, 0x80, 0x8F);
    if (ok4)
        return in(b2, 0x80, 0xBF) && in(b3, 0x80, 0xBF) && i + 3 < s.size() ? 4 : 0;
    return 0;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks the limit and the encoding, the rest is the text.
    static const NarrowEncoding utf8("UTF-8"), gb18030("GB18030"), gbk("GBK"), big5("BIG5");
    const NarrowEncoding* const encodings[] = { &utf8, &gb18030, &gbk, &big5 };
    const NarrowEncoding& encoding = *encodings[data[0] >> 6];
    const std::size_t limit = data[0] % 64;
    const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
    const std::string cut = TextLimit::cutToWholeCharacters(text, limit, encoding);

    FUZZ_CHECK(text.compare(0, cut.size(), cut) == 0);
    FUZZ_CHECK(cut.size() <= limit || (cut == text && text.size() <= limit));
    if (text.size() <= limit) {
        FUZZ_CHECK(cut == text);
        return 0;
    }
    FUZZ_CHECK(cut.size() + 4 > limit);
    if (!encoding.isUtf8()) {
        const std::string whole = encoding.decode(text), part = encoding.decode(cut);
        FUZZ_CHECK(whole.compare(0, part.size(), part) == 0);
        return 0;
    }
    for (std::size_t i = 0; i < cut.size(); ++i) {
        const std::size_t n = wellFormedAt(text, i);
        FUZZ_CHECK(!(n > 1 && i + n > cut.size()));
    }
    return 0;
}
