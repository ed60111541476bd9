// Inline style: one property of an element's style attribute read or
// set, the other declarations kept in their order.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vellumine::html {

// The style text with property set to value (removed when value is empty),
// other declarations kept in their order.
std::string WithProperty(std::string_view style, std::string_view property, std::string_view value);
// The value of the property's last declaration; nullopt when none sets it.
std::optional<std::string_view> PropertyValue(std::string_view style, std::string_view property);
// A value that would end its declaration early (";" outside quotes), open a
// block, or leave a quote, a bracket or an escape open (swallowing the
// declarations after it) is one the page refuses.
bool AcceptableStyleValue(std::string_view v);

}  // namespace vellumine::html
