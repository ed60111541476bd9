#include "organiser/calendar.h"

#include <array>

#include "control/context.h"
#include "page/page_ids.h"
#include "page/safe_markup.h"
#include "page/wide_format.h"

namespace vellumine::calendar {

namespace {

constexpr std::int32_t kFirstYear = 1980;

constexpr std::array<std::u16string_view, 13> kMonthNames = {u"",    u"Jan", u"Feb", u"Mar", u"Apr",
                                                             u"May", u"Jun", u"Jul", u"Aug", u"Sep",
                                                             u"Oct", u"Nov", u"Dec"};

constexpr std::array<std::array<int, 12>, 2> kMonthDays = {{
    {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},  // leap
    {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31},  // common
}};

constexpr std::array<std::u16string_view, 7> kWeekdayNames = {u"SUN", u"MON", u"TUE", u"WED",
                                                              u"THU", u"FRI", u"SAT"};

int MonthDays(std::int32_t year, std::int32_t month) {
  return kMonthDays[IsLeapYear(year) ? 0 : 1][month - 1];
}

// The year one step away, wrapping like the page's own 32-bit numbers so
// that the last representable year yields a link the control then refuses.
std::int32_t StepYear(std::int32_t year, std::int32_t step) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(year) +
                                   static_cast<std::uint32_t>(step));
}

// Both copies share the grid's layout: six rows of seven cells.
void AppendGrid(std::u16string& out, const PageOptions& options, std::int32_t year,
                std::int32_t month, bool visible) {
  const int first = FirstWeekday(year, month);
  const int days = MonthDays(year, month);
  // The face goes into a style attribute: a CSS value, then markup.
  const std::u16string font = PlainTextMarkup(FontFamilyValue(options.calender_font));
  const std::u16string_view shadow = ColorValue(options.shadow_color);
  const std::array<std::u16string_view, 7> column_colors = {
      ColorValue(options.sun_day_color),  ColorValue(options.week_day_color),
      ColorValue(options.week_day_color), ColorValue(options.week_day_color),
      ColorValue(options.week_day_color), ColorValue(options.week_day_color),
      ColorValue(options.sat_day_color)};
  for (std::int32_t cell = 0; cell < 42; ++cell) {
    if (cell % 7 == 0) {
      WideFormat(out, u"<tr style=\"font-size:%dpx\">", {options.calender_font_size});
    }
    const std::int32_t day = cell - first + 1;
    const bool blank = day < 1 || day > days;
    if (!visible) {
      if (blank) {
        WideFormat(out,
                   u"<td><div id=\"cal%ds\"><pre style=\"font-family:%s\"><b "
                   u"style=\"color:%s\">  </b></pre></div></td>",
                   {cell, font, shadow});
      } else {
        WideFormat(out,
                   u"<td><div id=\"cal%ds\"><pre style=\"font-family:%s\"><b "
                   u"style=\"color:%s\">%2d</b></pre></div></td>",
                   {cell, font, shadow, day});
      }
    } else {
      const std::u16string_view color = column_colors[cell % 7];
      if (blank) {
        WideFormat(out,
                   u"<td><div id=\"cal%d\"><pre style=\"font-family:%s\"><b "
                   u"style=\"color:%s\">  </b></pre></div></td>",
                   {cell, font, color});
      } else {
        WideFormat(out,
                   u"<td><div id=\"cal%d\" "
                   u"onmouseup=Skerrow.ChangeDate(document,%d,%d,%d)><pre "
                   u"style=\"font-family:%s\"><b style=\"color:%s\">%2d</b></pre></div></td>",
                   {cell, year, month, day, font, color, day});
      }
    }
    if (cell % 7 == 6) out.append(u"</tr>");
  }
}

}  // namespace

bool IsLeapYear(std::int32_t year) { return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0); }

int FirstWeekday(std::int32_t year, std::int32_t month) {
  // Closed form of counting weekdays forward from 1 January 1980 (a
  // Tuesday): one step per common year, two per leap year, then the month
  // lengths. 64-bit so that any 32-bit year works.
  const std::int64_t before = static_cast<std::int64_t>(year) - 1;
  const std::int64_t base = static_cast<std::int64_t>(kFirstYear) - 1;
  auto leaps = [](std::int64_t y) {
    auto floor_div = [](std::int64_t a, std::int64_t b) {
      return a / b - ((a % b != 0) && ((a < 0) != (b < 0)) ? 1 : 0);
    };
    return floor_div(y, 4) - floor_div(y, 100) + floor_div(y, 400);
  };
  std::int64_t shift = (before - base) + (leaps(before) - leaps(base));
  for (std::int32_t m = 1; m < month && m <= 12; ++m) shift += MonthDays(year, m);
  std::int64_t weekday = (2 + shift) % 7;
  if (weekday < 0) weekday += 7;
  return static_cast<int>(weekday);
}

std::u16string ComposeCalendar(const PageOptions& options, std::int32_t year, std::int32_t month) {
  if (month < 1 || month > 12) return {};
  const std::u16string_view shadow = ColorValue(options.shadow_color);
  const std::u16string_view week = ColorValue(options.week_day_color);
  const std::u16string_view sat = ColorValue(options.sat_day_color);
  const std::u16string_view sun = ColorValue(options.sun_day_color);
  const std::int32_t small = options.calender_font_size * 4 / 5;
  const std::u16string_view name = kMonthNames[month];

  std::u16string out;
  out.reserve(20000);

  // Shadow copy: one pixel right and down, one colour, no handlers.
  out.append(u"<div id=\"calenders\" style=\"position:absolute;left:1px;top:1px\">");
  WideFormat(out, u"<table style=\"font-size:%dpx;\">", {small});
  out.append(u"<tr>");
  WideFormat(out,
             u"<td colspan=\"2\" style=\"text-align:left\"><font "
             u"color=\"%s\"><b>prev</b></font></td>",
             {shadow});
  WideFormat(out,
             u"<td id=\"monthnames\" colspan=\"3\" style=\"text-align:center\"><font "
             u"color=\"%s\"><b>%s</b></font></td>",
             {shadow, name});
  WideFormat(out,
             u"<td colspan=\"2\" style=\"text-align:right\"><font "
             u"color=\"%s\"><b>next</b></font></td>",
             {shadow});
  out.append(u"</tr>");
  out.append(u"<tr>");
  for (std::int32_t col = 0; col < 7; ++col) {
    WideFormat(out, u"<td><b id=\"day%ds\" style=\"color:%s\">%s</b></td>",
               {col, shadow, kWeekdayNames[col]});
  }
  out.append(u"</tr>");
  AppendGrid(out, options, year, month, false);
  out.append(u"</table>");
  out.append(u"</div>");

  // Visible copy.
  WideFormat(out, u"<table style=\"font-size:%dpx;position:absolute;left:0px;top:0px\">", {small});
  out.append(u"<tr>");
  const std::int32_t prev_year = month == 1 ? StepYear(year, -1) : year;
  const std::int32_t prev_month = month == 1 ? 12 : month - 1;
  const std::int32_t next_year = month == 12 ? StepYear(year, 1) : year;
  const std::int32_t next_month = month == 12 ? 1 : month + 1;
  WideFormat(out,
             u"<td colspan=\"2\" style=\"text-align:left\" "
             u"onmouseup=Skerrow.SetCalender(document,%d,%d)><font "
             u"color=\"%s\"><b>prev</b></font></td>",
             {prev_year, prev_month, week});
  WideFormat(out,
             u"<td id=\"monthname\" colspan=\"3\" style=\"text-align:center\" "
             u"onmouseup=movewnd(\"calender\")><font color=\"%s\"><b>%s</b></font></td>",
             {week, name});
  WideFormat(out,
             u"<td colspan=\"2\" style=\"text-align:right\" "
             u"onmouseup=Skerrow.SetCalender(document,%d,%d)><font "
             u"color=\"%s\"><b>next</b></font></td>",
             {next_year, next_month, week});
  out.append(u"</tr>");
  out.append(u"<tr>");
  for (std::int32_t col = 0; col < 7; ++col) {
    const std::u16string_view color = col == 0 ? sun : col == 6 ? sat : week;
    WideFormat(out,
               u"<td onmouseup=movewnd(\"calender\")><b id=\"day%d\" "
               u"style=\"color:%s\">%s</b></td>",
               {col, color, kWeekdayNames[col]});
  }
  out.append(u"</tr>");
  AppendGrid(out, options, year, month, true);
  out.append(u"</table>");
  return out;
}

void SetCalender(Context& context, Document& document, std::int32_t year, std::int32_t month) {
  std::unique_ptr<Element> element = document.FindElementById(ids::kCalender);
  if (!element) return;
  if (year < kFirstYear || month < 1 || month > 12) return;
  ControlState& state = context.state();
  state.shown_year = year;
  state.shown_month = month;
  element->SetStyleFontFamily(FontFamilyValue(state.options.calender_font));
  element->SetInnerHtml(ComposeCalendar(state.options, year, month));
}

}  // namespace vellumine::calendar
