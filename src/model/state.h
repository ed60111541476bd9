// ControlState: everything one control instance holds in memory.
//
// Tables are vectors whose size is the count of live entries; the capacities
// below are limits checked by every adding operation, not allocations. Array
// order is the order shown in the page and written to the files.
#pragma once

#include <array>
#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellumine {

inline constexpr int kMaxWallPapers = 1000;
inline constexpr int kMaxWindows = 1000;  // per window list
inline constexpr int kMaxLinkMenus = 100;
inline constexpr int kMaxLinks = 1000;  // per menu
inline constexpr int kMaxMemos = 1000;
inline constexpr int kMaxFaceUnits = 31;
inline constexpr int kColorCount = 19;

struct ColorEntry {
  std::u16string_view value;  // written into style and markup
  std::u16string_view label;  // shown in option texts
};
extern const std::array<ColorEntry, kColorCount> kColorTable;
// Labels of a window's individual-setting flag: 0 "無効", 1 "有効".
extern const std::array<std::u16string_view, 2> kIndividualLabels;
// The value and label of a colour index; index outside 0..18 gives "".
std::u16string_view ColorValue(std::int32_t index);
std::u16string_view ColorLabel(std::int32_t index);
std::u16string_view IndividualLabel(std::int32_t flag);

// Two 32-bit halves naming an item's file and page elements ("%08x%08x").
struct ItemKey {
  std::uint32_t first = 0;
  std::uint32_t second = 0;  // 0: not assigned yet
  bool operator==(const ItemKey&) const = default;
  auto operator<=>(const ItemKey&) const = default;
};

// Page-wide display options. In a WallPaperEntry, -1 or an empty face means
// "not set".
struct PageOptions {
  std::int32_t week_day_color = 0;
  std::int32_t sat_day_color = 1;
  std::int32_t sun_day_color = 2;
  std::int32_t shadow_color = 6;
  std::int32_t menu_text_color = 3;
  std::u16string calender_font = u"ＭＳ ゴシック";
  std::int32_t calender_font_size = 20;
  std::int32_t link_item_num = 10;
  std::int32_t memo_item_num = 10;
  std::u16string menu_font = u"ＭＳ ゴシック";
  std::int32_t menu_font_size = 13;

  bool operator==(const PageOptions&) const = default;
  // Every option unset (a wallpaper without stored settings).
  static PageOptions Unset();
};

struct WndRecord {
  std::u16string name;  // the window element's id
  std::uint32_t hash = 0;
  std::int32_t x = 0;
  std::int32_t y = 0;
  std::int32_t visibility = 0;  // 0 hidden, 1 shown
  std::int32_t individual = 0;  // 1: own colour, font and size
  std::int32_t text_color = 0;
  std::u16string font;
  std::int32_t font_size = 0;
  std::int32_t item_num = 0;  // never stored in files

  bool operator==(const WndRecord&) const = default;
};
using WndList = std::vector<WndRecord>;

// Gives a record the style defaults from the global options held now:
// individual 0, colour MenuTextColor, font MenuFont, size MenuFontSize,
// ItemNum LinkItemNum. Name, position and visibility stay.
void DefaultWndStyle(const PageOptions& global, WndRecord& record);

struct WallPaperEntry {
  std::u16string path;
  ItemKey key;
  PageOptions options = PageOptions::Unset();
  WndList windows;
};

struct LinkEntry {
  std::u16string path;
  std::uint32_t path_hash = 0;
};

struct LinkMenu {
  std::u16string name;  // escaped, inserted into markup as it is
  ItemKey key;
  std::vector<LinkEntry> links;
  std::int32_t page_num = 0;
};

struct MemoEntry {
  ItemKey key;
  // Escaped texts; both absent when the memo's file could not be read.
  std::optional<std::u16string> subject;
  std::optional<std::u16string> message;
};

struct ControlState {
  std::u16string data_folder;  // ends with the platform separator
  PageOptions options;         // the global options
  WndList windows;             // the global window list
  std::vector<WallPaperEntry> wallpapers;
  // The global options the wallpapers' settings were last loaded with (the
  // style defaults of their windows); none before the first load.
  std::optional<PageOptions> wallpaper_defaults;
  std::int32_t current_wallpaper = -1;  // -1: none
  std::vector<LinkMenu> menus;
  std::vector<MemoEntry> memos;
  std::int32_t memo_page = 0;
  std::int32_t shown_year = 0;  // the calendar's remembered month; 0: none yet
  std::int32_t shown_month = 0;
  // The page's windows carry the menu options inline: RestyleWindows has run
  // on this page. A window drawn afresh after that needs them too.
  bool page_styled = false;

  // The current wallpaper, or nullptr when the index is outside the table.
  WallPaperEntry* CurrentWallPaper();
};

}  // namespace vellumine
