// UTF-16 text helpers shared by every subsystem.
//
// Texts are std::u16string. A text that may be absent (a script argument that
// can be null, a memo field that was never read) is a TextArg: std::nullopt is
// a null text, distinct from an empty one. Comparisons work on unsigned
// 16-bit units and stop at the end of the view or at the first zero unit,
// whichever comes first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vellumine {

using TextArg = std::optional<std::u16string>;

// 0 when equal, else the difference of the first differing units. A null
// pointer is a null text: it sorts after every other text; two nulls are equal.
int TextCompare(const char16_t* a, const char16_t* b);
int TextCompare(std::u16string_view a, std::u16string_view b);
// As TextCompare over at most n units.
int TextCompareN(const char16_t* a, const char16_t* b, std::size_t n);
int TextCompareN(std::u16string_view a, std::u16string_view b, std::size_t n);
// 0 when the shorter text is a prefix of the longer one; otherwise the
// difference at the first mismatch. Same null rule as TextCompare.
int KeyPrefixEqual(const char16_t* a, const char16_t* b);
int KeyPrefixEqual(std::u16string_view a, std::u16string_view b);
// Optional sign, then decimal digits up to the first non-digit; no digits
// gives 0; 32-bit arithmetic that wraps; no white space is skipped.
std::int32_t ParseDecimal(std::u16string_view text);

// The text up to its first zero unit.
std::u16string_view UpToZero(std::u16string_view text);

// Conversions at the platform boundary. Invalid sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view utf8);
// A lone surrogate is written as the three bytes it would have as a code
// point.
std::string Utf16ToUtf8(std::u16string_view utf16);
// The same in two steps, into a buffer of the caller's: its size, then the
// bytes (Utf8Size of them); a lone surrogate takes U+FFFD's three bytes
// instead where lone_as_replacement.
std::size_t Utf8Size(std::u16string_view utf16);
void WriteUtf8(std::u16string_view utf16, char* out, bool lone_as_replacement);

}  // namespace vellumine
