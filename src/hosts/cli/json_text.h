// JSON text for the runner's output lines: UTF-16 texts become JSON strings
// written as UTF-8, so a line can carry any text the control produced.
#pragma once

#include <string>
#include <string_view>

#include "page/text.h"

namespace vellumine::cli {

// Appends text as a quoted JSON string. Quotes, backslashes and control
// characters are escaped; other characters are written as UTF-8; a surrogate
// without its partner, which UTF-8 can't carry, is written as \uXXXX.
void AppendJsonString(std::string& out, std::u16string_view text);
// As AppendJsonString, or null for a null text.
void AppendJsonText(std::string& out, const TextArg& text);
// A UTF-8 text (the serialized document) as a JSON string.
void AppendJsonUtf8(std::string& out, std::string_view utf8);

}  // namespace vellumine::cli
