#pragma once
// Order statistics of a latency series, in microseconds.

#include <vector>

struct Percentiles {
    long count = 0;
    double p50 = 0;
    double p90 = 0;
    double p99 = 0;
    double max = 0;
};

// Nearest-rank percentiles of `samples` (reordered in place); all zero for an empty series.
Percentiles percentiles(std::vector<double>& samples);
