#include "page/text.h"

namespace vellumine {
namespace {

// Length of a zero-terminated text.
std::size_t ZLen(const char16_t* s) {
  std::size_t n = 0;
  while (s[n] != 0) ++n;
  return n;
}

// True when units i and i + 1 are a surrogate pair.
bool PairAt(std::u16string_view s, std::size_t i) {
  return s[i] >= 0xD800 && s[i] <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 &&
         s[i + 1] <= 0xDFFF;
}

int Diff(char16_t a, char16_t b) { return static_cast<int>(a) - static_cast<int>(b); }

// Compares at most n units; prefix_only stops at the end of either text. A
// zero unit ends a text; it is met in the loop rather than searched for first,
// so a comparison costs no more than the units it reads.
int Compare(std::u16string_view a, std::u16string_view b, std::size_t n, bool prefix_only) {
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t ua = i < a.size() ? a[i] : u'\0';
    const char16_t ub = i < b.size() ? b[i] : u'\0';
    if (ua == 0 || ub == 0) {
      if (prefix_only || (ua == 0 && ub == 0)) return 0;
      return Diff(ua, ub);
    }
    if (ua != ub) return Diff(ua, ub);
  }
  return 0;
}

int NullRule(const char16_t* a, const char16_t* b, bool* decided) {
  *decided = a == nullptr || b == nullptr;
  if (a == nullptr && b == nullptr) return 0;
  if (a == nullptr) return 1;
  if (b == nullptr) return -1;
  return 0;
}

}  // namespace

std::u16string_view UpToZero(std::u16string_view text) {
  const std::size_t zero = text.find(u'\0');
  return zero == std::u16string_view::npos ? text : text.substr(0, zero);
}

int TextCompare(std::u16string_view a, std::u16string_view b) {
  return Compare(a, b, static_cast<std::size_t>(-1), false);
}

int TextCompare(const char16_t* a, const char16_t* b) {
  bool decided;
  const int r = NullRule(a, b, &decided);
  return decided ? r
                 : TextCompare(std::u16string_view(a, ZLen(a)), std::u16string_view(b, ZLen(b)));
}

int TextCompareN(std::u16string_view a, std::u16string_view b, std::size_t n) {
  return Compare(a, b, n, false);
}

int TextCompareN(const char16_t* a, const char16_t* b, std::size_t n) {
  bool decided;
  const int r = NullRule(a, b, &decided);
  return decided
             ? r
             : TextCompareN(std::u16string_view(a, ZLen(a)), std::u16string_view(b, ZLen(b)), n);
}

int KeyPrefixEqual(std::u16string_view a, std::u16string_view b) {
  return Compare(a, b, static_cast<std::size_t>(-1), true);
}

int KeyPrefixEqual(const char16_t* a, const char16_t* b) {
  bool decided;
  const int r = NullRule(a, b, &decided);
  return decided ? r
                 : KeyPrefixEqual(std::u16string_view(a, ZLen(a)), std::u16string_view(b, ZLen(b)));
}

std::int32_t ParseDecimal(std::u16string_view text) {
  std::size_t i = 0;
  bool negative = false;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
    negative = text[i] == u'-';
    ++i;
  }
  std::uint32_t value = 0;  // unsigned: the arithmetic wraps instead of overflowing
  for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
    value = value * 10u + static_cast<std::uint32_t>(text[i] - u'0');
  }
  if (negative) value = 0u - value;
  return static_cast<std::int32_t>(value);
}

std::u16string Utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  std::size_t i = 0;
  while (i < utf8.size()) {
    const unsigned char c = static_cast<unsigned char>(utf8[i]);
    char32_t cp;
    std::size_t len;
    if (c < 0x80) {
      cp = c;
      len = 1;
    } else if ((c & 0xE0) == 0xC0) {
      cp = c & 0x1F;
      len = 2;
    } else if ((c & 0xF0) == 0xE0) {
      cp = c & 0x0F;
      len = 3;
    } else if ((c & 0xF8) == 0xF0) {
      cp = c & 0x07;
      len = 4;
    } else {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    bool ok = i + len <= utf8.size();
    for (std::size_t k = 1; ok && k < len; ++k) {
      const unsigned char cc = static_cast<unsigned char>(utf8[i + k]);
      if ((cc & 0xC0) != 0x80) {
        ok = false;
      } else {
        cp = (cp << 6) | (cc & 0x3F);
      }
    }
    const char32_t min_for_len[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!ok || cp < min_for_len[len] || cp > 0x10FFFF) {
      out.push_back(u'\uFFFD');
      ++i;
      continue;
    }
    // Lone surrogates encoded in UTF-8 are kept as the units they name, so a
    // text survives a round trip through this boundary unchanged.
    if (cp >= 0x10000) {
      cp -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += len;
  }
  return out;
}

// Sized first, then written through a pointer: every page write passes
// through here, and a check for room at each byte costs more than the
// second pass.
std::size_t Utf8Size(std::u16string_view utf16) {
  const std::size_t n = utf16.size();
  std::size_t bytes = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const char16_t u = utf16[i];
    if (u < 0x80) {
      bytes += 1;
    } else if (u < 0x800) {
      bytes += 2;
    } else if (PairAt(utf16, i)) {
      bytes += 4;
      ++i;
    } else {
      bytes += 3;
    }
  }
  return bytes;
}

void WriteUtf8(std::u16string_view utf16, char* p, bool lone_as_replacement) {
  const std::size_t n = utf16.size();
  for (std::size_t i = 0; i < n; ++i) {
    char32_t cp = utf16[i];
    if (cp < 0x80) {
      *p++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
      *p++ = static_cast<char>(0xC0 | (cp >> 6));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (PairAt(utf16, i)) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (utf16[i + 1] - 0xDC00);
      ++i;
      *p++ = static_cast<char>(0xF0 | (cp >> 18));
      *p++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
      *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      if (lone_as_replacement && cp >= 0xD800 && cp <= 0xDFFF) cp = 0xFFFD;
      *p++ = static_cast<char>(0xE0 | (cp >> 12));
      *p++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *p++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
}

std::string Utf16ToUtf8(std::u16string_view utf16) {
  std::string out(Utf8Size(utf16), '\0');
  WriteUtf8(utf16, out.data(), false);
  return out;
}

}  // namespace vellumine
