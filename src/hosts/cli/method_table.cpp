#include "hosts/cli/method_table.h"

#include <limits>

namespace vellumine::cli {

std::optional<std::int32_t> JsonInt32(const nlohmann::json& value) {
  constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
  constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
  if (value.is_number_unsigned()) {
    const std::uint64_t n = value.get<std::uint64_t>();
    if (n > static_cast<std::uint64_t>(kMax)) return std::nullopt;
    return static_cast<std::int32_t>(n);
  }
  if (value.is_number_integer()) {
    const std::int64_t n = value.get<std::int64_t>();
    if (n < kMin || n > kMax) return std::nullopt;
    return static_cast<std::int32_t>(n);
  }
  // A number written with a fraction or an exponent (1.0, 1e3) still names an
  // integer when it has no fractional part; only its value counts in JSON.
  if (value.is_number_float()) {
    const double d = value.get<double>();
    if (d >= static_cast<double>(kMin) && d <= static_cast<double>(kMax) &&
        d == static_cast<double>(static_cast<std::int64_t>(d))) {
      return static_cast<std::int32_t>(d);
    }
  }
  return std::nullopt;
}

std::optional<TextArg> JsonText(const nlohmann::json& value) {
  if (value.is_null()) return TextArg();
  if (value.is_string()) return TextArg(Utf8ToUtf16(value.get_ref<const std::string&>()));
  return std::nullopt;
}

std::optional<std::string> ConvertArgs(const Method& method, const nlohmann::json& line,
                                       Args& args) {
  const std::size_t given = line.size() - 1;
  if (given != method.params.size()) {
    std::string complaint = std::string(method.name) + " takes " +
                            std::to_string(method.params.size()) + " argument" +
                            (method.params.size() == 1 ? "" : "s");
    if (!method.params.empty()) {
      complaint += " (";
      for (std::size_t i = 0; i < method.params.size(); ++i) {
        if (i > 0) complaint += ", ";
        complaint += method.params[i].name;
      }
      complaint += ")";
    }
    return complaint + ", got " + std::to_string(given);
  }
  args.clear();
  for (std::size_t i = 0; i < method.params.size(); ++i) {
    const MethodParam& param = method.params[i];
    const nlohmann::json& value = line[i + 1];
    if (param.kind == ParamKind::kInt) {
      const std::optional<std::int32_t> n = JsonInt32(value);
      if (!n) {
        return std::string(method.name) + ": argument " + std::to_string(i + 1) + " (" +
               std::string(param.name) + ") must be a signed 32-bit integer";
      }
      args.emplace_back(*n);
    } else {
      std::optional<TextArg> text = JsonText(value);
      if (!text) {
        return std::string(method.name) + ": argument " + std::to_string(i + 1) + " (" +
               std::string(param.name) + ") must be a string or null";
      }
      args.emplace_back(std::move(*text));
    }
  }
  return std::nullopt;
}

}  // namespace vellumine::cli
