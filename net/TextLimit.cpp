#include "net/TextLimit.h"

#include <cstring>

namespace {

// Length of the well-formed UTF-8 sequence at text[i], or 1 when the byte
// there starts none (so invalid bytes are stepped over one at a time).
std::size_t sequenceLength(const std::string& text, std::size_t i)
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

} // namespace

std::string TextLimit::cutToWholeCharacters(const std::string& text, std::size_t maxBytes)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t n = sequenceLength(text, end);
        if (end + n > maxBytes)
            break;
        end += n;
    }
    return text.substr(0, end);
}

std::string TextLimit::datagramText(const char* data, std::size_t length)
{
    const void* zero = std::memchr(data, 0, length);
    const std::size_t n = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - data) : length;
    return std::string(data, n);
}
