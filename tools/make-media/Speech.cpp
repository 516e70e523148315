#include "tools/make-media/Speech.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kw::tools {

std::vector<std::int16_t> Resample(const std::vector<std::int16_t>& in, int from, int to) {
    if (in.empty() || from == to)
        return in;
    const std::size_t n = static_cast<std::size_t>(static_cast<double>(in.size()) * to / from);
    std::vector<std::int16_t> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double at = static_cast<double>(i) * from / to;
        const auto k = static_cast<std::size_t>(at);
        const double f = at - static_cast<double>(k);
        const double a = in[std::min(k, in.size() - 1)];
        const double b = in[std::min(k + 1, in.size() - 1)];
        out[i] = static_cast<std::int16_t>(std::lround(a + (b - a) * f));
    }
    return out;
}

std::vector<std::int16_t> TrimSilence(const std::vector<std::int16_t>& in) {
    constexpr int kQuiet = 300;
    auto loud = [](std::int16_t s) { return std::abs(static_cast<int>(s)) > kQuiet; };
    auto first = std::find_if(in.begin(), in.end(), loud);
    if (first == in.end())
        return {};
    auto last = std::find_if(in.rbegin(), in.rend(), loud).base();
    return std::vector<std::int16_t>(first, last);
}

} // namespace kw::tools
