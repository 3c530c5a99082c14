#pragma once

#include "text/NarrowEncoding.h"

#include <cstddef>
#include <string>

// Limits on text read from fields and on text shown from datagrams.
class TextLimit {
public:
    // The longest prefix of `text` of at most `maxBytes` bytes that does not
    // end inside a character of `encoding`, its boundaries found by scanning
    // forward from the start. Bytes that start no character count as one
    // character each, so invalid input is still cut, never lost whole.
    static std::string cutToWholeCharacters(
        const std::string& text, std::size_t maxBytes, const NarrowEncoding& encoding);

    // A datagram's payload as text: the bytes before its first zero byte.
    static std::string datagramText(const char* data, std::size_t length);
};
