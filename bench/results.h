// Collects the benchmark times while printing them as usual, and writes the
// results table: times, the ratios the targets are stated in, and whether
// each target is met.
#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

namespace vellumine::bench {

// InitPage at full against parsing its final page.
inline constexpr double kInitPageTarget = 2.0;
// A command at full against the same command at a tenth of the data.
inline constexpr double kScaleTarget = 12.0;

class ResultsReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override;

  // A time per iteration for a benchmark; the fastest one given is kept.
  void Add(const std::string& name, double seconds);
  // Markdown: one row per benchmark with both scales.
  std::string Table() const;
  // The kept times, a line "name<TAB>seconds" each, in the order first seen:
  // runs in several processes merge by feeding these lines back to Add.
  std::string Raw() const;
  bool failed() const { return failed_; }

 private:
  std::map<std::string, double> seconds_;  // per iteration, by benchmark name, fastest repetition
  std::vector<std::string> order_;         // first scale-free name, in run order
  bool failed_ = false;
};

}  // namespace vellumine::bench
