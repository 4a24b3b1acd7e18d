#pragma once
// The benchmark's output: one table on stdout (every figure, the ratios to the references,
// each target with its measurement and whether it is met) and the same as JSON.

#include "Scenarios.h"

#include <string>

struct Target {
    std::string name;     // what is compared, e.g. "FA; p99"
    std::string measured; // the measurement, with its unit
    std::string limit;    // the target, e.g. "<= 1000 us"
    bool met = false;
};

std::vector<Target> judgeTargets(const BenchResults& results);
void printTable(const BenchResults& results, const std::vector<Target>& targets);
// False when the file cannot be written.
bool writeJson(const BenchResults& results, const std::vector<Target>& targets,
               const std::string& path);
