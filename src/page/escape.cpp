#include "page/escape.h"

#include <array>

namespace vellumine {

namespace {

struct Entity {
  char16_t unit;
  std::u16string_view text;
};

// Unescaping tries them in this order; the first full match wins.
constexpr std::array<Entity, 4> kEntities = {{
    {u'<', u"&lt;"},
    {u'>', u"&gt;"},
    {u'&', u"&amp;"},
    {u'"', u"&quot;"},
}};

std::u16string_view EntityOf(char16_t unit) {
  for (const Entity& e : kEntities) {
    if (e.unit == unit) return e.text;
  }
  return {};
}

}  // namespace

std::u16string EscapeMarkup(std::u16string_view text) {
  const std::u16string_view input = UpToZero(text);
  std::size_t size = 0;
  for (char16_t c : input) {
    const std::u16string_view entity = EntityOf(c);
    size += entity.empty() ? 1 : entity.size();
  }
  std::u16string out;
  out.reserve(size);
  for (char16_t c : input) {
    const std::u16string_view entity = EntityOf(c);
    if (entity.empty()) {
      out.push_back(c);
    } else {
      out.append(entity);
    }
  }
  return out;
}

TextArg EscapeMarkup(const TextArg& text) {
  if (!text) return std::nullopt;
  return EscapeMarkup(std::u16string_view(*text));
}

void UnescapeMarkup(std::u16string& text) {
  // Work up to the first zero unit; whatever lies beyond it is not text.
  const std::size_t end = UpToZero(text).size();
  std::size_t write = 0;
  std::size_t read = 0;
  while (read < end) {
    const char16_t c = text[read];
    if (c == u'&') {
      const std::u16string_view rest(text.data() + read, end - read);
      bool matched = false;
      for (const Entity& e : kEntities) {
        if (rest.starts_with(e.text)) {
          text[write++] = e.unit;
          read += e.text.size();
          matched = true;
          break;
        }
      }
      if (matched) continue;
    }
    text[write++] = c;
    ++read;
  }
  text.erase(write, end - write);
}

}  // namespace vellumine
