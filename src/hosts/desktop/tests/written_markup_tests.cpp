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

// The tag names of the writer's numbered element lists: the last few are
// kept, each under its own number, and a list without a number (a walk over
// nothing) is not.
TEST(WrittenMarkup, KeepsTheTagNamesOfTheLastFewLists) {
  WrittenMarkup written;
  std::u16string tags = u"left as it was";
  EXPECT_FALSE(written.FindTags(1, tags));
  EXPECT_EQ(tags, u"left as it was");
  for (std::size_t n = 1; n <= WrittenMarkup::kKeptLists + 1; ++n) {
    written.KeepTags(static_cast<double>(n), Utf8ToUtf16("DIV\nPRE" + std::to_string(n)));
  }
  // The oldest went; the others are found by number.
  EXPECT_FALSE(written.FindTags(1, tags));
  for (std::size_t n = 2; n <= WrittenMarkup::kKeptLists + 1; ++n) {
    ASSERT_TRUE(written.FindTags(static_cast<double>(n), tags)) << n;
    EXPECT_EQ(tags, Utf8ToUtf16("DIV\nPRE" + std::to_string(n)));
  }
  written.KeepTags(0, u"B");
  EXPECT_FALSE(written.FindTags(0, tags));
}

// A call at capacity walks the page and each of some fifty windows with
// options of their own: all of those are found again at the next call. The
// names kept stay bounded in all, however long the lists: the oldest go
// first, and a list longer than the bound is not kept.
TEST(WrittenMarkup, KeepsACallsWalksWithinABoundOfNames) {
  WrittenMarkup written;
  std::u16string tags;
  const std::u16string page(200000, u'P');
  written.KeepTags(1, page);
  for (int n = 2; n <= 60; ++n) written.KeepTags(n, u"DIV\nPRE");
  ASSERT_TRUE(written.FindTags(1, tags));
  EXPECT_EQ(tags.size(), page.size());
  for (int n = 2; n <= 60; ++n) EXPECT_TRUE(written.FindTags(n, tags)) << n;

  const std::size_t big = WrittenMarkup::kKeptUnits / 2;
  written.KeepTags(100, std::u16string(big, u'A'));
  written.KeepTags(101, std::u16string(big, u'B'));
  // The page's list and the small ones before it made room.
  EXPECT_FALSE(written.FindTags(1, tags));
  EXPECT_FALSE(written.FindTags(2, tags));
  ASSERT_TRUE(written.FindTags(100, tags));
  EXPECT_EQ(tags, std::u16string(big, u'A'));
  ASSERT_TRUE(written.FindTags(101, tags));
  EXPECT_EQ(tags, std::u16string(big, u'B'));

  written.KeepTags(102, std::u16string(WrittenMarkup::kKeptUnits + 1, u'C'));
  EXPECT_FALSE(written.FindTags(102, tags));
  EXPECT_TRUE(written.FindTags(101, tags));
}

}  // namespace
}  // namespace vellumine::desktop
