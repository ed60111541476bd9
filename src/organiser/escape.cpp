// Stub: replaced by the markup escaping's implementation.
#include "organiser/escape.h"

namespace vellumine {
TextArg EscapeMarkup(const TextArg& text) { return text; }
std::u16string EscapeMarkup(std::u16string_view text) { return std::u16string(text); }
void UnescapeMarkup(std::u16string&) {}
}  // namespace vellumine
