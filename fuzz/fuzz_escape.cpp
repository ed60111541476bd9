// EscapeMarkup leaves no markup character and no "&" that doesn't start one
// of its four entities; UnescapeMarkup of it gives the text back (up to its
// first zero unit). UnescapeMarkup of anything never grows a text. The
// markup forms of stored and plain texts hold no raw markup character, no
// bare "&" and no lone surrogate, and leave what EscapeMarkup stored as it
// is; a face's CSS value is the face or one quoted string.
#include "fuzz/fuzz_support.h"
#include "page/escape.h"
#include "page/safe_markup.h"

namespace {

bool HasLoneSurrogate(std::u16string_view text) {
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      return true;
    }
  }
  return false;
}

// No raw '<', '>' or '"', no zero unit, no lone surrogate, and every '&'
// followed by a name or number and ';'.
bool IsSafeMarkupText(std::u16string_view text) {
  if (HasLoneSurrogate(text)) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char16_t c = text[i];
    if (c == u'<' || c == u'>' || c == u'"' || c == 0) return false;
    if (c != u'&') continue;
    std::size_t j = i + 1;
    const bool number = j < text.size() && text[j] == u'#';
    if (number) ++j;
    const std::size_t start = j;
    while (j < text.size() && text[j] != u';' && text[j] != u'&' && j - start < 64) {
      const char16_t d = text[j];
      const bool alnum =
          (d >= u'0' && d <= u'9') || (d >= u'a' && d <= u'z') || (d >= u'A' && d <= u'Z');
      if (!alnum) return false;
      ++j;
    }
    if (j == start || j >= text.size() || text[j] != u';') return false;
  }
  return true;
}

}  // namespace

using namespace vellumine;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::u16string text =
      fuzz::LittleEndianUnits(std::string_view(reinterpret_cast<const char*>(data), size));
  const std::u16string escaped = EscapeMarkup(std::u16string_view(text));
  for (std::size_t i = 0; i < escaped.size(); ++i) {
    const char16_t c = escaped[i];
    FUZZ_CHECK(c != u'<' && c != u'>' && c != u'"' && c != 0);
    if (c == u'&') {
      const std::u16string_view rest = std::u16string_view(escaped).substr(i);
      FUZZ_CHECK(rest.starts_with(u"&amp;") || rest.starts_with(u"&lt;") ||
                 rest.starts_with(u"&gt;") || rest.starts_with(u"&quot;"));
    }
  }
  std::u16string back = escaped;
  UnescapeMarkup(back);
  FUZZ_CHECK(back == UpToZero(text));

  const TextArg null_text;
  FUZZ_CHECK(!EscapeMarkup(null_text).has_value());
  FUZZ_CHECK(EscapeMarkup(TextArg(text)) == TextArg(escaped));

  const std::u16string stored = StoredTextMarkup(text);
  FUZZ_CHECK(IsSafeMarkupText(stored));
  FUZZ_CHECK(StoredTextMarkup(stored) == stored);
  const std::u16string plain = PlainTextMarkup(text);
  FUZZ_CHECK(IsSafeMarkupText(plain));
  if (!HasLoneSurrogate(UpToZero(text))) {
    FUZZ_CHECK(StoredTextMarkup(escaped) == escaped);
    FUZZ_CHECK(plain == escaped);
  }
  const std::u16string family = FontFamilyValue(text);
  if (IsPlainFaceName(text)) {
    FUZZ_CHECK(family == UpToZero(text));
  } else {
    FUZZ_CHECK(family.size() >= 2 && family.front() == u'"' && family.back() == u'"');
    const std::u16string_view inside = std::u16string_view(family).substr(1, family.size() - 2);
    FUZZ_CHECK(!HasLoneSurrogate(inside));
    for (char16_t c : inside) {
      FUZZ_CHECK(c >= 0x20 && c != u'"' && c != u'\'' && c != u';' && c != u'<' && c != u'>' &&
                 c != u'&' && c != u'{' && c != u'}' && c != u'(' && c != u')' && c != 0x7F);
    }
  }

  std::u16string raw = text;
  UnescapeMarkup(raw);
  FUZZ_CHECK(raw.size() <= text.size());
  return 0;
}
