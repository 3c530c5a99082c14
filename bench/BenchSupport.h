#pragma once

#include <chrono>
#include <string>
#include <vector>

namespace bench {

using Clock = std::chrono::steady_clock;

double microsecondsBetween(Clock::time_point a, Clock::time_point b);

// Summary of a set of samples (any unit; the caller names it).
struct Stats {
    std::size_t count = 0;
    double median = 0, p90 = 0, p99 = 0, max = 0, mean = 0;
};
Stats summarise(std::vector<double> samples);

// One line of the result table: what was measured, the figure, the target.
void printHeader(const std::string& section);
void printRow(const std::string& figure, const std::string& measured, const std::string& target, bool met);
void printNote(const std::string& text);
std::string format(double value, int decimals = 1);

} // namespace bench
