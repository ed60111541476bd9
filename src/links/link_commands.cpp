// Stub: replaced by the link commands' implementation.
#include "links/link_commands.h"

#include "control/skerrow.h"

namespace vellumine::links {
void MakeLinkMenu(CSkerrow&, Document&, const TextArg&, std::int32_t) {}
void RemoveLinkMenu(CSkerrow&, Document&, std::int32_t) {}
void AddLink(CSkerrow&, Document&, const TextArg&, std::int32_t) {}
void ChangeLink(CSkerrow&, Document&, std::int32_t, const TextArg&, std::int32_t) {}
void RemoveLink(CSkerrow&, Document&, std::int32_t, std::int32_t) {}
void PermuteLink(CSkerrow&, Document&, std::int32_t, std::int32_t, std::int32_t) {}
}  // namespace vellumine::links
