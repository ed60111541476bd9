// Stub: replaced by the link store's implementation.
#include "links/link_store.h"

namespace vellumine::links {
int LoadLinkMenus(Store&, ControlState& state) { return static_cast<int>(state.menus.size()); }
int LoadMenuLinks(Store&, LinkMenu&) { return 0; }
bool SaveMenuLinks(Store&, LinkMenu&) { return true; }
bool SaveLinkIndex(Store&, const ControlState&) { return true; }
}  // namespace vellumine::links
