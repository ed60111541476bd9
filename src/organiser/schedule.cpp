// Stub: replaced by the schedule's implementation.
#include "organiser/schedule.h"

#include "control/skerrow.h"

namespace vellumine::schedule {
void ChangeDate(CSkerrow&, Document&, std::int32_t, std::int32_t, std::int32_t) {}
void ChangeSchedule(CSkerrow&, Document&, const TextArg&, std::int32_t, std::int32_t,
                    std::int32_t) {}
}  // namespace vellumine::schedule
