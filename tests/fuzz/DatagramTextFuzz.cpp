// A received datagram as shown: the bytes before its first zero byte, then
// decoded from UTF-8 for the log. Neither step may fail on any bytes, and
// the decoded text encodes back to well-formed UTF-8 that decodes the same.
// Decoded from GB18030 it is well-formed UTF-8 too, whatever the bytes.
#include "tests/fuzz/FuzzCheck.h"
#include "text/NarrowEncoding.h"
#include "text/TextLimit.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // The receive buffer holds at most 1000 bytes and a terminating zero.
    const std::size_t length = size < 1000 ? size : 1000;
    std::string buffer(reinterpret_cast<const char*>(data), length);
    buffer.push_back('\0');
    const std::string text = TextLimit::datagramText(buffer.data(), length);

    FUZZ_CHECK(text.size() <= length);
    FUZZ_CHECK(std::memcmp(text.data(), buffer.data(), text.size()) == 0);
    FUZZ_CHECK(text.find('\0') == std::string::npos);
    FUZZ_CHECK(text.size() == length || buffer[text.size()] == '\0');

    const QString shown = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    const QByteArray again = shown.toUtf8();
    FUZZ_CHECK(QString::fromUtf8(again) == shown);

    static const NarrowEncoding gb18030("GB18030");
    const std::string decoded = gb18030.decode(text);
    FUZZ_CHECK(
        QString::fromUtf8(decoded.data(), static_cast<qsizetype>(decoded.size())).toUtf8().toStdString() == decoded);
    return 0;
}
