// WideFormat: the printf-like UTF-16 formatter every HTML fragment and every
// stored record is built with.
//
// Arguments are typed (FormatArg) instead of C varargs; the destination grows
// with its content. Conversions:
//   %s  a UTF-16 text, padded to the width in display columns (a unit below
//       0x100 is one column, any other two); "0" pads with zeros, "-" on the
//       right; the precision is ignored. A null text formats as empty.
//   %c  the low 16 bits of an integer as one unit, padded as %s.
//   %%  a "%", padded as %s; takes no argument.
//   d i o u x X p   the conversion text goes to the byte formatter with a
//       32-bit integer argument.
//   a A e E f F g G the same with a double argument.
//   any other letter: the units after "%" up to the letter are copied.
// A missing argument, or one of the wrong kind, formats as 0 or as the empty
// text; it never reads past the argument list.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

#include "page/text.h"

namespace vellumine {

class FormatArg {
 public:
  enum class Kind { kInt, kDouble, kText };

  FormatArg(std::int32_t v) : kind_(Kind::kInt), int_(v) {}
  FormatArg(std::uint32_t v) : kind_(Kind::kInt), int_(static_cast<std::int32_t>(v)) {}
  FormatArg(double v) : kind_(Kind::kDouble), double_(v) {}
  FormatArg(std::u16string_view v) : kind_(Kind::kText), text_(v) {}
  FormatArg(const std::u16string& v) : kind_(Kind::kText), text_(v) {}
  FormatArg(const char16_t* v) : kind_(Kind::kText), text_(v ? std::u16string_view(v) : u"") {}
  FormatArg(const TextArg& v) : kind_(Kind::kText), text_(v ? std::u16string_view(*v) : u"") {}

  Kind kind() const { return kind_; }
  std::int32_t int_value() const { return int_; }
  double double_value() const { return double_; }
  std::u16string_view text_value() const { return text_; }

 private:
  Kind kind_;
  std::int32_t int_ = 0;
  double double_ = 0;
  std::u16string_view text_;
};

// Appends the formatted text to dest; returns the number of units appended.
std::size_t WideFormat(std::u16string& dest, std::u16string_view format,
                       std::initializer_list<FormatArg> args = {});
// Returns the formatted text.
std::u16string WideFormatted(std::u16string_view format,
                             std::initializer_list<FormatArg> args = {});

}  // namespace vellumine
