// Stub: replaced by the option commands' implementation.
#include "control/options.h"

#include "control/skerrow.h"

namespace vellumine::options {
void ChangeOption(CSkerrow&, Document&, const TextArg&, std::int32_t) {}
void ChangeWindowOption(CSkerrow&, Document&, const TextArg&, const TextArg&, std::int32_t) {}
std::int32_t FontPicker(CSkerrow&, std::u16string&, std::int32_t) { return -1; }
}  // namespace vellumine::options
