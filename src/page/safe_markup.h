// Texts from outside the control (data files, pickers, the system) made safe
// for the markup they are formatted into.
//
// - A stored text (kept in escaped form: schedules, memo subjects and
//   messages, link menu names) is written as stored when it holds no raw
//   '<', '>' or '"' and every '&' starts a character reference; otherwise
//   only the offending characters are escaped. Folders this program wrote so
//   render byte for byte as before, and no file can add an element,
//   attribute or handler. For element content and double-quoted attributes;
//   never for script inside a handler attribute, where the parser decodes
//   references before the script runs.
// - A plain text (a path, a face name) has '"', '&', '<' and '>' escaped.
// - A face name becomes a CSS font-family value: as it is when it holds
//   nothing that could end the value, else a quoted CSS string.
// Every result stops at the first zero unit (as %s formatting does) and
// carries no lone surrogate (each becomes U+FFFD). Linear in the text.
// Kept beside the page operations, as escape.h is, so that every feature
// reaches it from below.
#pragma once

#include <string>
#include <string_view>

namespace vellumine {

// A stored, already escaped text for element content or a double-quoted
// attribute value.
std::u16string StoredTextMarkup(std::u16string_view stored);

// A plain text for element content or a double-quoted attribute value.
std::u16string PlainTextMarkup(std::u16string_view text);

// True when the face holds nothing that could end a CSS value or a quoted
// attribute: no control character, quote, backslash, '<', '>', '&', ';',
// '{', '}', '(', ')', '/' and no lone surrogate. Every face a font picker
// offers is plain.
bool IsPlainFaceName(std::u16string_view face);

// The face as a CSS font-family value: the plain face unchanged, any other
// as a double-quoted CSS string whose special characters are hex escapes.
// For a style property; formatted into a style attribute it still needs
// PlainTextMarkup.
std::u16string FontFamilyValue(std::u16string_view face);

}  // namespace vellumine
