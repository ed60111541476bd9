#include "page/escape.h"

#include <gtest/gtest.h>

namespace vellumine {
namespace {

std::u16string Unescaped(std::u16string text) {
  UnescapeMarkup(text);
  return text;
}

TEST(EscapeMarkupTest, MapsExactlyTheFourCharacters) {
  EXPECT_EQ(EscapeMarkup(std::u16string_view(u"x<y & z")), u"x&lt;y &amp; z");
  EXPECT_EQ(EscapeMarkup(std::u16string_view(u"\"a\">b")), u"&quot;a&quot;&gt;b");
  // Apostrophe, line breaks, tabs and non-ASCII pass through.
  const std::u16string plain = u"it's\r\n\t予定 ①";
  EXPECT_EQ(EscapeMarkup(std::u16string_view(plain)), plain);
  EXPECT_EQ(EscapeMarkup(std::u16string_view(u"&lt;")), u"&amp;lt;");
}

TEST(EscapeMarkupTest, NullStaysNullEmptyStaysEmpty) {
  EXPECT_EQ(EscapeMarkup(TextArg()), std::nullopt);
  const TextArg empty = EscapeMarkup(TextArg(u""));
  ASSERT_TRUE(empty.has_value());
  EXPECT_EQ(*empty, u"");
  EXPECT_EQ(EscapeMarkup(TextArg(u"<")), TextArg(u"&lt;"));
}

TEST(EscapeMarkupTest, StopsAtFirstZeroUnit) {
  const std::u16string text(u"a<b\0<c", 6);
  EXPECT_EQ(EscapeMarkup(std::u16string_view(text)), u"a&lt;b");
}

TEST(UnescapeMarkupTest, OneLevelOnly) {
  EXPECT_EQ(Unescaped(u"x&lt;y &amp; z"), u"x<y & z");
  EXPECT_EQ(Unescaped(u"&amp;lt;"), u"&lt;");
  EXPECT_EQ(Unescaped(u"&quot;&gt;&quot;"), u"\">\"");
  EXPECT_EQ(Unescaped(u"&&lt;"), u"&<");
}

TEST(UnescapeMarkupTest, LeavesOtherEntitiesAndPartialOnes) {
  for (const std::u16string text :
       {u"&LT;", u"a&lt", u"&#60;", u"&apos;", u"&nbsp;", u"&", u"&quot", u"&Amp;", u""}) {
    EXPECT_EQ(Unescaped(text), text);
  }
}

TEST(UnescapeMarkupTest, StopsAtFirstZeroUnit) {
  std::u16string text(u"&lt;\0&gt;", 9);
  UnescapeMarkup(text);
  EXPECT_EQ(UpToZero(text), u"<");
}

TEST(UnescapeMarkupTest, UnescapeOfEscapeIsIdentity) {
  const std::u16string samples[] = {
      u"",
      u"&",
      u"&amp;",
      u"&lt;&gt;&quot;&amp;",
      u"<<>>\"\"&&",
      u"a&b<c>d\"e'f\r\ng\u65e5\U0001F600",
      u"&&&lt;;;&quot",
  };
  for (const std::u16string& s : samples) {
    EXPECT_EQ(Unescaped(EscapeMarkup(std::u16string_view(s))), s);
  }
  // Every text over a small alphabet up to length 5.
  const std::u16string alphabet = u"&<>\"lt;qa";
  std::u16string text;
  std::size_t checked = 0;
  for (std::size_t n = 0; n <= 5; ++n) {
    std::size_t combos = 1;
    for (std::size_t i = 0; i < n; ++i) combos *= alphabet.size();
    for (std::size_t c = 0; c < combos; ++c) {
      text.clear();
      std::size_t v = c;
      for (std::size_t i = 0; i < n; ++i) {
        text.push_back(alphabet[v % alphabet.size()]);
        v /= alphabet.size();
      }
      ASSERT_EQ(Unescaped(EscapeMarkup(std::u16string_view(text))), text);
      ++checked;
    }
  }
  EXPECT_GT(checked, 60000u);
}

}  // namespace
}  // namespace vellumine
