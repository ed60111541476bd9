// The day schedule: one escaped text per date in "schdl/YYYYMMDD".
#pragma once

#include <cstdint>

#include "page/document.h"
#include "page/text.h"

namespace vellumine {
class Context;
}

namespace vellumine::schedule {

void ChangeDate(Context& context, Document& document, std::int32_t year, std::int32_t month,
                std::int32_t day);
// Stores (null deletes) and then shows the date as ChangeDate does.
void ChangeSchedule(Context& context, Document& document, const TextArg& schedule,
                    std::int32_t year, std::int32_t month, std::int32_t day);

}  // namespace vellumine::schedule
