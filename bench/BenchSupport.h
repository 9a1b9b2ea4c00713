// What the benchmarks share: the clock, summaries of samples, the result rows that bench/run gathers
// into its table, and the process's peak resident memory.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace quellix {

namespace bench {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d);

struct Summary {
    std::size_t count = 0;
    double median = 0;
    double p99 = 0;
    double max = 0;
};
Summary Summarise(std::vector<double> values);

// One row of the results table, printed as "row|what|figure|floor or goal|ratios|verdict" on standard
// output; bench/run collects these lines. Each ratio is a figure over its floor or goal; the goal is met
// when none exceeds `limit`. Without a limit the row has a floor to compare with, but no goal.
void PrintRow(const std::string& what, const std::string& figure, const std::string& reference,
              const std::vector<double>& ratios, std::optional<double> limit);

std::string Format(const char* format, double value);

// The kernel's record of the process's peak resident set (VmHWM), in KiB; 0 when unreadable.
long PeakResidentKiB(int pid = 0);

} // namespace bench

} // namespace quellix
