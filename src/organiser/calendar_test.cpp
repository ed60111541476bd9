#include "organiser/calendar.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <limits>
#include <string>

#include "tests/fake_documents.h"
#include "tests/support.h"

namespace vellumine {
namespace {

using testing::Fixture;
using testing::RecordingDocument;
using testing::U8;

struct Look {
  std::string week = "#000000", sat = "#0000c0", sun = "#c00040", shadow = "White";
  std::string font = "ＭＳ ゴシック";
  int size = 20;
};

// The calendar markup built from its templates, in UTF-8, from the known
// weekday of the 1st and the month length.
std::string Expected(int year, int month, int first, int days, const Look& look) {
  static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                        "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  static const char* const kDays[] = {"SUN", "MON", "TUE", "WED", "THU", "FRI", "SAT"};
  char buf[1024];
  std::string s;
  auto add = [&](const char* fmt, auto... args) {
    std::snprintf(buf, sizeof buf, fmt, args...);
    s += buf;
  };
  const int small = look.size * 4 / 5;
  const char* name = kMonths[month - 1];
  const char* font = look.font.c_str();
  const char* shadow = look.shadow.c_str();
  const char* week = look.week.c_str();

  add("<div id=\"calenders\" style=\"position:absolute;left:1px;top:1px\">");
  add("<table style=\"font-size:%dpx;\">", small);
  add("<tr>");
  add("<td colspan=\"2\" style=\"text-align:left\"><font color=\"%s\"><b>prev</b></font></td>",
      shadow);
  add("<td id=\"monthnames\" colspan=\"3\" style=\"text-align:center\"><font "
      "color=\"%s\"><b>%s</b></font></td>",
      shadow, name);
  add("<td colspan=\"2\" style=\"text-align:right\"><font color=\"%s\"><b>next</b></font></td>",
      shadow);
  add("</tr><tr>");
  for (int c = 0; c < 7; ++c) {
    add("<td><b id=\"day%ds\" style=\"color:%s\">%s</b></td>", c, shadow, kDays[c]);
  }
  add("</tr>");
  for (int j = 0; j < 42; ++j) {
    if (j % 7 == 0) add("<tr style=\"font-size:%dpx\">", look.size);
    const int d = j - first + 1;
    if (d >= 1 && d <= days) {
      add("<td><div id=\"cal%ds\"><pre style=\"font-family:%s\"><b "
          "style=\"color:%s\">%2d</b></pre></div></td>",
          j, font, shadow, d);
    } else {
      add("<td><div id=\"cal%ds\"><pre style=\"font-family:%s\"><b "
          "style=\"color:%s\">  </b></pre></div></td>",
          j, font, shadow);
    }
    if (j % 7 == 6) add("</tr>");
  }
  add("</table></div>");

  add("<table style=\"font-size:%dpx;position:absolute;left:0px;top:0px\">", small);
  add("<tr>");
  const int py = month == 1 ? year - 1 : year, pm = month == 1 ? 12 : month - 1;
  const int ny = month == 12 ? year + 1 : year, nm = month == 12 ? 1 : month + 1;
  add("<td colspan=\"2\" style=\"text-align:left\" "
      "onmouseup=Skerrow.SetCalender(document,%d,%d)><font color=\"%s\"><b>prev</b></font></td>",
      py, pm, week);
  add("<td id=\"monthname\" colspan=\"3\" style=\"text-align:center\" "
      "onmouseup=movewnd(\"calender\")><font color=\"%s\"><b>%s</b></font></td>",
      week, name);
  add("<td colspan=\"2\" style=\"text-align:right\" "
      "onmouseup=Skerrow.SetCalender(document,%d,%d)><font color=\"%s\"><b>next</b></font></td>",
      ny, nm, week);
  add("</tr><tr>");
  auto color = [&](int c) { return (c == 0 ? look.sun : c == 6 ? look.sat : look.week).c_str(); };
  for (int c = 0; c < 7; ++c) {
    add("<td onmouseup=movewnd(\"calender\")><b id=\"day%d\" style=\"color:%s\">%s</b></td>", c,
        color(c), kDays[c]);
  }
  add("</tr>");
  for (int j = 0; j < 42; ++j) {
    if (j % 7 == 0) add("<tr style=\"font-size:%dpx\">", look.size);
    const int d = j - first + 1;
    if (d >= 1 && d <= days) {
      add("<td><div id=\"cal%d\" onmouseup=Skerrow.ChangeDate(document,%d,%d,%d)><pre "
          "style=\"font-family:%s\"><b style=\"color:%s\">%2d</b></pre></div></td>",
          j, year, month, d, font, color(j % 7), d);
    } else {
      add("<td><div id=\"cal%d\"><pre style=\"font-family:%s\"><b "
          "style=\"color:%s\">  </b></pre></div></td>",
          j, font, color(j % 7));
    }
    if (j % 7 == 6) add("</tr>");
  }
  add("</table>");
  return s;
}

std::string Drawn(Fixture& f, RecordingDocument& page, int year, int month) {
  f.control().SetCalender(page, year, month);
  const auto& html = page[u"calender"].inner_html;
  return html ? U8(*html) : std::string("<nothing drawn>");
}

TEST(CalendarTest, DrawsKnownMonthsByteForByte) {
  Fixture f;
  RecordingDocument page({u"calender"});
  // 1 Jan 1980 was a Tuesday.
  EXPECT_EQ(Drawn(f, page, 1980, 1), Expected(1980, 1, 2, 31, {}));
  EXPECT_EQ(f.state().shown_year, 1980);
  EXPECT_EQ(f.state().shown_month, 1);
  EXPECT_EQ(U8(page[u"calender"].font_family.value_or(u"")), "ＭＳ ゴシック");
  // Sunday start, 28 days: the last two rows are all blank but drawn.
  EXPECT_EQ(Drawn(f, page, 2009, 2), Expected(2009, 2, 0, 28, {}));
  // Saturday start: day 31 lands in the sixth row.
  EXPECT_EQ(Drawn(f, page, 2004, 5), Expected(2004, 5, 6, 31, {}));
  // Neighbours across the year boundary.
  EXPECT_EQ(Drawn(f, page, 2005, 1), Expected(2005, 1, 6, 31, {}));
  EXPECT_EQ(Drawn(f, page, 2005, 12), Expected(2005, 12, 4, 31, {}));
  EXPECT_EQ(f.state().shown_year, 2005);
  EXPECT_EQ(f.state().shown_month, 12);
}

TEST(CalendarTest, UsesColoursFontAndSizeInForce) {
  Fixture f;
  PageOptions& o = f.state().options;
  o.week_day_color = 16;  // Blue
  o.sat_day_color = 12;   // Lime
  o.sun_day_color = 8;    // Red
  o.shadow_color = 3;     // Black
  o.calender_font = u"Courier";
  o.calender_font_size = 25;
  RecordingDocument page({u"calender"});
  Look look{"Blue", "Lime", "Red", "Black", "Courier", 25};
  EXPECT_EQ(Drawn(f, page, 2000, 2), Expected(2000, 2, 2, 29, look));
  EXPECT_EQ(U8(page[u"calender"].font_family.value_or(u"")), "Courier");
  o.calender_font_size = 8;  // the tables then use 6
  look.size = 8;
  EXPECT_EQ(Drawn(f, page, 2100, 2), Expected(2100, 2, 1, 28, look));
}

TEST(CalendarTest, RefusedCallsChangeNothing) {
  Fixture f;
  RecordingDocument page({u"calender"});
  f.control().SetCalender(page, 2009, 2);
  const std::u16string before = *page[u"calender"].inner_html;
  const int writes = page.TotalWrites();
  for (auto [y, m] : {std::pair{1979, 12},
                      {2009, 0},
                      {2009, 13},
                      {-5, 1},
                      {std::numeric_limits<std::int32_t>::min(), 1},
                      {2009, -1}}) {
    f.control().SetCalender(page, y, m);
  }
  EXPECT_EQ(page.TotalWrites(), writes);
  EXPECT_EQ(*page[u"calender"].inner_html, before);
  EXPECT_EQ(f.state().shown_year, 2009);
  EXPECT_EQ(f.state().shown_month, 2);

  // A page without "calender" neither draws nor remembers.
  RecordingDocument other({u"schedule"});
  f.control().SetCalender(other, 2004, 5);
  EXPECT_EQ(other.TotalWrites(), 0);
  EXPECT_EQ(f.state().shown_year, 2009);
  EXPECT_EQ(f.state().shown_month, 2);

  // Before any drawing, a redraw of the remembered month draws nothing.
  Fixture fresh;
  RecordingDocument blank({u"calender"});
  fresh.control().SetCalender(blank, fresh.state().shown_year, fresh.state().shown_month);
  EXPECT_EQ(blank.TotalWrites(), 0);
}

TEST(CalendarTest, LeapYears) {
  EXPECT_TRUE(calendar::IsLeapYear(2000));
  EXPECT_TRUE(calendar::IsLeapYear(2004));
  EXPECT_FALSE(calendar::IsLeapYear(2100));
  EXPECT_FALSE(calendar::IsLeapYear(1900));
  EXPECT_FALSE(calendar::IsLeapYear(2005));
  EXPECT_FALSE(calendar::IsLeapYear(std::numeric_limits<std::int32_t>::max()));
}

TEST(CalendarTest, FirstWeekdayMatchesDayCounting) {
  // Count forward from Tuesday 1 Jan 1980, one month at a time.
  int weekday = 2;
  for (int y = 1980; y < 2800; ++y) {
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    const int lengths[] = {31, leap ? 29 : 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (int m = 1; m <= 12; ++m) {
      ASSERT_EQ(calendar::FirstWeekday(y, m), weekday) << y << "-" << m;
      weekday = (weekday + lengths[m - 1]) % 7;
    }
  }
}

TEST(CalendarTest, HugeYearsFollowTheFourHundredYearCycle) {
  // 400 Gregorian years are exactly 20871 weeks.
  const std::int32_t max = std::numeric_limits<std::int32_t>::max();
  for (std::int32_t y : {max, max - 1, max - 399, 1000000007, 123456789}) {
    const std::int32_t same = 1980 + (y - 1980) % 400;
    for (int m = 1; m <= 12; ++m) {
      EXPECT_EQ(calendar::FirstWeekday(y, m), calendar::FirstWeekday(same, m)) << y << "-" << m;
    }
  }
  // The last year draws; its "next" wraps to a year the control refuses.
  Fixture f;
  RecordingDocument page({u"calender"});
  f.control().SetCalender(page, max, 12);
  ASSERT_TRUE(page[u"calender"].inner_html.has_value());
  const std::string html = U8(page[u"calender"].inner_html.value_or(u""));
  EXPECT_NE(html.find("Skerrow.SetCalender(document,-2147483648,1)"), std::string::npos);
  EXPECT_NE(html.find("Skerrow.ChangeDate(document,2147483647,12,31)"), std::string::npos);
}

TEST(CalendarTest, WritesIntoTheBundledPage) {
  Fixture f;
  f.control().SetCalender(f.doc(), 1980, 1);
  const std::string html = f.Html(u"calender");
  EXPECT_NE(html.find("id=\"cal2\""), std::string::npos);
  EXPECT_NE(html.find("Skerrow.ChangeDate(document,1980,1,31)"), std::string::npos);
  EXPECT_EQ(html.find("Skerrow.ChangeDate(document,1980,1,32)"), std::string::npos);
  EXPECT_NE(html.find("id=\"calenders\""), std::string::npos);
}

}  // namespace
}  // namespace vellumine
