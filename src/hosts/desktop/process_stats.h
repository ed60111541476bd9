// What the app's processes cost, for measurements: the window's process and
// the engine's processes it started (web and network processes). Read from
// /proc; a process that can't be read is left out.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumine::desktop {

struct ProcessSample {
  pid_t pid = 0;
  std::string name;             // the kernel's short name ("WebKitWebProces")
  std::uint64_t cpu_ticks = 0;  // user and system time, in clock ticks
  std::uint64_t peak_rss = 0;   // bytes: the highest resident size so far (VmHWM)
  std::uint64_t rss = 0;        // bytes: the resident size now (VmRSS)
};

// The fields of a /proc/PID/stat line this needs: the name (which may hold
// spaces and parentheses), the parent and the CPU time. nullopt when the line
// is not one.
struct StatLine {
  std::string name;
  pid_t parent = 0;
  std::uint64_t cpu_ticks = 0;
};
std::optional<StatLine> ParseStatLine(std::string_view line);

// A "Key:   123 kB" line's value of /proc/PID/status, in bytes; nullopt when
// the text has no such key.
std::optional<std::uint64_t> StatusBytes(std::string_view status, std::string_view key);

// This process and every process whose parent it is.
std::vector<ProcessSample> SampleAppProcesses();

// Percent of one core that the processes used between two samples taken
// seconds apart; a process in only one of them counts from zero.
double CpuPercent(const std::vector<ProcessSample>& before, const std::vector<ProcessSample>& after,
                  double seconds);

}  // namespace vellumine::desktop
