// The script's view of the control's method table: JSON values checked
// against a method's typed parameters (the interface order, without
// Document) and converted for its invoker.
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "control/methods.h"

namespace vellumine::cli {

using ArgValue = std::variant<std::int32_t, TextArg>;
using Args = std::vector<ArgValue>;

// Converted arguments as the method table's invokers take them.
class ConvertedArgs : public ArgumentSource {
 public:
  explicit ConvertedArgs(const Args& args) : args_(args) {}
  std::int32_t Int(std::size_t i) override { return std::get<std::int32_t>(args_.at(i)); }
  TextArg Text(std::size_t i) override { return std::get<TextArg>(args_.at(i)); }

 private:
  const Args& args_;
};

// A JSON value as a signed 32-bit integer: only JSON integers in range
// qualify (no fractions, exponents, booleans or strings).
std::optional<std::int32_t> JsonInt32(const nlohmann::json& value);
// A JSON string as UTF-16, or null as a null text; nullopt for anything else.
std::optional<TextArg> JsonText(const nlohmann::json& value);

// Checks the arguments of a script line (values after the name) against the
// method's parameters; on success fills args, else returns the complaint.
std::optional<std::string> ConvertArgs(const Method& method, const nlohmann::json& line,
                                       Args& args);

}  // namespace vellumine::cli
