#pragma once
// The benchmark's output: one table on stdout (every figure, the ratios to the references,
// each target with its measurement, the earlier build's beside it, and whether it is met) and
// the same as JSON.

#include "Results.h"
#include "Targets.h"

#include <string>
#include <vector>

void printTable(const BenchResults& results, const std::vector<Target>& targets);
// False when the file cannot be written.
bool writeJson(const BenchResults& results, const std::vector<Target>& targets,
               const std::string& path);
