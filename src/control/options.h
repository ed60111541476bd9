// The option commands: page-wide options (ChangeOption) and one window's own
// options (ChangeWindowOption). Values change by steps; colour indices wrap
// into 0..18 and the individual flag into 0..1, negative steps included.
#pragma once

#include <cstdint>
#include <string>

#include "page/document.h"
#include "page/text.h"

namespace vellumine {
class Context;
}

namespace vellumine::options {

void ChangeOption(Context& context, Document& document, const TextArg& option_name,
                  std::int32_t value);
void ChangeWindowOption(Context& context, Document& document, const TextArg& menu_name,
                        const TextArg& option_name, std::int32_t value);
// The platform's font picker starting from face and size. On success
// overwrites face (at most 31 units) and returns the size (8..30); -1 when
// cancelled, leaving face untouched.
std::int32_t FontPicker(Context& context, std::u16string& face, std::int32_t size);

}  // namespace vellumine::options
