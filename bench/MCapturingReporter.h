#pragma once
// The console reporter every benchmark program prints through, which also keeps the CPU time per
// iteration of each benchmark (in the benchmark's own time unit) for the program's summary lines.
// CPU time, because the build machines are shared and it is what another process's load disturbs
// least. With repetitions, the mean over them; benchmarks registered with the "min" statistic
// (ComputeStatistics("min", MCapturingReporter::Min)) also keep their fastest repetition.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

class MCapturingReporter : public benchmark::ConsoleReporter
{
public:
  // No colour codes, so that the summary lines after the table start clean for scripts.
  MCapturingReporter() : benchmark::ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override
  {
    for (const Run& run : runs)
    {
      if (run.run_type == Run::RT_Aggregate && run.aggregate_name == "min")
        m_fastest[Key(run)] = run.GetAdjustedCPUTime();
      if (run.run_type != Run::RT_Iteration || run.error_occurred)
        continue;
      Mean& mean = m_means[run.run_name.function_name];
      mean.sum += run.GetAdjustedCPUTime();
      ++mean.count;
    }
    benchmark::ConsoleReporter::ReportRuns(runs);
  }

  /// Initialises the library with the command line, runs the selected benchmarks through this
  /// reporter and shuts the library down; false (nothing run) on an unknown argument.
  bool RunAll(int& argc, char** argv)
  {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
      return false;
    benchmark::RunSpecifiedBenchmarks(this);
    benchmark::Shutdown();
    return true;
  }

  /// Mean over the repetitions; negative when the benchmark did not run.
  double Micros(const std::string& name) const
  {
    const auto found = m_means.find(name);
    return found == m_means.end() ? -1.0 : found->second.sum / found->second.count;
  }

  /// The "min" aggregate of `name` ("function" or "function/args"); 0 when there is none.
  double Fastest(const std::string& name) const
  {
    const auto found = m_fastest.find(name);
    return found == m_fastest.end() ? 0.0 : found->second;
  }

  /// The statistic behind "min".
  static double Min(const std::vector<double>& values)
  {
    return *std::min_element(values.begin(), values.end());
  }

private:
  static std::string Key(const Run& run)
  {
    const std::string& args = run.run_name.args;
    return args.empty() ? run.run_name.function_name : run.run_name.function_name + "/" + args;
  }

  struct Mean
  {
    double sum = 0.0;
    int count = 0;
  };
  std::map<std::string, Mean> m_means;
  std::map<std::string, double> m_fastest;
};
