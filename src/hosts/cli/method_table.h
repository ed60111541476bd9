// The script's view of the control: every method by name with its typed
// parameters (the interface order, without Document), and the call itself.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "control/skerrow.h"

namespace vellumine::cli {

enum class ParamKind { kInt, kText };

struct Param {
  std::string_view name;
  ParamKind kind;
};

using ArgValue = std::variant<std::int32_t, TextArg>;
using Args = std::vector<ArgValue>;

struct MethodSpec {
  std::string_view name;
  std::vector<Param> params;
  void (*call)(CSkerrow& control, Document& document, const Args& args);
};

// Every method a script may call: the 26 of the interface in DISPID order,
// then ChangeMemoPage.
std::span<const MethodSpec> Methods();
const MethodSpec* FindMethod(std::string_view name);

// A JSON value as a signed 32-bit integer: only JSON integers in range
// qualify (no fractions, exponents, booleans or strings).
std::optional<std::int32_t> JsonInt32(const nlohmann::json& value);
// A JSON string as UTF-16, or null as a null text; nullopt for anything else.
std::optional<TextArg> JsonText(const nlohmann::json& value);

// Checks the arguments of a script line (values after the name) against the
// method's parameters; on success fills args, else returns the complaint.
std::optional<std::string> ConvertArgs(const MethodSpec& method, const nlohmann::json& line,
                                       Args& args);

}  // namespace vellumine::cli
