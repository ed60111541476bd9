// Markup escaping of typed texts: exactly '"', '&', '<' and '>' map to
// "&quot;", "&amp;", "&lt;" and "&gt;"; everything else passes. One level
// only: unescaping "&amp;lt;" gives "&lt;".
//
// It sits with the page operations, below every feature, because every
// feature that writes markup (links, wallpaper, organiser, control) needs it
// and none may reach into another feature's folder for it.
#pragma once

#include <string>
#include <string_view>

#include "page/text.h"

namespace vellumine {

// Escapes the text up to its first zero unit. Null stays null.
TextArg EscapeMarkup(const TextArg& text);
std::u16string EscapeMarkup(std::u16string_view text);
// Unescapes in place; a null or empty text stays as it is.
void UnescapeMarkup(std::u16string& text);

}  // namespace vellumine
