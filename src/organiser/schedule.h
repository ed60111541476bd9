// The day schedule: one escaped text per date in "schdl/YYYYMMDD".
#pragma once

#include <cstdint>

#include "page/document.h"
#include "page/text.h"

namespace vellumine {
class CSkerrow;
}

namespace vellumine::schedule {

void ChangeDate(CSkerrow& control, Document& document, std::int32_t year, std::int32_t month,
                std::int32_t day);
// Stores (null deletes) and then shows the date through the control's
// ChangeDate.
void ChangeSchedule(CSkerrow& control, Document& document, const TextArg& schedule,
                    std::int32_t year, std::int32_t month, std::int32_t day);

}  // namespace vellumine::schedule
