#pragma once

#include <iconv.h>

#include <cstddef>
#include <mutex>
#include <string>

// The narrow (multi-byte) encoding of payload bytes and field texts: the
// codeset of the user's locale, converted by name so that no later change of
// the process's locale can alter it. UTF-8 stands in for ASCII (the C and
// POSIX locales) and for any codeset that is not a stateless superset of
// ASCII, such as ISO-2022 or UTF-7, or TSCII, whose converter keeps bytes
// back until it sees what follows them.
class NarrowEncoding {
public:
    // `codeset` as nl_langinfo(CODESET) names it.
    explicit NarrowEncoding(const std::string& codeset);
    ~NarrowEncoding();
    NarrowEncoding(const NarrowEncoding&) = delete;
    NarrowEncoding& operator=(const NarrowEncoding&) = delete;

    // The encoding in use, "UTF-8" or the codeset's own name.
    const std::string& name() const { return m_name; }
    bool isUtf8() const { return m_utf8; }
    // True when the codeset asked for could not be used and UTF-8 stands in.
    bool fellBack() const { return m_fellBack; }

    // Bytes as UTF-8. In a non-UTF-8 encoding every byte that starts no
    // character becomes U+FFFD; UTF-8 bytes pass unchanged (the window's own
    // decoder replaces what is not well-formed).
    std::string decode(const std::string& bytes) const;
    // UTF-8 text as bytes; a character the encoding cannot represent becomes '?'.
    std::string encode(const std::string& utf8) const;
    // The byte length of the character at bytes[at], found by converting
    // forward from there; 1 for a byte that starts no whole character.
    std::size_t characterLength(const std::string& bytes, std::size_t at) const;

    // The process's encoding: UTF-8 until adoptLocale() has run.
    static const NarrowEncoding& process();
    // Takes the locale from the environment and its codeset as the process's
    // encoding, once, before any thread or the Qt application exists (Qt
    // changes LC_CTYPE when it is not UTF-8). Says on standard error when the
    // codeset cannot be used.
    static void adoptLocale();

private:
    bool usable() const;
    void closeConverters();

    std::string m_name;
    bool m_utf8 = true;
    bool m_fellBack = false;
    iconv_t m_decoder; // codeset -> UTF-8
    iconv_t m_encoder; // UTF-8 -> codeset
    // A converter keeps state between calls; one conversion at a time.
    mutable std::mutex m_mutex;
};
