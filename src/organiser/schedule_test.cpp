#include "organiser/schedule.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/fake_documents.h"
#include "tests/support.h"

namespace vellumine {
namespace {

using testing::Fixture;
using testing::RecordingDocument;
using testing::U8;

RecordingDocument SchedulePage() {
  return RecordingDocument({u"schedule", u"schdllst", u"schdllstsubmit"});
}

std::u16string Display(const std::u16string& title, const std::u16string* text) {
  std::u16string s = u"<pre onmouseup=movewnd(\"schedule\")>" + title + u"の予定</pre>";
  if (text) s += u"<pre>" + *text + u"</pre>";
  return s + u"<pre onmouseup=change(\"schdlinput\")>変更</pre>";
}

std::u16string Button(const std::u16string& date) {
  return u"<input id=\"schdllstsubmit\" type=\"button\" value=\"変更\" "
         u"onclick=\"Skerrow.ChangeSchedule(document,schdlfrm.schdllst.value," +
         date + u")\"/>";
}

TEST(ScheduleTest, FreshDateShowsTitleEmptyFieldAndButton) {
  Fixture f;
  RecordingDocument page = SchedulePage();
  f.control().ChangeDate(page, 2005, 3, 7);
  EXPECT_EQ(U8(page[u"schedule"].inner_html.value_or(u"")), U8(Display(u"3月7日", nullptr)));
  EXPECT_EQ(page[u"schdllst"].inner_text, std::u16string());
  EXPECT_EQ(U8(page[u"schdllstsubmit"].outer_html.value_or(u"")), U8(Button(u"2005,3,7")));
  EXPECT_FALSE(f.FileExists("schdl/20050307"));
}

TEST(ScheduleTest, TypedTextRoundTrips) {
  Fixture f;
  RecordingDocument page = SchedulePage();
  const std::u16string typed = u"x<y & z \"quoted\" it's\r\n二行目 > &lt; 🎌\n";
  const std::u16string escaped =
      u"x&lt;y &amp; z &quot;quoted&quot; it's\r\n二行目 &gt; &amp;lt; 🎌\n";
  f.control().ChangeSchedule(page, typed, 2005, 3, 7);
  EXPECT_EQ(f.Records("schdl/20050307"), std::vector<std::u16string>{escaped});
  EXPECT_EQ(f.FileBytes("schdl/20050307").size(), 4 + 2 * escaped.size());
  EXPECT_EQ(U8(page[u"schedule"].inner_html.value_or(u"")), U8(Display(u"3月7日", &escaped)));
  EXPECT_EQ(U8(page[u"schdllst"].inner_text.value_or(u"")), U8(typed));
  EXPECT_EQ(U8(page[u"schdllstsubmit"].outer_html.value_or(u"")), U8(Button(u"2005,3,7")));

  // After a restart the file alone brings it back.
  f.Restart();
  RecordingDocument again = SchedulePage();
  f.control().ChangeDate(again, 2005, 3, 7);
  EXPECT_EQ(U8(again[u"schdllst"].inner_text.value_or(u"")), U8(typed));
  EXPECT_EQ(U8(again[u"schedule"].inner_html.value_or(u"")), U8(Display(u"3月7日", &escaped)));
}

TEST(ScheduleTest, StoredEntityComesBackAsTyped) {
  Fixture f;
  RecordingDocument page = SchedulePage();
  f.control().ChangeSchedule(page, u"&lt;", 2009, 12, 31);
  EXPECT_EQ(f.Records("schdl/20091231"), std::vector<std::u16string>{u"&amp;lt;"});
  EXPECT_EQ(U8(page[u"schdllst"].inner_text.value_or(u"")), "&lt;");
  // A hand-made file holding the entity shows it unescaped in the field.
  f.WriteRecords("schdl/20100101", {u"a &lt;b&gt; &amp; &quot;c&quot;"});
  f.control().ChangeDate(page, 2010, 1, 1);
  EXPECT_EQ(U8(page[u"schdllst"].inner_text.value_or(u"")), "a <b> & \"c\"");
}

TEST(ScheduleTest, NullDeletesEmptyStoresEmptyRecord) {
  Fixture f;
  RecordingDocument page = SchedulePage();
  f.control().ChangeSchedule(page, u"", 2004, 2, 29);
  EXPECT_EQ(f.FileBytes("schdl/20040229"), std::string(4, '\0'));
  const std::u16string empty;
  EXPECT_EQ(U8(page[u"schedule"].inner_html.value_or(u"")), U8(Display(u"2月29日", &empty)));

  f.control().ChangeSchedule(page, std::nullopt, 2004, 2, 29);
  EXPECT_FALSE(f.FileExists("schdl/20040229"));
  EXPECT_EQ(U8(page[u"schedule"].inner_html.value_or(u"")), U8(Display(u"2月29日", nullptr)));
  EXPECT_EQ(page[u"schdllst"].inner_text, std::u16string());
  EXPECT_TRUE(f.Messages().empty());
  // Deleting a date that never had a file is no error.
  f.control().ChangeSchedule(page, std::nullopt, 1999, 1, 1);
  EXPECT_FALSE(f.FileExists("schdl/19990101"));
  EXPECT_TRUE(f.Messages().empty());
}

TEST(ScheduleTest, ReadsUpToRecordEndOrZeroUnit) {
  Fixture f;
  RecordingDocument page = SchedulePage();
  const std::u16string before = u"前半";
  f.WriteRecords("schdl/20050101", {std::u16string(u"前半\0後半", 5), u"ignored"});
  f.control().ChangeDate(page, 2005, 1, 1);
  EXPECT_EQ(U8(page[u"schedule"].inner_html.value_or(u"")), U8(Display(u"1月1日", &before)));
  EXPECT_EQ(U8(page[u"schdllst"].inner_text.value_or(u"")), "前半");

  // A file shorter than its own count means no schedule.
  std::string bytes = testing::EncodeRecords({u"abcdef"});
  bytes.resize(bytes.size() - 3);
  std::filesystem::create_directories(f.data() / "schdl");
  {
    std::ofstream out(f.data() / "schdl" / "20050102", std::ios::binary);
    out << bytes;
  }
  f.control().ChangeDate(page, 2005, 1, 2);
  EXPECT_EQ(U8(page[u"schedule"].inner_html.value_or(u"")), U8(Display(u"1月2日", nullptr)));
  EXPECT_EQ(page[u"schdllst"].inner_text, std::u16string());
}

TEST(ScheduleTest, EachPageWriteSkippedAloneWhenItsElementIsMissing) {
  Fixture f;
  f.WriteRecords("schdl/20050307", {u"a&amp;b"});
  const std::u16string stored = u"a&amp;b";
  for (int missing = 0; missing < 3; ++missing) {
    std::vector<std::u16string> ids = {u"schedule", u"schdllst", u"schdllstsubmit"};
    const std::u16string gone = ids[missing];
    ids.erase(ids.begin() + missing);
    RecordingDocument page(ids);
    f.control().ChangeDate(page, 2005, 3, 7);
    if (gone != u"schedule") {
      EXPECT_EQ(U8(page[u"schedule"].inner_html.value_or(u"")), U8(Display(u"3月7日", &stored)));
    }
    if (gone != u"schdllst") {
      EXPECT_EQ(U8(page[u"schdllst"].inner_text.value_or(u"")), "a&b");
    }
    if (gone != u"schdllstsubmit") {
      EXPECT_EQ(U8(page[u"schdllstsubmit"].outer_html.value_or(u"")), U8(Button(u"2005,3,7")));
    }
  }
  // With none of them the schedule is still stored.
  RecordingDocument none({});
  f.control().ChangeSchedule(none, u"x", 2005, 3, 8);
  EXPECT_EQ(f.Records("schdl/20050308"), std::vector<std::u16string>{u"x"});
}

TEST(ScheduleTest, OddDatesFormFileNames) {
  Fixture f;
  RecordingDocument page = SchedulePage();
  f.control().ChangeSchedule(page, u"x", 12345, 13, 0);
  EXPECT_EQ(f.Records("schdl/123451300"), std::vector<std::u16string>{u"x"});
  EXPECT_EQ(U8(page[u"schdllstsubmit"].outer_html.value_or(u"")), U8(Button(u"12345,13,0")));
  f.control().ChangeSchedule(page, u"y", -1, -2, -3);
  EXPECT_EQ(f.Records("schdl/-001-2-3"), std::vector<std::u16string>{u"y"});
  EXPECT_EQ(U8(page[u"schdllst"].inner_text.value_or(u"")), "y");
}

TEST(ScheduleTest, BundledPageRoundTrip) {
  Fixture f;
  f.control().ChangeSchedule(f.doc(), u"会議 <A&B>", 2026, 12, 7);
  const std::string shown = f.Html(u"schedule");
  EXPECT_NE(shown.find("12月7日の予定"), std::string::npos);
  EXPECT_NE(shown.find("会議 &lt;A&amp;B&gt;"), std::string::npos);
  EXPECT_NE(f.Html(u"schdllst").find("会議 &lt;A&amp;B&gt;"), std::string::npos);
  EXPECT_NE(f.Html(u"schdllstsubmit")
                .find("Skerrow.ChangeSchedule(document,schdlfrm.schdllst.value,2026,12,7)"),
            std::string::npos);
}

}  // namespace
}  // namespace vellumine
