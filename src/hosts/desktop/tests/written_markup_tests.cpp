// What the host keeps of the markup it had written, per id: the same markup
// again goes to the page as its number only, so the numbers must tell
// writes apart and the record must not grow without end.
#include <gtest/gtest.h>

#include <string>

#include "hosts/desktop/fast_document.h"
#include "page/text.h"

namespace vellumine::desktop {
namespace {

TEST(WrittenMarkup, EachWriteGetsANewNumberAndTheLastMarkupIsKept) {
  WrittenMarkup written;
  EXPECT_EQ(written.Find(u"memo"), nullptr);
  const double first = written.Record(u"memo", u"<pre>a</pre>");
  const double second = written.Record(u"calender", u"<table></table>");
  const double third = written.Record(u"memo", u"<pre>b</pre>");
  EXPECT_NE(first, second);
  EXPECT_NE(second, third);
  EXPECT_NE(first, third);
  ASSERT_NE(written.Find(u"memo"), nullptr);
  EXPECT_EQ(written.Find(u"memo")->markup, u"<pre>b</pre>");
  EXPECT_EQ(written.Find(u"memo")->number, third);
  EXPECT_EQ(written.Find(u"calender")->number, second);
  // The same markup written again is a new write all the same.
  EXPECT_NE(written.Record(u"memo", u"<pre>b</pre>"), third);
  // Ids are told apart exactly.
  EXPECT_EQ(written.Find(u"Memo"), nullptr);
  EXPECT_EQ(written.Find(u"memo "), nullptr);
}

TEST(WrittenMarkup, StartsAfreshPastWhatAPageAtCapacityWrites) {
  WrittenMarkup written;
  for (std::size_t i = 0; i < WrittenMarkup::kMaxEntries; ++i) {
    written.Record(Utf8ToUtf16("id" + std::to_string(i)), u"x");
  }
  EXPECT_EQ(written.size(), WrittenMarkup::kMaxEntries);
  // A known id is written again without loss.
  written.Record(u"id7", u"y");
  EXPECT_EQ(written.size(), WrittenMarkup::kMaxEntries);
  EXPECT_EQ(written.Find(u"id7")->markup, u"y");
  // A new one starts the record afresh; numbers keep growing.
  const double before = written.Find(u"id7")->number;
  const double after = written.Record(u"new", u"z");
  EXPECT_EQ(written.size(), 1u);
  EXPECT_EQ(written.Find(u"id7"), nullptr);
  EXPECT_GT(after, before);
}

}  // namespace
}  // namespace vellumine::desktop
