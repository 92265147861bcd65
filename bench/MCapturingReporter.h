#pragma once
// The console reporter every benchmark program prints through, which also keeps the CPU time per
// iteration of each benchmark (in the benchmark's own time unit) for the program's summary lines.
// CPU time, because the build machines are shared and it is what another process's load disturbs
// least. With repetitions, the mean over them.

#include <benchmark/benchmark.h>

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
      if (run.run_type != Run::RT_Iteration || run.error_occurred)
        continue;
      Mean& mean = m_means[run.run_name.function_name];
      mean.sum += run.GetAdjustedCPUTime();
      ++mean.count;
    }
    benchmark::ConsoleReporter::ReportRuns(runs);
  }

  /// Mean over the repetitions; negative when the benchmark did not run.
  double Micros(const std::string& name) const
  {
    const auto found = m_means.find(name);
    return found == m_means.end() ? -1.0 : found->second.sum / found->second.count;
  }

private:
  struct Mean
  {
    double sum = 0.0;
    int count = 0;
  };
  std::map<std::string, Mean> m_means;
};
