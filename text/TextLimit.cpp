#include "text/TextLimit.h"

#include <cstring>

std::string TextLimit::cutToWholeCharacters(
    const std::string& text, std::size_t maxBytes, const NarrowEncoding& encoding)
{
    if (text.size() <= maxBytes)
        return text;
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t n = encoding.characterLength(text, end);
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
