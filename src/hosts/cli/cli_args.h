// The runner's command line.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace vellumine::cli {

inline constexpr std::string_view kUsage =
    "usage: vellumine-cli [--page FILE] [--data DIR] [--today YYYY-MM-DD] [--seed N]\n"
    "                     [--trace] [--out FILE] [SCRIPT]\n";

struct CliOptions {
  std::optional<std::string> page;    // nullopt: the bundled page
  std::optional<std::string> data;    // nullopt: the platform's data folder
  std::optional<LocalDate> today;     // nullopt: the system clock
  std::optional<std::uint32_t> seed;  // nullopt: the tick count
  bool trace = false;
  std::optional<std::string> out;
  std::string script = "-";  // "-": standard input
  bool help = false;
};

struct ParsedArgs {
  std::optional<CliOptions> options;
  std::string error;  // when options is nullopt
};

// args excludes the program name.
ParsedArgs ParseCommandLine(const std::vector<std::string>& args);

// Exactly "YYYY-MM-DD", a real date of years 1..9999.
std::optional<LocalDate> ParseDate(std::string_view text);
// Decimal digits only, 0..4294967295.
std::optional<std::uint32_t> ParseSeed(std::string_view text);

}  // namespace vellumine::cli
