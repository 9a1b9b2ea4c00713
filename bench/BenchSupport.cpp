#include "BenchSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace quellix {

namespace bench {

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

Summary Summarise(std::vector<double> values) {
    if (values.empty())
        return {};
    std::sort(values.begin(), values.end());
    // Nearest rank: the smallest sample that at least the share q of all samples do not exceed.
    const auto rank = [&values](double q) {
        const auto index =
            static_cast<std::size_t>(std::max(1.0, std::ceil(q * static_cast<double>(values.size()))));
        return values[std::min(values.size(), index) - 1];
    };
    return {values.size(), rank(0.5), rank(0.99), values.back()};
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

void PrintRow(const std::string& what, const std::string& figure, const std::string& reference,
              const std::vector<double>& ratios, std::optional<double> limit) {
    std::string cell;
    bool met = true;
    for (const double ratio : ratios) {
        cell += (cell.empty() ? "" : " / ") + Format("%.3f", ratio);
        met = met && limit && ratio <= *limit;
    }
    const char* verdict = !limit ? "no goal" : met ? "met" : "missed";
    std::printf("row|%s|%s|%s|%s|%s\n", what.c_str(), figure.c_str(), reference.c_str(),
                cell.empty() ? "-" : cell.c_str(), verdict);
    std::fflush(stdout);
}

long PeakResidentKiB(int pid) {
    std::ifstream status(pid == 0 ? std::string("/proc/self/status")
                                  : "/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            std::istringstream fields(line.substr(6));
            long kib = 0;
            fields >> kib;
            return kib;
        }
    }
    return 0;
}

} // namespace bench

} // namespace quellix
