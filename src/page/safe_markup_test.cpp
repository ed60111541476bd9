#include "page/safe_markup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dom/html_document.h"
#include "page/escape.h"
#include "page/text.h"

namespace vellumine {
namespace {

// Every text over alphabet of up to max_length units.
std::vector<std::u16string> AllTexts(std::u16string_view alphabet, std::size_t max_length) {
  std::vector<std::u16string> out = {u""};
  std::size_t begin = 0;
  for (std::size_t n = 1; n <= max_length; ++n) {
    const std::size_t end = out.size();
    for (std::size_t i = begin; i < end; ++i) {
      for (char16_t c : alphabet) out.push_back(out[i] + c);
    }
    begin = end;
  }
  return out;
}

// The outer HTML of the element "t" after parsing html as a page body.
std::string ParsedOuter(std::u16string_view html) {
  const std::unique_ptr<HtmlDocument> doc =
      HtmlDocument::Parse("<!DOCTYPE html><html><body>" + Utf16ToUtf8(html) + "</body></html>");
  return doc->OuterHtmlById(u"t").value_or("(none)");
}

// A CSS string as a CSS parser reads it: hex escapes ended by one optional
// space, any other escaped unit as itself. nullopt when value is not one
// well-formed double-quoted string.
std::optional<std::u16string> ReadCssString(std::u16string_view value) {
  if (value.size() < 2 || value.front() != u'"' || value.back() != u'"') return std::nullopt;
  const std::u16string_view body = value.substr(1, value.size() - 2);
  std::u16string out;
  for (std::size_t i = 0; i < body.size(); ++i) {
    const char16_t c = body[i];
    if (c == u'"' || c < 0x20) return std::nullopt;
    if (c != u'\\') {
      out.push_back(c);
      continue;
    }
    if (++i >= body.size()) return std::nullopt;
    std::uint32_t code = 0;
    std::size_t digits = 0;
    auto hex = [](char16_t h) -> int {
      if (h >= u'0' && h <= u'9') return h - u'0';
      if (h >= u'a' && h <= u'f') return h - u'a' + 10;
      if (h >= u'A' && h <= u'F') return h - u'A' + 10;
      return -1;
    };
    while (i < body.size() && digits < 6 && hex(body[i]) >= 0) {
      code = code * 16 + static_cast<std::uint32_t>(hex(body[i++]));
      ++digits;
    }
    if (digits == 0) {
      out.push_back(body[i]);
      continue;
    }
    out.push_back(static_cast<char16_t>(code));
    if (i < body.size() && body[i] == u' ') continue;  // the escape's own end
    --i;
  }
  return out;
}

TEST(StoredTextMarkupTest, EveryEscapedFormPassesUnchanged) {
  // What EscapeMarkup stores is what the page got before: byte for byte.
  std::size_t checked = 0;
  for (const std::u16string& typed : AllTexts(u"&<>\"'#;xl", 4)) {
    const std::u16string stored = EscapeMarkup(std::u16string_view(typed));
    ASSERT_EQ(StoredTextMarkup(stored), stored) << Utf16ToUtf8(typed);
    ++checked;
  }
  EXPECT_GT(checked, 7000u);
  const std::u16string memo = u"買い物: 牛乳 &amp; パン &lt;2本&gt; &quot;急ぎ&quot;\r\n\t①";
  EXPECT_EQ(StoredTextMarkup(memo), memo);
}

TEST(StoredTextMarkupTest, EscapesOnlyTheOffendingCharacters) {
  EXPECT_EQ(StoredTextMarkup(u"<img src=x onerror=\"Skerrow.AddMemo(document,'P','x')\">"),
            u"&lt;img src=x onerror=&quot;Skerrow.AddMemo(document,'P','x')&quot;&gt;");
  // References stay whole, whatever they name; a bare '&' is escaped.
  EXPECT_EQ(StoredTextMarkup(u"&#39;&#x27;&#X3C;&quot;&lt;script&gt;&nbsp;&foo;"),
            u"&#39;&#x27;&#X3C;&quot;&lt;script&gt;&nbsp;&foo;");
  EXPECT_EQ(StoredTextMarkup(u"A & B &lt &#; &#x; &; &#12a; &1a;"),
            u"A &amp; B &amp;lt &amp;#; &amp;#x; &amp;; &amp;#12a; &amp;1a;");
  EXPECT_EQ(StoredTextMarkup(u"&"), u"&amp;");
  EXPECT_EQ(StoredTextMarkup(u"&&lt;"), u"&amp;&lt;");
}

TEST(StoredTextMarkupTest, LoneSurrogatesAndZeroUnits) {
  EXPECT_EQ(StoredTextMarkup(std::u16string(u"a\xD800<b\xDC00", 5)), u"a\uFFFD&lt;b\uFFFD");
  EXPECT_EQ(StoredTextMarkup(u"\U0001F600"), u"\U0001F600");
  EXPECT_EQ(StoredTextMarkup(std::u16string(u"\xDC00\xD800", 2)), u"\uFFFD\uFFFD");
  EXPECT_EQ(StoredTextMarkup(std::u16string(u"ok\0<script>", 11)), u"ok");
}

TEST(StoredTextMarkupTest, ParsesAsTextOnlyAndIsStable) {
  // Inside an element and inside a double-quoted attribute, any result is
  // text: the parser makes no element and no attribute of it.
  for (const std::u16string& text : AllTexts(u"<>&\"'#x;/a=", 4)) {
    const std::u16string safe = StoredTextMarkup(text);
    ASSERT_EQ(StoredTextMarkup(safe), safe);
    const std::string content = ParsedOuter(u"<pre id=\"t\">" + safe + u"</pre>");
    ASSERT_EQ(content.rfind("<pre id=\"t\">", 0), 0u) << content;
    ASSERT_EQ(content.find('<', 1), content.size() - 6) << content;
    const std::string attribute = ParsedOuter(u"<pre id=\"t\" title=\"" + safe + u"\"></pre>");
    const std::string head = "<pre id=\"t\" title=\"";
    const std::string tail = "\"></pre>";
    ASSERT_EQ(attribute.rfind(head, 0), 0u) << attribute;
    ASSERT_GE(attribute.size(), head.size() + tail.size()) << attribute;
    // One value: the serializer writes a quote inside it as "&quot;".
    ASSERT_EQ(attribute.find('"', head.size()), attribute.size() - tail.size()) << attribute;
    ASSERT_EQ(attribute.substr(attribute.size() - tail.size()), tail) << attribute;
  }
}

TEST(PlainTextMarkupTest, EscapesAsStoringDoesAndRepairsSurrogates) {
  for (const std::u16string& text : AllTexts(u"&<>\"'a", 4)) {
    ASSERT_EQ(PlainTextMarkup(text), EscapeMarkup(std::u16string_view(text)));
  }
  EXPECT_EQ(PlainTextMarkup(u"/home/u/<b>&amp;.png"), u"/home/u/&lt;b&gt;&amp;amp;.png");
  EXPECT_EQ(PlainTextMarkup(std::u16string(u"\xDBFFx\xDFFF", 3)), u"\uFFFDx\uFFFD");
  EXPECT_EQ(PlainTextMarkup(std::u16string(u"a\0b", 3)), u"a");
}

TEST(FontFamilyValueTest, PickerFacesStayAsTheyAre) {
  for (const std::u16string face : {u"ＭＳ ゴシック", u"DejaVu Sans", u"Noto Sans CJK JP", u"M+ 1p",
                                    u"IPAexGothic, serif", u"Font-2 !x", u"\U0001F600"}) {
    EXPECT_TRUE(IsPlainFaceName(face)) << Utf16ToUtf8(face);
    EXPECT_EQ(FontFamilyValue(face), face);
  }
  EXPECT_EQ(FontFamilyValue(std::u16string(u"Sans\0;x", 7)), u"Sans");
}

TEST(FontFamilyValueTest, OtherFacesBecomeOneQuotedCssString) {
  EXPECT_EQ(FontFamilyValue(u"\"><img src onerror=write(1)>"),
            u"\"\\22 \\3e \\3c img src onerror=write\\28 1\\29 \\3e \"");
  EXPECT_EQ(FontFamilyValue(u"x;background:url(//e/)"),
            u"\"x\\3b background:url\\28 \\2f \\2f e\\2f \\29 \"");
  const std::u16string hostile[] = {
      u"a'b",      u"a\\b",         u"}{body{display:none",       u"x\ny",     u"a&quot;b",
      u"</style>", u"x/*comment*/", std::u16string(u"\xD800", 1), u"\x7F\x1F", u"&#39;)"};
  for (const std::u16string& face : hostile) {
    EXPECT_FALSE(IsPlainFaceName(face)) << Utf16ToUtf8(face);
    const std::u16string value = FontFamilyValue(face);
    // A CSS parser reads back the face itself (a lone surrogate as U+FFFD).
    std::u16string expected = face;
    for (char16_t& c : expected) {
      if (c >= 0xD800 && c <= 0xDFFF) c = u'\uFFFD';
    }
    EXPECT_EQ(ReadCssString(value), expected) << Utf16ToUtf8(face);
    for (char16_t c : value.substr(1, value.size() - 2)) {
      ASSERT_TRUE(c != u'"' && c != u'\'' && c != u';' && c != u'<' && c != u'>' && c != u'&' &&
                  c != u'{' && c != u'}' && c != u'(' && c != u')' && c >= 0x20)
          << Utf16ToUtf8(face);
    }
  }
}

TEST(FontFamilyValueTest, StyleAttributeHoldsExactlyTheValue) {
  // Formatted into a style attribute, the face is one declaration's value:
  // the parser finds the same two attributes whatever the face holds.
  for (const std::u16string& face : AllTexts(u"\"'<>&;(\\ a", 3)) {
    const std::u16string markup = PlainTextMarkup(FontFamilyValue(face));
    const std::u16string html = u"<pre id=\"t\" style=\"font-family:" + markup + u"\"></pre>";
    ASSERT_EQ(ParsedOuter(html), Utf16ToUtf8(html)) << Utf16ToUtf8(face);
  }
}

TEST(FontFamilyValueTest, StylePropertyTakesTheValue) {
  // The in-memory page refuses a value that would end its declaration; the
  // quoted form is taken whole.
  const std::unique_ptr<HtmlDocument> doc =
      HtmlDocument::Parse("<html><body><div id=\"t\"></div></body></html>");
  for (const std::u16string face : {u"x;color:red", u"a\"b", u"}", u"Sans"}) {
    const std::u16string value = FontFamilyValue(face);
    doc->FindElementById(u"t")->SetStyleFontFamily(value);
    EXPECT_EQ(doc->OuterHtmlById(u"t"), "<div id=\"t\" style=\"font-family: " +
                                            Utf16ToUtf8(PlainTextMarkup(value)) + "\"></div>")
        << Utf16ToUtf8(face);
  }
}

}  // namespace
}  // namespace vellumine
