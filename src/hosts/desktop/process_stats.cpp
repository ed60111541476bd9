#include "hosts/desktop/process_stats.h"

#include <dirent.h>
#include <unistd.h>

#include <charconv>
#include <fstream>
#include <map>
#include <sstream>

namespace vellumine::desktop {
namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

template <typename Number>
bool ParseNumber(std::string_view text, Number& out) {
  const char* end = text.data() + text.size();
  auto [ptr, ec] = std::from_chars(text.data(), end, out);
  return ec == std::errc() && ptr == end;
}

std::optional<ProcessSample> Sample(pid_t pid) {
  const std::string dir = "/proc/" + std::to_string(pid);
  std::optional<StatLine> stat = ParseStatLine(ReadFile(dir + "/stat"));
  if (!stat) return std::nullopt;
  const std::string status = ReadFile(dir + "/status");
  ProcessSample sample;
  sample.pid = pid;
  sample.name = stat->name;
  sample.cpu_ticks = stat->cpu_ticks;
  sample.peak_rss = StatusBytes(status, "VmHWM").value_or(0);
  sample.rss = StatusBytes(status, "VmRSS").value_or(0);
  return sample;
}

}  // namespace

std::optional<StatLine> ParseStatLine(std::string_view line) {
  // "pid (name) state ppid ..." where the name is everything up to the last
  // ")"; utime and stime are the 14th and 15th fields of the whole line.
  const std::size_t open = line.find('(');
  const std::size_t close = line.rfind(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) {
    return std::nullopt;
  }
  StatLine out;
  out.name = std::string(line.substr(open + 1, close - open - 1));
  std::vector<std::string_view> fields;  // from the state on: field 3 is [0]
  std::size_t pos = close + 1;
  while (pos < line.size()) {
    while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\n')) ++pos;
    const std::size_t end = line.find_first_of(" \n", pos);
    const std::size_t stop = end == std::string_view::npos ? line.size() : end;
    if (stop > pos) fields.push_back(line.substr(pos, stop - pos));
    pos = stop;
  }
  if (fields.size() < 13) return std::nullopt;
  std::uint64_t user = 0;
  std::uint64_t system = 0;
  if (!ParseNumber(fields[1], out.parent) || !ParseNumber(fields[11], user) ||
      !ParseNumber(fields[12], system)) {
    return std::nullopt;
  }
  out.cpu_ticks = user + system;
  return out;
}

std::optional<std::uint64_t> StatusBytes(std::string_view status, std::string_view key) {
  std::size_t pos = 0;
  while (pos < status.size()) {
    const std::size_t end = status.find('\n', pos);
    std::string_view line =
        status.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    pos = end == std::string_view::npos ? status.size() : end + 1;
    if (line.size() <= key.size() || line.substr(0, key.size()) != key || line[key.size()] != ':') {
      continue;
    }
    line.remove_prefix(key.size() + 1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    const std::size_t digits = line.find_first_not_of("0123456789");
    std::uint64_t value = 0;
    if (!ParseNumber(line.substr(0, digits), value)) return std::nullopt;
    std::string_view unit = digits == std::string_view::npos ? "" : line.substr(digits);
    while (!unit.empty() && unit.front() == ' ') unit.remove_prefix(1);
    if (unit == "kB") return value * 1024;
    if (unit.empty()) return value;
    return std::nullopt;
  }
  return std::nullopt;
}

std::vector<ProcessSample> SampleAppProcesses() {
  std::vector<ProcessSample> out;
  const pid_t self = getpid();
  if (std::optional<ProcessSample> own = Sample(self)) out.push_back(*own);
  DIR* proc = opendir("/proc");
  if (proc == nullptr) return out;
  while (dirent* entry = readdir(proc)) {
    pid_t pid = 0;
    if (!ParseNumber(std::string_view(entry->d_name), pid) || pid == self) continue;
    std::optional<StatLine> stat =
        ParseStatLine(ReadFile("/proc/" + std::to_string(pid) + "/stat"));
    if (!stat || stat->parent != self) continue;
    if (std::optional<ProcessSample> child = Sample(pid)) out.push_back(*child);
  }
  closedir(proc);
  return out;
}

double CpuPercent(const std::vector<ProcessSample>& before, const std::vector<ProcessSample>& after,
                  double seconds) {
  if (seconds <= 0) return 0;
  std::map<pid_t, std::uint64_t> start;
  for (const ProcessSample& s : before) start[s.pid] = s.cpu_ticks;
  std::uint64_t used = 0;
  for (const ProcessSample& s : after) {
    const auto it = start.find(s.pid);
    const std::uint64_t from = it == start.end() ? 0 : it->second;
    if (s.cpu_ticks > from) used += s.cpu_ticks - from;
  }
  const double ticks_per_second = static_cast<double>(sysconf(_SC_CLK_TCK));
  return 100.0 * static_cast<double>(used) / ticks_per_second / seconds;
}

}  // namespace vellumine::desktop
