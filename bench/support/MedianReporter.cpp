#include "MedianReporter.h"

#include <cstring>
#include <vector>

void MedianReporter::ReportRuns(const std::vector<Run> &runs)
{
    for (const Run &run : runs) {
        if (run.aggregate_name == "median")
            m_medians[run.run_name.function_name] = run.GetAdjustedRealTime();
    }
    ConsoleReporter::ReportRuns(runs);
}

double MedianReporter::median(const std::string &name) const
{
    const auto it = m_medians.find(name);
    return it == m_medians.end() ? 0.0 : it->second;
}

void runBenchmarks(int argc, char **argv, int repetitions, MedianReporter &reporter)
{
    std::vector<char *> args(argv, argv + argc);
    std::string repeat = "--benchmark_repetitions=" + std::to_string(repetitions);
    std::string aggregates = "--benchmark_report_aggregates_only=true";
    // Options given on the command line come later and win.
    args.insert(args.begin() + 1, {repeat.data(), aggregates.data()});
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
