// The month calendar and the day schedule, seen from outside the program:
// markup written into the page, the schedule files, and what later calls
// redraw.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/blackbox/organiser_runner.h"

namespace vellumine::blackbox {
namespace {

using Strings = std::vector<std::string>;

// Sized by a first pass, so nothing is ever cut.
#pragma GCC diagnostic ignored "-Wformat-truncation"
std::string Fmt(const char* format, auto... args) {
  const int n = std::snprintf(nullptr, 0, format, args...);
  std::string out(static_cast<std::size_t>(n) + 1, '\0');
  std::snprintf(out.data(), out.size(), format, args...);
  out.resize(static_cast<std::size_t>(n));
  return out;
}

// The calendar as the page should receive it, composed independently from
// known weekdays of the first of the month.
struct CalendarLook {
  std::string week = "#000000", sat = "#0000c0", sun = "#c00040", shadow = "White";
  std::string font = "ＭＳ ゴシック";
  int size = 20;
};

std::string ExpectedCalendar(int year, int month, int first, int days,
                             const CalendarLook& look = {}) {
  static const char* kNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  static const char* kDays[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
  const char* name = kNames[month - 1];
  const int small = look.size * 4 / 5;
  const char* sh = look.shadow.c_str();
  const char* font = look.font.c_str();
  auto column = [&](int c) { return (c == 0 ? look.sun : c == 6 ? look.sat : look.week); };
  auto grid = [&](bool visible) {
    std::string s;
    for (int j = 0; j < 42; ++j) {
      if (j % 7 == 0) s += Fmt("<tr style=\"font-size:%dpx\">", look.size);
      const int day = j - first + 1;
      const bool blank = day < 1 || day > days;
      if (!visible) {
        s += blank ? Fmt("<td><div id=\"cal%ds\"><pre style=\"font-family:%s\"><b "
                         "style=\"color:%s\">  </b></pre></div></td>",
                         j, font, sh)
                   : Fmt("<td><div id=\"cal%ds\"><pre style=\"font-family:%s\"><b "
                         "style=\"color:%s\">%2d</b></pre></div></td>",
                         j, font, sh, day);
      } else {
        const std::string color = column(j % 7);
        s += blank ? Fmt("<td><div id=\"cal%d\"><pre style=\"font-family:%s\"><b "
                         "style=\"color:%s\">  </b></pre></div></td>",
                         j, font, color.c_str())
                   : Fmt("<td><div id=\"cal%d\" "
                         "onmouseup=Skerrow.ChangeDate(document,%d,%d,%d)><pre "
                         "style=\"font-family:%s\"><b style=\"color:%s\">%2d</b></pre></div></td>",
                         j, year, month, day, font, color.c_str(), day);
      }
      if (j % 7 == 6) s += "</tr>";
    }
    return s;
  };
  std::string o = "<div id=\"calenders\" style=\"position:absolute;left:1px;top:1px\">";
  o += Fmt("<table style=\"font-size:%dpx;\">", small) + "<tr>";
  o += Fmt("<td colspan=\"2\" style=\"text-align:left\"><font color=\"%s\"><b>prev</b></font></td>",
           sh);
  o +=
      Fmt("<td id=\"monthnames\" colspan=\"3\" style=\"text-align:center\"><font "
          "color=\"%s\"><b>%s</b></font></td>",
          sh, name);
  o +=
      Fmt("<td colspan=\"2\" style=\"text-align:right\"><font "
          "color=\"%s\"><b>next</b></font></td>",
          sh);
  o += "</tr><tr>";
  for (int c = 0; c < 7; ++c) {
    o += Fmt("<td><b id=\"day%ds\" style=\"color:%s\">%s</b></td>", c, sh, kDays[c]);
  }
  o += "</tr>" + grid(false) + "</table></div>";
  o += Fmt("<table style=\"font-size:%dpx;position:absolute;left:0px;top:0px\">", small) + "<tr>";
  const int py = month == 1 ? year - 1 : year, pm = month == 1 ? 12 : month - 1;
  const int ny = month == 12 ? year + 1 : year, nm = month == 12 ? 1 : month + 1;
  o +=
      Fmt("<td colspan=\"2\" style=\"text-align:left\" "
          "onmouseup=Skerrow.SetCalender(document,%d,%d)><font "
          "color=\"%s\"><b>prev</b></font></td>",
          py, pm, look.week.c_str());
  o +=
      Fmt("<td id=\"monthname\" colspan=\"3\" style=\"text-align:center\" "
          "onmouseup=movewnd(\"calender\")><font color=\"%s\"><b>%s</b></font></td>",
          look.week.c_str(), name);
  o +=
      Fmt("<td colspan=\"2\" style=\"text-align:right\" "
          "onmouseup=Skerrow.SetCalender(document,%d,%d)><font "
          "color=\"%s\"><b>next</b></font></td>",
          ny, nm, look.week.c_str());
  o += "</tr><tr>";
  for (int c = 0; c < 7; ++c) {
    o += Fmt("<td onmouseup=movewnd(\"calender\")><b id=\"day%d\" style=\"color:%s\">%s</b></td>",
             c, column(c).c_str(), kDays[c]);
  }
  o += "</tr>" + grid(true) + "</table>";
  return o;
}

class CalendarBlackbox : public Runner {};

TEST_F(CalendarBlackbox, MonthsAreDrawnWholeWithTheirFirstWeekdayAndLength) {
  struct Month {
    int year, month, first, days;
  };
  // Weekdays of the first from a perpetual calendar.
  const std::vector<Month> months = {
      {1980, 1, 2, 31}, {1980, 2, 5, 29},  {2000, 2, 2, 29},  {2004, 2, 0, 29}, {2004, 5, 6, 31},
      {2005, 1, 6, 31}, {2005, 3, 2, 31},  {2005, 12, 4, 31}, {2009, 2, 0, 28}, {2100, 2, 1, 28},
      {2400, 2, 2, 29}, {1999, 12, 3, 31}, {2015, 2, 0, 28},  {2038, 1, 5, 31},
  };
  Strings script;
  for (const Month& m : months) script.push_back(Line("SetCalender", m.year, m.month));
  const RunResult run = Run(script);
  const Strings drawn = run.Values("calender");
  ASSERT_EQ(drawn.size(), months.size());
  for (std::size_t i = 0; i < months.size(); ++i) {
    const Month& m = months[i];
    EXPECT_EQ(drawn[i], ExpectedCalendar(m.year, m.month, m.first, m.days))
        << m.year << "-" << m.month;
  }
  // The font family is set on the element before its content, every time.
  const std::vector<json> writes = run.Writes("calender");
  ASSERT_EQ(writes.size(), 2 * months.size());
  EXPECT_EQ(writes[0]["op"], "style");
  EXPECT_EQ(writes[0]["prop"], "fontFamily");
  EXPECT_EQ(writes[0]["value"], "ＭＳ ゴシック");
  EXPECT_EQ(writes[0]["tag"], "DIV");
  EXPECT_EQ(writes[1]["op"], "innerHTML");
}

TEST_F(CalendarBlackbox, EdgeCellsOfKnownMonths) {
  const RunResult run = Run({Line("SetCalender", 1980, 1), Line("SetCalender", 2004, 5),
                             Line("SetCalender", 2005, 1), Line("SetCalender", 2005, 12)});
  const Strings drawn = run.Values("calender");
  ASSERT_EQ(drawn.size(), 4u);
  // 1 January 1980 was a Tuesday: cells 0 and 1 blank, cell 2 " 1", cell 32 "31".
  EXPECT_NE(drawn[0].find("<td><div id=\"cal1\"><pre style=\"font-family:ＭＳ ゴシック\"><b "
                          "style=\"color:#000000\">  </b></pre></div></td>"),
            std::string::npos);
  EXPECT_NE(
      drawn[0].find("<div id=\"cal2\" onmouseup=Skerrow.ChangeDate(document,1980,1,1)>"
                    "<pre style=\"font-family:ＭＳ ゴシック\"><b style=\"color:#000000\"> 1</b>"),
      std::string::npos);
  EXPECT_NE(drawn[0].find("onmouseup=Skerrow.ChangeDate(document,1980,1,31)><pre "
                          "style=\"font-family:ＭＳ ゴシック\"><b style=\"color:#000000\">31</b>"),
            std::string::npos);
  EXPECT_NE(drawn[0].find("<div id=\"cal33\"><pre"), std::string::npos);
  // May 2004 starts on a Saturday (cell 6, Saturday colour) and ends in row six.
  EXPECT_NE(drawn[1].find("<div id=\"cal6\" onmouseup=Skerrow.ChangeDate(document,2004,5,1)><pre "
                          "style=\"font-family:ＭＳ ゴシック\"><b style=\"color:#0000c0\"> 1</b>"),
            std::string::npos);
  EXPECT_NE(drawn[1].find("<div id=\"cal36\" onmouseup=Skerrow.ChangeDate(document,2004,5,31)>"),
            std::string::npos);
  // Neighbouring months wrap the year.
  EXPECT_NE(drawn[2].find("onmouseup=Skerrow.SetCalender(document,2004,12)><font "
                          "color=\"#000000\"><b>prev</b>"),
            std::string::npos);
  EXPECT_NE(drawn[2].find("onmouseup=Skerrow.SetCalender(document,2005,2)><font "
                          "color=\"#000000\"><b>next</b>"),
            std::string::npos);
  EXPECT_NE(drawn[3].find("onmouseup=Skerrow.SetCalender(document,2005,11)><font "
                          "color=\"#000000\"><b>prev</b>"),
            std::string::npos);
  EXPECT_NE(drawn[3].find("onmouseup=Skerrow.SetCalender(document,2006,1)><font "
                          "color=\"#000000\"><b>next</b>"),
            std::string::npos);
}

TEST_F(CalendarBlackbox, YearsBefore1980DrawNothingAndRedrawsKeepTheShownMonth) {
  const RunResult run =
      Run({Line("SetCalender", 2004, 5), Line("SetCalender", 1979, 12),
           Line("SetCalender", 2004, 13), Line("ChangeOption", "WeekDayColor", 1),
           Line("ChangeOption", "CalenderFontSize", 5), Line("@html", "calender")});
  const Strings drawn = run.Values("calender");
  ASSERT_EQ(drawn.size(), 3u);  // the first month and two redraws of it
  CalendarLook look;
  look.week = "#0000c0";
  EXPECT_EQ(drawn[1], ExpectedCalendar(2004, 5, 6, 31, look));
  // Size 25: both tables at 20, the week rows at 25.
  look.size = 25;
  EXPECT_EQ(drawn[2], ExpectedCalendar(2004, 5, 6, 31, look));
  EXPECT_NE(drawn[2].find("<table style=\"font-size:20px;\">"), std::string::npos);
  EXPECT_NE(drawn[2].find("<tr style=\"font-size:25px\">"), std::string::npos);
}

TEST_F(CalendarBlackbox, ARedrawBeforeAnyMonthDrawsNothing) {
  const RunResult run = Run({Line("ChangeOption", "ShadowColor", 1)});
  EXPECT_TRUE(run.Writes("calender").empty());
}

TEST_F(CalendarBlackbox, InitPageShowsTheMonthOfToday) {
  const RunResult run = Run({Line("InitPage")}, {}, "2009-02-14");
  const Strings drawn = run.Values("calender");
  ASSERT_FALSE(drawn.empty());
  EXPECT_EQ(drawn.back(), ExpectedCalendar(2009, 2, 0, 28));
  EXPECT_EQ(run.Last("schedule"),
            "<pre onmouseup=movewnd(\"schedule\")>2月14日の予定</pre>"
            "<pre onmouseup=change(\"schdlinput\")>変更</pre>");
}

class ScheduleBlackbox : public Runner {};

const char* const kTitle0307 = "<pre onmouseup=movewnd(\"schedule\")>3月7日の予定</pre>";
const char* const kChangeLink = "<pre onmouseup=change(\"schdlinput\")>変更</pre>";

std::string Button(int y, int m, int d) {
  return Fmt(
      "<input id=\"schdllstsubmit\" type=\"button\" value=\"変更\" "
      "onclick=\"Skerrow.ChangeSchedule(document,schdlfrm.schdllst.value,%d,%d,%d)\"/>",
      y, m, d);
}

TEST_F(ScheduleBlackbox, AFreshDayShowsTitleAndLinkAndEmptiesTheField) {
  const RunResult run = Run({Line("ChangeDate", 2005, 3, 7)});
  const std::vector<json> writes = run.Writes();
  ASSERT_EQ(writes.size(), 3u);
  EXPECT_EQ(writes[0], json({{"op", "innerHTML"},
                             {"id", "schedule"},
                             {"value", std::string(kTitle0307) + kChangeLink}}));
  EXPECT_EQ(writes[1], json({{"op", "innerText"}, {"id", "schdllst"}, {"value", ""}}));
  EXPECT_EQ(writes[2],
            json({{"op", "outerHTML"}, {"id", "schdllstsubmit"}, {"value", Button(2005, 3, 7)}}));
  EXPECT_FALSE(Exists("schdl/20050307"));
}

TEST_F(ScheduleBlackbox, TypedTextIsStoredEscapedShownAsTypedAndEditedAsTyped) {
  const RunResult run = Run({Line("ChangeSchedule", "x<y & z \"q\"\nnext &lt;", 2005, 3, 7)});
  EXPECT_EQ(run.Last("schedule"), std::string(kTitle0307) +
                                      "<pre>x&lt;y &amp; z &quot;q&quot;\nnext &amp;lt;</pre>" +
                                      kChangeLink);
  EXPECT_EQ(run.Last("schdllst"), "x<y & z \"q\"\nnext &lt;");
  EXPECT_EQ(run.Last("schdllstsubmit"), Button(2005, 3, 7));
  EXPECT_EQ(Bytes("schdl/20050307"), Runner::Encode("x&lt;y &amp; z &quot;q&quot;\nnext &amp;lt;"));
}

TEST_F(ScheduleBlackbox, EmptyTextKeepsAnEmptyRecordAndNullDeletesTheFile) {
  const RunResult run = Run({Line("ChangeSchedule", "", 2005, 3, 7), Line("@html", "schedule")});
  EXPECT_EQ(Bytes("schdl/20050307"), std::string(4, '\0'));
  EXPECT_EQ(run.Last("schedule"), std::string(kTitle0307) + "<pre></pre>" + kChangeLink);

  const RunResult removed = Run({Line("ChangeSchedule", nullptr, 2005, 3, 7)});
  EXPECT_FALSE(Exists("schdl/20050307"));
  EXPECT_EQ(removed.Last("schedule"), std::string(kTitle0307) + kChangeLink);
  EXPECT_EQ(removed.Last("schdllst"), "");
}

TEST_F(ScheduleBlackbox, StoredDaysAreReadAgainByLaterSessionsAndPaddedInTheFileName) {
  Run({Line("ChangeSchedule", "dentist", 812, 1, 5)});
  EXPECT_EQ(Records("schdl/08120105"), Strings{"dentist"});
  const RunResult run = Run({Line("ChangeDate", 812, 1, 5), Line("ChangeDate", 812, 1, 6)});
  const Strings shown = run.Values("schedule");
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], "<pre onmouseup=movewnd(\"schedule\")>1月5日の予定</pre><pre>dentist</pre>" +
                          std::string(kChangeLink));
  EXPECT_EQ(shown[1],
            "<pre onmouseup=movewnd(\"schedule\")>1月6日の予定</pre>" + std::string(kChangeLink));
  EXPECT_EQ(run.Last("schdllstsubmit"), Button(812, 1, 6));
}

TEST_F(ScheduleBlackbox, HandMadeFilesAreReadUpToAZeroUnitOrNotAtAllWhenShort) {
  WriteRecords("schdl/20050307", {std::string("ab\0cd", 5), "ignored"});
  std::string short_file = Runner::Encode("abcdef");
  short_file.resize(short_file.size() - 2);
  fs::create_directories(Data() / "schdl");
  Write(Data() / "schdl/20050308", short_file);
  const RunResult run = Run({Line("ChangeDate", 2005, 3, 7), Line("ChangeDate", 2005, 3, 8)});
  const Strings shown = run.Values("schedule");
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0], std::string(kTitle0307) + "<pre>ab</pre>" + kChangeLink);
  EXPECT_EQ(shown[1],
            "<pre onmouseup=movewnd(\"schedule\")>3月8日の予定</pre>" + std::string(kChangeLink));
}

TEST_F(ScheduleBlackbox, MissingElementsSkipOnlyTheirOwnStep) {
  Write(Temp() / "page.html",
        "<html><body><textarea id=\"schdllst\"></textarea>"
        "<input id=\"schdllstsubmit\" type=\"button\"></body></html>");
  const RunResult run =
      Run({Line("ChangeSchedule", "a&b", 2005, 3, 7)}, {"--page", (Temp() / "page.html").string()});
  const std::vector<json> writes = run.Writes();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0]["id"], "schdllst");
  EXPECT_EQ(writes[0]["value"], "a&b");
  EXPECT_EQ(writes[1]["id"], "schdllstsubmit");
  EXPECT_EQ(Records("schdl/20050307"), Strings{"a&amp;b"});
}

}  // namespace
}  // namespace vellumine::blackbox
