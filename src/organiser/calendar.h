// The month calendar: a shadow copy and the visible copy of a six-week grid,
// drawn into "calender".
#pragma once

#include <cstdint>
#include <string>

#include "model/state.h"
#include "page/document.h"

namespace vellumine {
class Context;
}

namespace vellumine::calendar {

// Draws Year/Month and remembers it. Nothing changes (page or remembered
// month) when "calender" is missing, Year is below 1980 or Month is outside
// 1..12.
void SetCalender(Context& context, Document& document, std::int32_t year, std::int32_t month);
// The calendar's inner markup for a month (1980 or later, month 1..12).
std::u16string ComposeCalendar(const PageOptions& options, std::int32_t year, std::int32_t month);
bool IsLeapYear(std::int32_t year);
// 0 (Sunday) .. 6 (Saturday) of the first day of the month.
int FirstWeekday(std::int32_t year, std::int32_t month);

}  // namespace vellumine::calendar
