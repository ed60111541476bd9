#include "bench/results.h"

#include <cstdio>

namespace vellumine::bench {

namespace {

std::string Ms(double seconds) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, seconds * 1e3 < 10 ? "%.3f" : "%.1f", seconds * 1e3);
  return buffer;
}

std::string Ratio(double r) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", r);
  return buffer;
}

}  // namespace

void ResultsReporter::ReportRuns(const std::vector<Run>& runs) {
  for (const Run& run : runs) {
    if (run.error_occurred) {
      failed_ = true;
      continue;
    }
    if (run.run_type != Run::RT_Iteration || run.iterations == 0) continue;
    const std::string name = run.run_name.function_name;
    // Thread CPU time: the machine may be shared, and on tmpfs the file work
    // is the kernel's time in this thread.
    Add(name, run.cpu_accumulated_time / static_cast<double>(run.iterations));
  }
  ConsoleReporter::ReportRuns(runs);
}

void ResultsReporter::Add(const std::string& name, double seconds) {
  // Of repetitions, the fastest: other processes only ever add time.
  auto it = seconds_.find(name);
  if (it == seconds_.end() || seconds < it->second) seconds_[name] = seconds;
  const std::string base = name.substr(0, name.rfind('/'));
  bool seen = false;
  for (const std::string& o : order_) seen = seen || o == base;
  if (!seen) order_.push_back(base);
}

std::string ResultsReporter::Raw() const {
  std::string out;
  char buffer[64];
  for (const std::string& base : order_) {
    for (const char* scale : {"/tenth", "/full"}) {
      auto it = seconds_.find(base + scale);
      if (it == seconds_.end()) continue;
      std::snprintf(buffer, sizeof buffer, "\t%.9g\n", it->second);
      out += it->first + buffer;
    }
  }
  return out;
}

std::string ResultsReporter::Table() const {
  std::string out;
  out += "| Benchmark | tenth (ms CPU) | full (ms CPU) | Ratio | Target | Met |\n";
  out += "|---|---:|---:|---:|---|---|\n";
  auto find = [this](const std::string& name) -> const double* {
    auto it = seconds_.find(name);
    return it == seconds_.end() ? nullptr : &it->second;
  };
  const double* yard = find("Yardstick/ParseFinalPage/full");
  for (const std::string& base : order_) {
    if (base.rfind("Yardstick", 0) == 0) {
      out += "| Yardstick: parse InitPage's final page (full) | | " + (yard ? Ms(*yard) : "") +
             " | | | |\n";
      continue;
    }
    const double* tenth = find(base + "/tenth");
    const double* full = find(base + "/full");
    std::string row =
        "| " + base + " | " + (tenth ? Ms(*tenth) : "—") + " | " + (full ? Ms(*full) : "—") + " | ";
    if (tenth && full && base == "InitPage") {
      // InitPage reads every file: its data grows 63 times from tenth to full
      // (every wallpaper has ten times the windows), so its target is the
      // yardstick, not the ratio.
      row += "full/tenth " + Ratio(*full / *tenth) + " | (see below) | |\n";
      if (yard) {
        const double r = *full / *yard;
        row += "| InitPage against the yardstick | | | full/yardstick " + Ratio(r) + " | ≤ " +
               Ratio(kInitPageTarget) + " | " + (r <= kInitPageTarget ? "yes" : "**no**") + " |\n";
      }
    } else if (tenth && full) {
      const double scale = *full / *tenth;
      const bool ok = scale <= kScaleTarget;
      row += "full/tenth " + Ratio(scale) + " | ≤ " + Ratio(kScaleTarget) + " | " +
             (ok ? "yes" : "**no**") + " |\n";
    } else {
      row += " | | not measured |\n";
    }
    out += row;
  }
  return out;
}

}  // namespace vellumine::bench
