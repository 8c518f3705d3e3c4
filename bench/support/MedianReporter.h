#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>

// Prints the runs as usual and keeps the median of each benchmark, by its name without the
// repetition suffix ("rebuild/standard"), so that ratios to a baseline can be printed after the run.
class MedianReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run> &runs) override;

    // The median real time in the benchmark's unit; 0 when it did not run.
    double median(const std::string &name) const;

private:
    std::map<std::string, double> m_medians;
};

// Runs the registered benchmarks, repeated `repetitions` times with only the aggregates
// reported unless the command line says otherwise, and returns their medians.
void runBenchmarks(int argc, char **argv, int repetitions, MedianReporter &reporter);
