#include "hosts/cli/json_text.h"

namespace vellumine::cli {
namespace {

constexpr char kHex[] = "0123456789abcdef";

void AppendUnitEscape(std::string& out, char16_t unit) {
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out += kHex[(unit >> shift) & 0xF];
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool IsHighSurrogate(char16_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool IsLowSurrogate(char16_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

}  // namespace

void AppendJsonString(std::string& out, std::u16string_view text) {
  out += '"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t u = text[i];
    switch (u) {
      case u'"':
        out += "\\\"";
        continue;
      case u'\\':
        out += "\\\\";
        continue;
      case u'\b':
        out += "\\b";
        continue;
      case u'\f':
        out += "\\f";
        continue;
      case u'\n':
        out += "\\n";
        continue;
      case u'\r':
        out += "\\r";
        continue;
      case u'\t':
        out += "\\t";
        continue;
      default:
        break;
    }
    if (u < 0x20) {
      AppendUnitEscape(out, u);
    } else if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      const char32_t c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                         (static_cast<char32_t>(text[i + 1]) - 0xDC00);
      AppendUtf8(out, c);
      ++i;
    } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
      AppendUnitEscape(out, u);
    } else {
      AppendUtf8(out, u);
    }
  }
  out += '"';
}

void AppendJsonText(std::string& out, const TextArg& text) {
  if (text) {
    AppendJsonString(out, *text);
  } else {
    out += "null";
  }
}

void AppendJsonUtf8(std::string& out, std::string_view utf8) {
  AppendJsonString(out, Utf8ToUtf16(utf8));
}

}  // namespace vellumine::cli
