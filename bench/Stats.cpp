#include "Stats.h"

#include <algorithm>
#include <cmath>

namespace
{

// The smallest sample with at least `share` of the series at or below it.
double nearestRank(const std::vector<double>& sorted, double share)
{
    const auto rank = std::size_t(std::ceil(share * double(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

} // namespace

Percentiles percentiles(std::vector<double>& samples)
{
    Percentiles result;
    if (samples.empty())
        return result;
    std::sort(samples.begin(), samples.end());
    result.count = long(samples.size());
    result.p50 = nearestRank(samples, 0.50);
    result.p90 = nearestRank(samples, 0.90);
    result.p99 = nearestRank(samples, 0.99);
    result.max = samples.back();
    return result;
}
