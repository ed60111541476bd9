// EscapeMarkup leaves no markup character and no "&" that doesn't start one
// of its four entities; UnescapeMarkup of it gives the text back (up to its
// first zero unit). UnescapeMarkup of anything never grows a text.
#include "fuzz/fuzz_support.h"
#include "organiser/escape.h"

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

  std::u16string raw = text;
  UnescapeMarkup(raw);
  FUZZ_CHECK(raw.size() <= text.size());
  return 0;
}
