#include "page/wide_format.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "page/text.h"

namespace vellumine {
namespace {

using namespace std::string_view_literals;

TEST(WideFormatText, WidthCountsFullWidthUnitsAsTwoColumns) {
  EXPECT_EQ(WideFormatted(u"[%6s]", {u"日本"}), u"[  日本]");
  EXPECT_EQ(WideFormatted(u"[%6s]", {u"日本語"}), u"[日本語]");
  EXPECT_EQ(WideFormatted(u"[%6s]", {u"日本語x"}), u"[日本語x]");  // never cut
  EXPECT_EQ(WideFormatted(u"[%4s]", {u"é"}), u"[   é]");           // below 0x100: one column
  EXPECT_EQ(WideFormatted(u"[%-4s]", {u"ab"}), u"[ab  ]");
  EXPECT_EQ(WideFormatted(u"[%04s]", {u"ab"}), u"[00ab]");
  EXPECT_EQ(WideFormatted(u"[%-04s]", {u"ab"}), u"[ab  ]");  // "-" wins over "0"
  EXPECT_EQ(WideFormatted(u"[%.1s]", {u"abc"}), u"[abc]");   // precision ignored
  EXPECT_EQ(WideFormatted(u"[%-6s]", {u"日"}), u"[日    ]");
}

TEST(WideFormatText, NullMissingAndWrongKindTextsAreEmpty) {
  const TextArg null_text;
  const char16_t* null_pointer = nullptr;
  EXPECT_EQ(WideFormatted(u"<%s>", {null_text}), u"<>");
  EXPECT_EQ(WideFormatted(u"<%s>", {null_pointer}), u"<>");
  EXPECT_EQ(WideFormatted(u"<%3s>", {null_text}), u"<   >");
  EXPECT_EQ(WideFormatted(u"<%s|%s>", {u"a"}), u"<a|>");
  EXPECT_EQ(WideFormatted(u"<%s>", {5}), u"<>");
  EXPECT_EQ(WideFormatted(u"<%s>", {TextArg(u"x")}), u"<x>");
  // A text is taken up to its first zero unit.
  EXPECT_EQ(WideFormatted(u"<%s>", {u"ab\0cd"sv}), u"<ab>");
  // The text is copied unchanged: markup is the caller's business.
  EXPECT_EQ(WideFormatted(u"%s", {u"<b>&amp;%d"}), u"<b>&amp;%d");
}

TEST(WideFormatText, CharacterAndPercent) {
  EXPECT_EQ(WideFormatted(u"%c%c", {0x65E5, 0x10041}), u"日A");
  EXPECT_EQ(WideFormatted(u"[%3c]", {u'x'}), u"[  x]");
  EXPECT_EQ(WideFormatted(u"[%-3c]", {0x65E5}), u"[日 ]");
  // A missing argument writes nothing, not a zero unit.
  EXPECT_EQ(WideFormatted(u"[%c]", {}), u"[]");
  EXPECT_EQ(WideFormatted(u"[%c]", {u"t"}), u"[]");
  EXPECT_EQ(WideFormatted(u"100%%"), u"100%");
  EXPECT_EQ(WideFormatted(u"[%3%]"), u"[  %]");
  EXPECT_EQ(WideFormatted(u"%%%d", {5}), u"%5");  // "%%" takes no argument
}

TEST(WideFormatNumbers, IntegersGoThroughTheByteFormatter) {
  EXPECT_EQ(WideFormatted(u"memo%08x%08x", {0x12ab, static_cast<std::uint32_t>(0xDEADBEEF)}),
            u"memo000012abdeadbeef");
  EXPECT_EQ(WideFormatted(u"%08X", {0xabc}), u"00000ABC");
  EXPECT_EQ(WideFormatted(u"%d|%i|%u", {-5, 7, -1}), u"-5|7|4294967295");
  EXPECT_EQ(WideFormatted(u"[%2d]", {5}), u"[ 5]");
  EXPECT_EQ(WideFormatted(u"[%-3d]", {5}), u"[5  ]");
  EXPECT_EQ(WideFormatted(u"[%+d]", {5}), u"[+5]");
  EXPECT_EQ(WideFormatted(u"%o %#x %.3d", {8, 31, 7}), u"10 0x1f 007");
  EXPECT_EQ(WideFormatted(u"WndPos.x%d=%d", {12, -300}), u"WndPos.x12=-300");
  // Length letters don't change which argument type is read.
  EXPECT_EQ(WideFormatted(u"%ld %lld %zu %jd", {1, 2, 3, 4}), u"1 2 3 4");
  // Missing or text arguments format as 0; a double is truncated.
  EXPECT_EQ(WideFormatted(u"%d %x", {}), u"0 0");
  EXPECT_EQ(WideFormatted(u"%d", {u"12"}), u"0");
  EXPECT_EQ(WideFormatted(u"%d", {-3.9}), u"-3");
  EXPECT_EQ(WideFormatted(u"%d", {1e300}), u"0");
}

TEST(WideFormatNumbers, TheCommonConversionsWriteWhatTheByteFormatterWrites) {
  // "%d", "%i", "%u", "%x" and "%08x" are written without it; every value,
  // the extremes included, must read the same as it formats them.
  const std::int32_t values[] = {0,    1,          -1,        9,           10,    -10,   255,
                                 4096, 0x7fffffff, INT32_MIN, -2147483647, 65535, 0x12ab};
  for (const std::int32_t v : values) {
    char expected[128];
    std::snprintf(expected, sizeof expected, "%d|%i|%u|%x|%08x|[%d]", static_cast<int>(v),
                  static_cast<int>(v), static_cast<unsigned>(v), static_cast<unsigned>(v),
                  static_cast<unsigned>(v), static_cast<int>(v));
    EXPECT_EQ(WideFormatted(u"%d|%i|%u|%x|%08x|[%d]", {v, v, v, v, v, v}), Utf8ToUtf16(expected))
        << v;
  }
}

TEST(WideFormatNumbers, FloatingPoint) {
  EXPECT_EQ(WideFormatted(u"%.2f", {3.14159}), u"3.14");
  EXPECT_EQ(WideFormatted(u"%e", {1500.0}), u"1.500000e+03");
  EXPECT_EQ(WideFormatted(u"%g|%G", {0.5, 1e-10}), u"0.5|1E-10");
  EXPECT_EQ(WideFormatted(u"[%6.1f]", {2.25}), u"[   2.2]");
  EXPECT_EQ(WideFormatted(u"%.1f", {3}), u"3.0");  // an integer argument is widened
  EXPECT_EQ(WideFormatted(u"%f", {}), u"0.000000");
  EXPECT_EQ(WideFormatted(u"%a", {1.0}), u"0x1p+0");
}

TEST(WideFormatNumbers, OneConversionIsLimitedTo1023Bytes) {
  const std::u16string out = WideFormatted(u"%1500d|", {7});
  EXPECT_EQ(out, std::u16string(1023, u' ') + u"|");
  EXPECT_EQ(WideFormatted(u"%.1100f", {1.0}).size(), 1023u);
}

TEST(WideFormatNumbers, HugeWidthsAndPrecisionsKeepTheirFirst1023Bytes) {
  // Both are brought down before formatting; what survives the cut must not
  // change, and the call must not write out a billion units first.
  EXPECT_EQ(WideFormatted(u"%1000000000d|", {7}), std::u16string(1023, u' ') + u"|");
  EXPECT_EQ(WideFormatted(u"%-1000000000d|", {7}), u"7" + std::u16string(1022, u' ') + u"|");
  EXPECT_EQ(WideFormatted(u"%01000000000d", {-7}), u"-" + std::u16string(1022, u'0'));
  // Padding that stays short of the cut keeps its length when the precision
  // is lowered.
  EXPECT_EQ(WideFormatted(u"%5000.4000d", {7}),
            std::u16string(1000, u' ') + std::u16string(23, u'0'));
  EXPECT_EQ(WideFormatted(u"%100500.100000x", {255}),
            std::u16string(500, u' ') + std::u16string(523, u'0'));
  EXPECT_EQ(WideFormatted(u"%.1000000000f", {1.5}), u"1.5" + std::u16string(1020, u'0'));
  EXPECT_EQ(WideFormatted(u"%100000.1000000000g", {0.5}), std::u16string(1023, u' '));
  EXPECT_EQ(WideFormatted(u"%-100000.1000000000g|", {0.5}),
            u"0.5" + std::u16string(1020, u' ') + u"|");
}

TEST(WideFormatShape, OtherLettersAndUnfinishedConversions) {
  EXPECT_EQ(WideFormatted(u"a%yb"), u"ayb");
  EXPECT_EQ(WideFormatted(u"a%-5yb"), u"a-5yb");
  EXPECT_EQ(WideFormatted(u"%日"), u"日");
  EXPECT_EQ(WideFormatted(u"%y%d", {4}), u"y4");  // takes no argument
  EXPECT_EQ(WideFormatted(u"abc%"), u"abc");
  EXPECT_EQ(WideFormatted(u"abc%-08"), u"abc-08");
  EXPECT_EQ(WideFormatted(u"abc%l"), u"abcl");
}

TEST(WideFormatShape, AppendsAndCountsUnits) {
  std::u16string dest = u"keep";
  EXPECT_EQ(WideFormat(dest, u""), 0u);
  EXPECT_EQ(dest, u"keep");
  EXPECT_EQ(WideFormat(dest, u"<pre>%s</pre>", {u"日本"}), 13u);
  EXPECT_EQ(dest, u"keep<pre>日本</pre>");
  // Extra arguments are ignored; units outside the BMP pass unchanged.
  EXPECT_EQ(WideFormat(dest, u"😀", {1, 2}), 2u);
  EXPECT_EQ(dest, u"keep<pre>日本</pre>😀");
  // The destination grows with its content: no fixed buffer to overflow.
  const std::u16string big(50000, u'x');
  std::u16string out;
  EXPECT_EQ(WideFormat(out, u"<div>%s%s</div>", {big, big}), 100011u);
  EXPECT_EQ(out.substr(0, 6), u"<div>x");
  EXPECT_EQ(out.substr(out.size() - 7), u"x</div>");
}

TEST(WideFormatShape, AMemoFrame) {
  const std::u16string subject = u"買い物";
  EXPECT_EQ(WideFormatted(u"<div id=\"memo%08x%08x\" class=\"wnd\"><pre>%s</pre></div>",
                          {0x1234abcd, 0, subject}),
            u"<div id=\"memo1234abcd00000000\" class=\"wnd\"><pre>買い物</pre></div>");
}

}  // namespace
}  // namespace vellumine
