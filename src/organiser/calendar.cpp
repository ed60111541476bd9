// Stub: replaced by the calendar's implementation.
#include "organiser/calendar.h"

#include "control/skerrow.h"

namespace vellumine::calendar {
void SetCalender(CSkerrow&, Document&, std::int32_t, std::int32_t) {}
std::u16string ComposeCalendar(const PageOptions&, std::int32_t, std::int32_t) { return {}; }
bool IsLeapYear(std::int32_t) { return false; }
int FirstWeekday(std::int32_t, std::int32_t) { return 0; }
}  // namespace vellumine::calendar
