// What showing a datagram in the locale's encoding costs: a 1000-byte
// payload decoded to UTF-8 and then to the window's QString, as every pass
// does before it logs. Printed with the pass rate: a pass lasts at least
// 10 ms, so a decode under 100 us moves the rate by under 1%.
#include "bench/BenchSupport.h"
#include "bench/Benchmarks.h"

#include "text/NarrowEncoding.h"

#include <QString>

#include <string>
#include <vector>

namespace bench {

namespace {

// Median of many timed decodes of `payload`, in microseconds.
Stats timeDecodes(const NarrowEncoding& encoding, const std::string& payload)
{
    std::vector<double> samples;
    qsizetype seen = 0;
    for (int i = 0; i < 2000; ++i) {
        const Clock::time_point start = Clock::now();
        const std::string utf8 = encoding.decode(payload);
        const QString shown = QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
        samples.push_back(microsecondsBetween(start, Clock::now()));
        seen += shown.size();
    }
    if (seen == 0)
        printNote("nothing decoded");
    return summarise(samples);
}

std::string repeatedTo(const std::string& unit, std::size_t size)
{
    std::string text;
    while (text.size() + unit.size() <= size)
        text += unit;
    return text + std::string(size - text.size(), 'x');
}

} // namespace

bool decodeCost()
{
    const NarrowEncoding utf8("UTF-8"), gb18030("GB18030"), latin1("ISO-8859-1");
    const struct {
        const char* label;
        const NarrowEncoding& encoding;
        std::string payload;
    } rows[] = {
        { "UTF-8, 1000 bytes of Chinese and ASCII", utf8, repeatedTo("\xE4\xBD\xA0\xE5\xA5\xBD abc ", 1000) },
        { "GB18030, 1000 bytes of Chinese and ASCII", gb18030, repeatedTo("\xC4\xE3\xBA\xC3 abc ", 1000) },
        { "GB18030, 1000 invalid bytes (each replaced)", gb18030, std::string(1000, '\xFF') },
        { "ISO-8859-1, 1000 bytes above 0x7F", latin1, std::string(1000, '\xE9') },
    };
    bool met = true;
    for (const auto& row : rows) {
        const Stats s = timeDecodes(row.encoding, row.payload);
        const bool ok = s.median < 100.0;
        met &= ok;
        printRow(std::string("decode for the log: ") + row.label + ", us median (p99)",
            format(s.median) + " (" + format(s.p99) + ")", "< 100", ok);
    }
    return met;
}

} // namespace bench
