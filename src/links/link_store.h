// The link store: the index file "link" (each menu's escaped name, key and
// page) and one file "linkmenu/<key>" per menu listing its paths.
#pragma once

#include "model/state.h"
#include "store/store.h"

namespace vellumine::links {

// Replaces state.menus from the files; returns the count (at most
// kMaxLinkMenus, each menu at most kMaxLinks links).
int LoadLinkMenus(Store& store, ControlState& state);
// Reads one menu's links; returns the count, or 0 with the menu unchanged
// when its file can't be read.
int LoadMenuLinks(Store& store, LinkMenu& menu);
// Writes one menu's file, assigning its key's second half first if needed.
bool SaveMenuLinks(Store& store, LinkMenu& menu);
bool SaveLinkIndex(Store& store, const ControlState& state);

}  // namespace vellumine::links
