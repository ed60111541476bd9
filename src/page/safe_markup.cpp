#include "page/safe_markup.h"

#include "page/text.h"

namespace vellumine {
namespace {

constexpr char16_t kReplacement = u'\uFFFD';

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }
bool IsAsciiLetter(char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); }
bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }
bool IsHexDigit(char16_t c) {
  return IsDigit(c) || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// Appends the unit at i, or the pair starting there, and returns the number
// of units taken; a surrogate without its partner becomes U+FFFD.
std::size_t AppendUnit(std::u16string& out, std::u16string_view text, std::size_t i) {
  const char16_t c = text[i];
  if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
    out.push_back(c);
    out.push_back(text[i + 1]);
    return 2;
  }
  out.push_back(IsHigh(c) || IsLow(c) ? kReplacement : c);
  return 1;
}

// The length of the character reference at the start of text ("&lt;",
// "&#60;", "&#x3c;"), ended by ';'; 0 when text starts none.
std::size_t ReferenceLength(std::u16string_view text) {
  std::size_t i = 1;  // past '&'
  if (i < text.size() && text[i] == u'#') {
    ++i;
    const bool hex = i < text.size() && (text[i] == u'x' || text[i] == u'X');
    if (hex) ++i;
    const std::size_t digits = i;
    while (i < text.size() && (hex ? IsHexDigit(text[i]) : IsDigit(text[i]))) ++i;
    if (i == digits) return 0;
  } else {
    if (i >= text.size() || !IsAsciiLetter(text[i])) return 0;
    while (i < text.size() && (IsAsciiLetter(text[i]) || IsDigit(text[i]))) ++i;
  }
  return i < text.size() && text[i] == u';' ? i + 1 : 0;
}

// The entity of the four markup characters; empty for any other unit.
std::u16string_view MarkupEntity(char16_t c) {
  switch (c) {
    case u'<':
      return u"&lt;";
    case u'>':
      return u"&gt;";
    case u'"':
      return u"&quot;";
    case u'&':
      return u"&amp;";
    default:
      return {};
  }
}

bool EndsCssValue(char16_t c) {
  if (c < 0x20 || c == 0x7F) return true;
  switch (c) {
    case u'"':
    case u'\'':
    case u'\\':
    case u'<':
    case u'>':
    case u'&':
    case u';':
    case u'{':
    case u'}':
    case u'(':
    case u')':
    case u'/':
      return true;
    default:
      return false;
  }
}

}  // namespace

std::u16string StoredTextMarkup(std::u16string_view stored) {
  const std::u16string_view text = UpToZero(stored);
  std::u16string out;
  out.reserve(text.size());
  std::size_t i = 0;
  while (i < text.size()) {
    const char16_t c = text[i];
    if (c == u'&') {
      // A reference is kept whole: the stored form is already escaped.
      const std::size_t n = ReferenceLength(text.substr(i));
      if (n > 0) {
        out.append(text.substr(i, n));
        i += n;
        continue;
      }
    }
    const std::u16string_view entity = MarkupEntity(c);
    if (!entity.empty()) {
      out.append(entity);
      ++i;
    } else {
      i += AppendUnit(out, text, i);
    }
  }
  return out;
}

std::u16string PlainTextMarkup(std::u16string_view text) {
  const std::u16string_view input = UpToZero(text);
  std::u16string out;
  out.reserve(input.size());
  std::size_t i = 0;
  while (i < input.size()) {
    const std::u16string_view entity = MarkupEntity(input[i]);
    if (!entity.empty()) {
      out.append(entity);
      ++i;
    } else {
      i += AppendUnit(out, input, i);
    }
  }
  return out;
}

bool IsPlainFaceName(std::u16string_view face) {
  const std::u16string_view name = UpToZero(face);
  for (std::size_t i = 0; i < name.size(); ++i) {
    const char16_t c = name[i];
    if (EndsCssValue(c)) return false;
    if (IsHigh(c) && i + 1 < name.size() && IsLow(name[i + 1])) {
      ++i;
    } else if (IsHigh(c) || IsLow(c)) {
      return false;
    }
  }
  return true;
}

std::u16string FontFamilyValue(std::u16string_view face) {
  const std::u16string_view name = UpToZero(face);
  if (IsPlainFaceName(name)) return std::u16string(name);
  // A quoted CSS string; every unit that could end it, or the value, or
  // mean something to the markup around it, as a hex escape with the space
  // that ends one.
  static constexpr char16_t kHex[] = u"0123456789abcdef";
  std::u16string out = u"\"";
  std::size_t i = 0;
  while (i < name.size()) {
    const char16_t c = name[i];
    if (EndsCssValue(c)) {
      out.push_back(u'\\');
      if (c >= 0x10) out.push_back(kHex[c >> 4]);
      out.push_back(kHex[c & 0xF]);
      out.push_back(u' ');
      ++i;
    } else {
      i += AppendUnit(out, name, i);
    }
  }
  out.push_back(u'"');
  return out;
}

}  // namespace vellumine
