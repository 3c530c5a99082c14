#include "bench/BenchSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numeric>

namespace bench {

namespace {

double percentile(const std::vector<double>& sorted, double p)
{
    if (sorted.empty())
        return 0;
    const auto rank = static_cast<std::size_t>(std::ceil(p * static_cast<double>(sorted.size())));
    return sorted[std::min(sorted.size() - 1, rank == 0 ? 0 : rank - 1)];
}

} // namespace

double microsecondsBetween(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double, std::micro>(b - a).count();
}

Stats summarise(std::vector<double> samples)
{
    Stats s;
    s.count = samples.size();
    if (samples.empty())
        return s;
    std::sort(samples.begin(), samples.end());
    s.median = percentile(samples, 0.5);
    s.p90 = percentile(samples, 0.9);
    s.p99 = percentile(samples, 0.99);
    s.max = samples.back();
    s.mean = std::accumulate(samples.begin(), samples.end(), 0.0) / static_cast<double>(samples.size());
    return s;
}

void printHeader(const std::string& section)
{
    std::printf("\n%s\n", section.c_str());
    std::printf("  %-58s %-26s %-16s %s\n", "figure", "measured", "target", "");
    std::fflush(stdout);
}

void printRow(const std::string& figure, const std::string& measured, const std::string& target, bool met)
{
    std::printf("  %-58s %-26s %-16s %s\n", figure.c_str(), measured.c_str(), target.c_str(),
        target.empty() ? "" : (met ? "met" : "MISSED"));
    std::fflush(stdout);
}

void printNote(const std::string& text)
{
    std::printf("  (%s)\n", text.c_str());
    std::fflush(stdout);
}

std::string format(double value, int decimals)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

} // namespace bench
