#include "page/wide_format.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>

namespace vellumine {
namespace {

constexpr std::size_t kMaxConversionBytes = 1023;

bool IsFlag(char16_t c) { return c == u' ' || c == u'#' || c == u'+' || c == u'-' || c == u'0'; }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsLength(char16_t c) {
  return c == u'L' || c == u'h' || c == u'j' || c == u'l' || c == u't' || c == u'z';
}
bool IsIntConversion(char16_t c) {
  return c == u'd' || c == u'i' || c == u'o' || c == u'u' || c == u'x' || c == u'X' || c == u'p';
}
bool IsFloatConversion(char16_t c) {
  return c == u'a' || c == u'A' || c == u'e' || c == u'E' || c == u'f' || c == u'F' || c == u'g' ||
         c == u'G';
}

std::size_t Columns(std::u16string_view text) {
  std::size_t columns = 0;
  for (char16_t u : text) columns += u < 0x100 ? 1 : 2;
  return columns;
}

// Appends text padded to width display columns.
void AppendPadded(std::u16string& dest, std::u16string_view text, std::size_t width, bool left,
                  bool zero) {
  if (width == 0) {  // most conversions: no pass over a long text to count it
    dest.append(text);
    return;
  }
  const std::size_t columns = Columns(text);
  const std::size_t pad = width > columns ? width - columns : 0;
  if (left) {
    dest.append(text);
    dest.append(pad, u' ');
  } else {
    dest.append(pad, zero ? u'0' : u' ');
    dest.append(text);
  }
}

// A numeric conversion text (flags, width, "." precision, letter; no length
// letters) with its width and precision brought down to sizes the formatter
// writes at once, keeping the first kMaxConversionBytes of its output: the
// formatter would otherwise write out a width of a billion before being cut.
// Beyond kPrecisionCap every format's digits are exact (trailing zeros), so a
// lower precision shortens the text by the difference, and the width drops by
// the same to keep the padding; "g" without "#" drops its trailing zeros, so
// its text does not shrink. A width past kWidthCap pads at least kMaxConversionBytes either
// way.
std::string BoundedConversion(const std::string& spec, bool trims_zeros) {
  constexpr std::size_t kPrecisionCap = 2048;
  constexpr std::size_t kWidthCap = 2 * kPrecisionCap;
  constexpr std::size_t kSaturate = std::size_t{1} << 40;
  std::size_t i = 1;  // past "%"
  while (i < spec.size() && IsFlag(static_cast<char16_t>(spec[i]))) ++i;
  const std::string head = spec.substr(0, i);
  trims_zeros = trims_zeros && head.find('#') == std::string::npos;
  std::size_t width = 0;
  bool has_width = false;
  for (; i < spec.size() && IsDigit(static_cast<char16_t>(spec[i])); ++i) {
    width = std::min(width * 10 + static_cast<std::size_t>(spec[i] - '0'), kSaturate);
    has_width = true;
  }
  bool has_precision = false;
  std::size_t precision = 0;
  if (i < spec.size() && spec[i] == '.') {
    has_precision = true;
    for (++i; i < spec.size() && IsDigit(static_cast<char16_t>(spec[i])); ++i) {
      precision = std::min(precision * 10 + static_cast<std::size_t>(spec[i] - '0'), kSaturate);
    }
  }
  if (width <= kWidthCap && precision <= kPrecisionCap) return spec;
  if (precision > kPrecisionCap) {
    const std::size_t cut = precision - kPrecisionCap;
    precision = kPrecisionCap;
    if (!trims_zeros) width = width > cut ? width - cut : 0;
  }
  width = std::min(width, kWidthCap);
  std::string out = head;
  if (has_width && width > 0) out += std::to_string(width);
  if (has_precision) {
    out += '.';
    out += std::to_string(precision);
  }
  out += spec.substr(i);
  return out;
}

// "%d", "%u", "%x" and "%08x", the conversions markup and file names are
// made of, written directly: the byte formatter costs a conversion text and
// a call for each, and a redraw at capacity makes hundreds of thousands.
bool AppendPlainNumber(std::u16string& dest, std::u16string_view spec, char16_t letter,
                       std::int32_t value) {
  std::size_t min_digits = 1;
  if (spec.size() == 4 && spec[1] == u'0' && spec[2] == u'8' && letter == u'x') {
    min_digits = 8;
  } else if (spec.size() != 2) {
    return false;
  }
  char16_t digits[16];
  std::size_t count = 0;
  if (letter == u'x') {
    auto v = static_cast<std::uint32_t>(value);
    do {
      digits[count++] = u"0123456789abcdef"[v & 0xF];
      v >>= 4;
    } while (v != 0);
  } else if (letter == u'd' || letter == u'i' || letter == u'u') {
    const bool negative = letter != u'u' && value < 0;
    // Through 64 bits: the lowest int has no positive of its own.
    std::uint64_t v = letter == u'u' ? static_cast<std::uint32_t>(value)
                      : negative     ? static_cast<std::uint64_t>(-static_cast<std::int64_t>(value))
                                     : static_cast<std::uint64_t>(value);
    do {
      digits[count++] = static_cast<char16_t>(u'0' + v % 10);
      v /= 10;
    } while (v != 0);
    if (negative) dest.push_back(u'-');
  } else {
    return false;
  }
  for (std::size_t k = count; k < min_digits; ++k) dest.push_back(u'0');
  while (count > 0) dest.push_back(digits[--count]);
  return true;
}

// Hands one numeric conversion to the byte formatter. The conversion text is
// rebuilt without length letters so the argument's type is always the one
// the formatter reads.
template <typename T>
void AppendNumber(std::u16string& dest, std::u16string_view spec, char16_t letter, T value) {
  std::string narrow;
  for (char16_t u : spec) {
    if (!IsLength(u)) narrow.push_back(static_cast<char>(u & 0xFF));
  }
  if (narrow.size() > kMaxConversionBytes) return;
  narrow = BoundedConversion(narrow, letter == u'g' || letter == u'G');
  std::string out(64, '\0');
  for (;;) {
    int n;
    if constexpr (std::is_same_v<T, double>) {
      n = std::snprintf(out.data(), out.size(), narrow.c_str(), value);
    } else if (letter == u'p') {
      n = std::snprintf(
          out.data(), out.size(), narrow.c_str(),
          reinterpret_cast<void*>(static_cast<std::uintptr_t>(static_cast<std::uint32_t>(value))));
    } else if (letter == u'd' || letter == u'i') {
      n = std::snprintf(out.data(), out.size(), narrow.c_str(), static_cast<int>(value));
    } else {
      n = std::snprintf(out.data(), out.size(), narrow.c_str(), static_cast<unsigned>(value));
    }
    if (n < 0) return;
    if (static_cast<std::size_t>(n) < out.size()) {
      out.resize(static_cast<std::size_t>(n));
      break;
    }
    if (out.size() > kMaxConversionBytes) {  // already cut at the limit
      out.resize(kMaxConversionBytes);
      break;
    }
    out.assign(std::min(static_cast<std::size_t>(n), kMaxConversionBytes) + 1, '\0');
  }
  for (char c : out) dest.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
}

}  // namespace

std::size_t WideFormat(std::u16string& dest, std::u16string_view format,
                       std::initializer_list<FormatArg> args) {
  const std::size_t start = dest.size();
  const FormatArg* next = args.begin();
  auto take = [&]() -> const FormatArg* { return next != args.end() ? next++ : nullptr; };

  std::size_t i = 0;
  while (i < format.size()) {
    if (format[i] != u'%') {
      // The text up to the next conversion, at once.
      const std::size_t next_percent = format.find(u'%', i);
      const std::size_t end =
          next_percent == std::u16string_view::npos ? format.size() : next_percent;
      dest.append(format.substr(i, end - i));
      i = end;
      continue;
    }
    const std::size_t begin = i++;
    bool left = false, zero = false;
    while (i < format.size() && IsFlag(format[i])) {
      left |= format[i] == u'-';
      zero |= format[i] == u'0';
      ++i;
    }
    std::size_t width = 0;
    while (i < format.size() && IsDigit(format[i])) {
      width = width * 10 + static_cast<std::size_t>(format[i] - u'0');
      if (width > (1u << 20)) width = 1u << 20;  // a width past this is a typo, not a layout
      ++i;
    }
    if (i < format.size() && format[i] == u'.') {
      ++i;
      while (i < format.size() && IsDigit(format[i])) ++i;
    }
    while (i < format.size() && IsLength(format[i])) ++i;
    if (i >= format.size()) {
      // A "%" with no conversion letter before the end: copy what followed it.
      dest.append(format.substr(begin + 1));
      break;
    }
    const char16_t letter = format[i++];
    const std::u16string_view spec = format.substr(begin, i - begin);
    if (letter == u's') {
      const FormatArg* a = take();
      const std::u16string_view text =
          a && a->kind() == FormatArg::Kind::kText ? UpToZero(a->text_value()) : u"";
      AppendPadded(dest, text, width, left, zero);
    } else if (letter == u'c') {
      // A missing argument is an empty text, not a zero unit that would cut
      // the text short wherever it is read up to a zero.
      const FormatArg* a = take();
      const bool has_unit = a && a->kind() == FormatArg::Kind::kInt;
      const char16_t unit = has_unit ? static_cast<char16_t>(a->int_value() & 0xFFFF) : u'\0';
      AppendPadded(dest, std::u16string_view(&unit, has_unit ? 1 : 0), width, left, zero);
    } else if (letter == u'%') {
      AppendPadded(dest, u"%", width, left, zero);
    } else if (IsIntConversion(letter)) {
      const FormatArg* a = take();
      std::int32_t v = 0;
      if (a && a->kind() == FormatArg::Kind::kInt) v = a->int_value();
      if (a && a->kind() == FormatArg::Kind::kDouble) {
        const double d = a->double_value();
        if (d >= -2147483648.0 && d <= 2147483647.0) v = static_cast<std::int32_t>(d);
      }
      if (!AppendPlainNumber(dest, spec, letter, v)) AppendNumber(dest, spec, letter, v);
    } else if (IsFloatConversion(letter)) {
      const FormatArg* a = take();
      double v = 0;
      if (a && a->kind() == FormatArg::Kind::kDouble) v = a->double_value();
      if (a && a->kind() == FormatArg::Kind::kInt) v = a->int_value();
      AppendNumber(dest, spec, letter, v);
    } else {
      dest.append(spec.substr(1));
    }
  }
  return dest.size() - start;
}

std::u16string WideFormatted(std::u16string_view format, std::initializer_list<FormatArg> args) {
  std::u16string out;
  WideFormat(out, format, args);
  return out;
}

}  // namespace vellumine
