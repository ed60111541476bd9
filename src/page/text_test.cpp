#include "page/text.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>
#include <string>

namespace vellumine {
namespace {

using namespace std::string_view_literals;

TEST(TextCompare, EqualTextsAndFirstDifference) {
  EXPECT_EQ(TextCompare(u"memolist", u"memolist"), 0);
  EXPECT_EQ(TextCompare(u"abc", u"abd"), u'c' - u'd');
  EXPECT_EQ(TextCompare(u"abd", u"abc"), u'd' - u'c');
  // A prefix sorts first: the end counts as a zero unit.
  EXPECT_EQ(TextCompare(u"ab", u"abc"), -static_cast<int>(u'c'));
  EXPECT_EQ(TextCompare(u"abc", u"ab"), static_cast<int>(u'c'));
  EXPECT_EQ(TextCompare(u"", u""), 0);
  // Units compare unsigned: U+FFFF is above everything else.
  EXPECT_EQ(TextCompare(u"\uFFFF", u"a"), 0xFFFF - 0x61);
  // Units, not code points: a surrogate pair sorts below U+FFFD.
  EXPECT_EQ(TextCompare(u"\U0001F600", u"\uFFFD"), 0xD83D - 0xFFFD);
  EXPECT_LT(TextCompare(u"\xD800", u"\uE000"), 0);
  // Ids are compared exactly: case matters.
  EXPECT_NE(TextCompare(u"Memo", u"memo"), 0);
}

TEST(TextCompare, NullTextsSortLast) {
  const char16_t* null = nullptr;
  EXPECT_EQ(TextCompare(null, null), 0);
  EXPECT_GT(TextCompare(null, u""), 0);
  EXPECT_LT(TextCompare(u"", null), 0);
  EXPECT_GT(TextCompare(null, u"\uFFFF"), 0);
  EXPECT_GT(TextCompareN(null, u"a", 1), 0);
  EXPECT_LT(TextCompareN(u"a", null, 0), 0);
  EXPECT_EQ(KeyPrefixEqual(null, null), 0);
  EXPECT_GT(KeyPrefixEqual(null, u""), 0);
  EXPECT_LT(KeyPrefixEqual(u"Default", null), 0);
}

TEST(TextCompare, StopsAtTheFirstZeroUnit) {
  EXPECT_EQ(TextCompare(u"ab\0x"sv, u"ab\0y"sv), 0);
  EXPECT_EQ(TextCompare(u"ab\0x"sv, u"ab"sv), 0);
  EXPECT_EQ(TextCompare(u"ab"sv, u"abc\0"sv), -static_cast<int>(u'c'));
  const char16_t with_zero[] = {u'a', 0, u'b', 0};
  EXPECT_EQ(TextCompare(with_zero, u"a"), 0);
  EXPECT_EQ(KeyPrefixEqual(u"Ha\0zz"sv, u"Hash="sv), 0);
}

TEST(TextCompare, AtMostNUnits) {
  EXPECT_EQ(TextCompareN(u"abcX", u"abcY", 3), 0);
  EXPECT_EQ(TextCompareN(u"abcX", u"abcY", 4), u'X' - u'Y');
  EXPECT_EQ(TextCompareN(u"abc", u"abd", 0), 0);
  EXPECT_EQ(TextCompareN(u"ab", u"abc", 3), -static_cast<int>(u'c'));
  EXPECT_EQ(TextCompareN(u"ab", u"abc", 2), 0);
  EXPECT_EQ(TextCompareN(u"abc", u"abc", 100), 0);
  EXPECT_EQ(TextCompareN(u"WndPos.x12=5"sv, u"WndPos.y"sv, 7), 0);
  EXPECT_NE(TextCompareN(u"WndPos.x12=5"sv, u"WndPos.y"sv, 8), 0);
}

TEST(KeyPrefixEqual, ShorterTextIsAPrefixOfTheLonger) {
  EXPECT_EQ(KeyPrefixEqual(u"Def", u"Default"), 0);
  EXPECT_NE(TextCompare(u"Def", u"Default"), 0);
  EXPECT_EQ(KeyPrefixEqual(u"Default", u"Def"), 0);
  EXPECT_EQ(KeyPrefixEqual(u"Hash=0123abcd", u"Hash="), 0);
  EXPECT_EQ(KeyPrefixEqual(u"Hasx=1", u"Hash="), u'x' - u'h');
  EXPECT_EQ(KeyPrefixEqual(u"Default", u"Default"), 0);
  EXPECT_EQ(KeyPrefixEqual(u"default", u"Default"), u'd' - u'D');
  EXPECT_EQ(KeyPrefixEqual(u"", u"Default"), 0);  // the empty text is a prefix of any
}

TEST(ParseDecimal, SignDigitsAndNothingElse) {
  EXPECT_EQ(ParseDecimal(u"-12ab"), -12);
  EXPECT_EQ(ParseDecimal(u"abc"), 0);
  EXPECT_EQ(ParseDecimal(u""), 0);
  EXPECT_EQ(ParseDecimal(u"+7"), 7);
  EXPECT_EQ(ParseDecimal(u"-"), 0);
  EXPECT_EQ(ParseDecimal(u"+-3"), 0);
  EXPECT_EQ(ParseDecimal(u"007"), 7);
  EXPECT_EQ(ParseDecimal(u" 5"), 0);  // white space is not skipped
  EXPECT_EQ(ParseDecimal(u"5 6"), 5);
  EXPECT_EQ(ParseDecimal(u"12px"), 12);
  EXPECT_EQ(ParseDecimal(u"１２"), 0);  // full-width digits are not digits
  EXPECT_EQ(ParseDecimal(u"3\0"
                         u"4"sv),
            3);
}

TEST(ParseDecimal, WrapsAt32Bits) {
  EXPECT_EQ(ParseDecimal(u"2147483647"), INT_MAX);
  EXPECT_EQ(ParseDecimal(u"-2147483648"), INT_MIN);
  EXPECT_EQ(ParseDecimal(u"2147483648"), INT_MIN);
  EXPECT_EQ(ParseDecimal(u"4294967295"), -1);
  EXPECT_EQ(ParseDecimal(u"4294967297"), 1);
  EXPECT_EQ(ParseDecimal(u"-4294967297"), -1);
  // A long run of digits never stops the parse or traps.
  EXPECT_EQ(ParseDecimal(std::u16string(1000, u'0') + u"42"), 42);
}

TEST(UpToZero, CutsAtTheFirstZero) {
  EXPECT_EQ(UpToZero(u"abc"sv), u"abc"sv);
  EXPECT_EQ(UpToZero(u"ab\0c\0"sv), u"ab"sv);
  EXPECT_EQ(UpToZero(u"\0abc"sv), u""sv);
  EXPECT_EQ(UpToZero(u""sv), u""sv);
}

TEST(Utf8Conversion, ValidTextsConvertExactly) {
  EXPECT_EQ(Utf8ToUtf16("memo"), u"memo");
  EXPECT_EQ(Utf8ToUtf16("\xC3\xA9\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80"), u"é日本😀");
  EXPECT_EQ(Utf16ToUtf8(u"é日本😀"), "\xC3\xA9\xE6\x97\xA5\xE6\x9C\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(Utf8ToUtf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
  EXPECT_EQ(Utf16ToUtf8(u"\U0010FFFF"), "\xF4\x8F\xBF\xBF");
  EXPECT_EQ(Utf8ToUtf16("\xEF\xBF\xBF"), u"\uFFFF");
  // A zero travels like any other unit.
  EXPECT_EQ(Utf8ToUtf16(std::string_view("a\0b", 3)), u"a\0b"sv);
  EXPECT_EQ(Utf16ToUtf8(u"a\0b"sv), std::string("a\0b", 3));
  EXPECT_EQ(Utf8ToUtf16(""), u"");
  EXPECT_EQ(Utf16ToUtf8(u""), "");
}

TEST(Utf8Conversion, InvalidSequencesBecomeReplacementCharacters) {
  EXPECT_EQ(Utf8ToUtf16("a\x80z"), u"a\uFFFDz");                            // stray continuation
  EXPECT_EQ(Utf8ToUtf16("a\xFFz"), u"a\uFFFDz");                            // never a lead byte
  EXPECT_EQ(Utf8ToUtf16("\xC0\x80"), u"\uFFFD\uFFFD");                      // overlong zero
  EXPECT_EQ(Utf8ToUtf16("\xE0\x80\xAF"), u"\uFFFD\uFFFD\uFFFD");            // overlong "/"
  EXPECT_EQ(Utf8ToUtf16("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // past U+10FFFF
  EXPECT_EQ(Utf8ToUtf16("\xF8\x88\x80\x80\x80").size(), 5u);
  // Truncated at the end, and cut short by another character.
  EXPECT_EQ(Utf8ToUtf16("ab\xE6\x97"), u"ab\uFFFD\uFFFD");
  EXPECT_EQ(Utf8ToUtf16("\xE6"
                        "a"),
            u"\uFFFDa");
  EXPECT_EQ(Utf8ToUtf16("\xF0\x9F\x98"), u"\uFFFD\uFFFD\uFFFD");
}

TEST(Utf8Conversion, LoneSurrogatesSurviveBothWays) {
  const std::u16string lone_high =
      u"a\xD800"
      u"b";
  const std::u16string lone_low = u"\xDC00";
  const std::u16string reversed = u"\xDE00\xD83D";  // low before high: two lone units
  EXPECT_EQ(Utf16ToUtf8(lone_high),
            "a\xED\xA0\x80"
            "b");
  EXPECT_EQ(Utf16ToUtf8(lone_low), "\xED\xB0\x80");
  EXPECT_EQ(Utf16ToUtf8(reversed), "\xED\xB8\x80\xED\xA0\xBD");
  for (const auto& text : {lone_high, lone_low, reversed, std::u16string(u"\xD83D")}) {
    EXPECT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  }
}

TEST(Utf8Conversion, RandomTextsRoundTrip) {
  std::mt19937 rng(99);
  for (int round = 0; round < 2000; ++round) {
    std::u16string text;
    const int len = static_cast<int>(rng() % 12);
    for (int i = 0; i < len; ++i) {
      switch (rng() % 4) {
        case 0:
          text.push_back(static_cast<char16_t>(rng() % 0x80));
          break;
        case 1:
          text.push_back(
              static_cast<char16_t>(0xD800 + rng() % 0x800));  // surrogates, paired or not
          break;
        default:
          text.push_back(static_cast<char16_t>(rng() % 0x10000));
      }
    }
    const std::string utf8 = Utf16ToUtf8(text);
    ASSERT_EQ(Utf8ToUtf16(utf8), text) << "round " << round;
    // The UTF-8 of a text is itself stable.
    ASSERT_EQ(Utf16ToUtf8(Utf8ToUtf16(utf8)), utf8);
  }
  for (int round = 0; round < 2000; ++round) {
    std::string bytes;
    const int len = static_cast<int>(rng() % 12);
    for (int i = 0; i < len; ++i) bytes.push_back(static_cast<char>(rng() % 256));
    // Any bytes give a text whose UTF-8 is stable from then on.
    const std::u16string text = Utf8ToUtf16(bytes);
    ASSERT_EQ(Utf8ToUtf16(Utf16ToUtf8(text)), text);
  }
}

}  // namespace
}  // namespace vellumine
