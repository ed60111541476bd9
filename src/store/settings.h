// The settings files: "config" (global options, current wallpaper, global
// window list), "wplist" (the wallpaper table) and "wp/<key>" (one
// wallpaper's own options and window list).
#pragma once

#include <string>

#include "model/state.h"
#include "store/store.h"

namespace vellumine {

// Fills the global options, the current wallpaper index and the global
// window list from "config"; a missing file leaves everything as it is.
void LoadConfig(Store& store, ControlState& state);
bool SaveConfig(Store& store, const ControlState& state);

// Replaces the wallpaper table from "wplist" and each wallpaper's settings
// file; returns the number of wallpapers read (at most kMaxWallPapers).
int LoadWallPaperList(Store& store, ControlState& state);
bool SaveWallPaperList(Store& store, const ControlState& state);

// Unsets the entry's options and windows, then reads its settings file.
// 1 when the entry's section was found, else 0. Windows get their style
// defaults from state.options.
int LoadWallPaperSettings(Store& store, const ControlState& state, WallPaperEntry& entry);
bool SaveWallPaperSettings(Store& store, WallPaperEntry& entry);
// Relative path of the entry's settings file; finds an earlier
// registration's file by its first record, or draws a new key second half.
std::u16string WallPaperSettingsPath(Store& store, WallPaperEntry& entry);

}  // namespace vellumine
