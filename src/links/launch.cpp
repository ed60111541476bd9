// Stub: replaced by the pickers' implementation.
#include "links/launch.h"

#include "control/skerrow.h"

namespace vellumine::links {
void OpenFile(CSkerrow&, Document&) {}
void OpenFolder(CSkerrow&, Document&) {}
void Open(CSkerrow&, std::int32_t, std::int32_t) {}
}  // namespace vellumine::links
