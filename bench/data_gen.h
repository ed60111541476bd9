// Writes data folders of a given size in the files' own format, for the
// benchmarks and the memory probe. The output is the same for the same scale
// and date, so two runs measure the same data.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "model/state.h"
#include "platform/platform.h"

namespace vellumine::bench {

struct Scale {
  std::string name;
  int memos = 0;
  int subject_units = 20;
  int message_units = 500;
  int menus = 0;
  int links_per_menu = 0;
  int wallpapers = 0;
  int wallpaper_windows = 0;  // window records in each wallpaper's own list
  int global_windows = 0;     // window records in "config"
  int schedules = 0;
  int schedule_units = 200;
  int current_wallpaper = -1;  // "WPNo"
};

// 1000 memos, 100 menus of 1000 links, 1000 wallpapers of 50 window records,
// 200 global window records, 365 schedules: every table at its capacity.
Scale FullScale();
// A tenth of each count.
Scale TenthScale();
// "full" or "tenth"; throws std::invalid_argument otherwise.
Scale ScaleNamed(const std::string& name);

// What was written, for the benchmarks to address items by key.
struct GeneratedData {
  std::vector<ItemKey> memo_keys;
  std::vector<ItemKey> menu_keys;
  std::vector<ItemKey> wallpaper_keys;
  std::vector<std::u16string> global_window_names;
  std::vector<LocalDate> schedule_dates;
  std::uintmax_t bytes = 0;  // every file written
  std::size_t files = 0;
};

// The memo window name "memo%08x%08x" and link window name "link%08x%08x".
std::u16string MemoWindowName(const ItemKey& key);
std::u16string LinkWindowName(const ItemKey& key);

// Writes the data folder (created when missing; existing files of the same
// names are replaced). Schedules cover the days from January 1 of today's
// year on.
GeneratedData Generate(const std::filesystem::path& folder, const Scale& scale, LocalDate today);

// Total size of the regular files below a folder.
std::uintmax_t FolderBytes(const std::filesystem::path& folder);

}  // namespace vellumine::bench
