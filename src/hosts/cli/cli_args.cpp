#include "hosts/cli/cli_args.h"

namespace vellumine::cli {
namespace {

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

int DigitsValue(std::string_view digits) {
  int value = 0;
  for (char c : digits) value = value * 10 + (c - '0');
  return value;
}

int DaysInMonth(int year, int month) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

}  // namespace

std::optional<LocalDate> ParseDate(std::string_view text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const std::string_view y = text.substr(0, 4), m = text.substr(5, 2), d = text.substr(8, 2);
  if (!AllDigits(y) || !AllDigits(m) || !AllDigits(d)) return std::nullopt;
  const LocalDate date{DigitsValue(y), DigitsValue(m), DigitsValue(d)};
  if (date.year < 1 || date.month < 1 || date.month > 12) return std::nullopt;
  if (date.day < 1 || date.day > DaysInMonth(date.year, date.month)) return std::nullopt;
  return date;
}

std::optional<std::uint32_t> ParseSeed(std::string_view text) {
  if (!AllDigits(text) || text.size() > 10) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) value = value * 10 + static_cast<std::uint64_t>(c - '0');
  if (value > 0xFFFFFFFFu) return std::nullopt;
  return static_cast<std::uint32_t>(value);
}

ParsedArgs ParseCommandLine(const std::vector<std::string>& args) {
  CliOptions options;
  bool have_script = false;
  bool options_done = false;
  auto fail = [](std::string message) { return ParsedArgs{std::nullopt, std::move(message)}; };

  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    const bool is_option = !options_done && arg.size() > 1 && arg[0] == '-';
    if (!is_option) {
      if (have_script) return fail("more than one script given: " + arg);
      options.script = arg;
      have_script = true;
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    if (arg == "--help" || arg == "-h") {
      options.help = true;
      continue;
    }
    if (arg == "--trace") {
      options.trace = true;
      continue;
    }
    // Options with a value: "--name VALUE" or "--name=VALUE".
    std::string name = arg;
    std::optional<std::string> value;
    if (const std::size_t eq = arg.find('='); eq != std::string::npos) {
      name = arg.substr(0, eq);
      value = arg.substr(eq + 1);
    }
    if (name != "--page" && name != "--data" && name != "--today" && name != "--seed" &&
        name != "--out") {
      return fail("unknown option " + arg);
    }
    if (!value) {
      if (i + 1 >= args.size()) return fail(name + " needs a value");
      value = args[++i];
    }
    if (name == "--page") {
      options.page = *value;
    } else if (name == "--data") {
      options.data = *value;
    } else if (name == "--out") {
      options.out = *value;
    } else if (name == "--today") {
      options.today = ParseDate(*value);
      if (!options.today) return fail("--today wants a date YYYY-MM-DD, not " + *value);
    } else {
      options.seed = ParseSeed(*value);
      if (!options.seed) return fail("--seed wants a number 0..4294967295, not " + *value);
    }
  }
  return ParsedArgs{std::move(options), {}};
}

}  // namespace vellumine::cli
