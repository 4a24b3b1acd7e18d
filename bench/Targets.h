#pragma once
// The targets a build is judged on, each with its measurement and whether it is met. Every
// scenario's answers are a target of their own: a wrong or missing answer anywhere is a miss,
// whatever the timings say. Limits that compare with a reference take it from the same run.

#include "Results.h"

#include <string>
#include <vector>

struct Target {
    std::string name;     // what is compared, e.g. "\"FA;\" p99"
    std::string measured; // the measurement, with its unit
    std::string limit;    // the target, e.g. "<= 1000 us"
    bool met = false;
    std::string before; // the same measurement of the earlier build, if one was measured
};

// The targets of the build labelled `label`; a measurement that is absent misses its target.
std::vector<Target> judgeTargets(const BenchResults& results, const std::string& label);
// Copies each target's measurement in `before` into the target of the same name.
void addBefore(std::vector<Target>& targets, const std::vector<Target>& before);
