#include "store/settings.h"

#include <map>
#include <span>

#include "page/text.h"
#include "page/wide_format.h"
#include "store/records.h"

namespace vellumine {
namespace {

const KeyTable& SettingsKeys() {
  // Never destroyed: a load on another thread (the desktop host's preload)
  // may still be reading it while the process exits.
  static const KeyTable& table = *new KeyTable(kSettingsKeys);
  return table;
}

void Add(std::string& out, std::u16string_view format, std::initializer_list<FormatArg> args) {
  std::u16string record;
  WideFormat(record, format, args);
  AppendRecord(out, record);
}

// The options shared by "config" and the settings files, in file order.
void AddOptions(std::string& out, const PageOptions& o) {
  Add(out, u"WeekDayColor=%d", {o.week_day_color});
  Add(out, u"SatDayColor=%d", {o.sat_day_color});
  Add(out, u"SunDayColor=%d", {o.sun_day_color});
  Add(out, u"ShadowColor=%d", {o.shadow_color});
  Add(out, u"MenuTextColor=%d", {o.menu_text_color});
  Add(out, u"CalenderFaceName=%s", {o.calender_font});
  Add(out, u"CalenderFontSize=%d", {o.calender_font_size});
  Add(out, u"LinkItemNum=%d", {o.link_item_num});
  Add(out, u"MemoItemNum=%d", {o.memo_item_num});
  Add(out, u"FaceName=%s", {o.menu_font});
  Add(out, u"FontSize=%d", {o.menu_font_size});
}

void AddWindows(std::string& out, const WndList& windows) {
  for (std::size_t i = 0; i < windows.size(); ++i) {
    const WndRecord& w = windows[i];
    const auto n = static_cast<std::int32_t>(i);
    Add(out, u"WndName%d=%s", {n, w.name});
    Add(out, u"WndPos.x%d=%d", {n, w.x});
    Add(out, u"WndPos.y%d=%d", {n, w.y});
    Add(out, u"Visibility%d=%d", {n, w.visibility});
    Add(out, u"WndDefault%d=%d", {n, w.individual});
    Add(out, u"WndTextColor%d=%d", {n, w.text_color});
    Add(out, u"WndFaceName%d=%s", {n, w.font});
    Add(out, u"WndFontSize%d=%d", {n, w.font_size});
  }
}

// A face name as held: at most 31 units, never ending in half a pair.
std::u16string FaceName(std::u16string_view value) {
  if (value.size() > static_cast<std::size_t>(kMaxFaceUnits)) {
    std::size_t keep = kMaxFaceUnits;
    if (value[keep - 1] >= 0xD800 && value[keep - 1] <= 0xDBFF) --keep;
    value = value.substr(0, keep);
  }
  return std::u16string(value);
}

// Applies a plain option record; false when the key is no plain option.
bool ApplyOption(PageOptions& o, int key, std::u16string_view value) {
  switch (key) {
    case kKeyWeekDayColor:
      o.week_day_color = ParseDecimal(value);
      return true;
    case kKeySatDayColor:
      o.sat_day_color = ParseDecimal(value);
      return true;
    case kKeySunDayColor:
      o.sun_day_color = ParseDecimal(value);
      return true;
    case kKeyShadowColor:
      o.shadow_color = ParseDecimal(value);
      return true;
    case kKeyMenuTextColor:
      o.menu_text_color = ParseDecimal(value);
      return true;
    case kKeyCalenderFontSize:
      o.calender_font_size = ParseDecimal(value);
      return true;
    case kKeyLinkItemNum:
      o.link_item_num = ParseDecimal(value);
      return true;
    case kKeyMemoItemNum:
      o.memo_item_num = ParseDecimal(value);
      return true;
    case kKeyFontSize:
      o.menu_font_size = ParseDecimal(value);
      return true;
    case kKeyFaceName:
      o.menu_font = FaceName(value);
      return true;
    case kKeyCalenderFaceName:
      o.calender_font = FaceName(value);
      return true;
    default:
      return false;
  }
}

bool IsWindowKey(int key) {
  return (key >= kKeyWndName && key <= kKeyVisibility) ||
         (key >= kKeyWndDefault && key <= kKeyWndFontSize);
}

// One indexed window record into list. A window gets its style defaults
// from global when its index is first seen; windows skipped over by a higher
// index get them too, with an empty name.
void ApplyWindow(WndList& list, const PageOptions& global, int key, std::u16string_view record,
                 const KeyMatch& match) {
  const IndexedValue iv = ParseIndexed(record, match);
  if (iv.index < 0 || iv.index >= kMaxWindows) return;
  const auto n = static_cast<std::size_t>(iv.index);
  while (list.size() <= n) {
    WndRecord fresh;
    DefaultWndStyle(global, fresh);
    list.push_back(std::move(fresh));
  }
  WndRecord& w = list[n];
  switch (key) {
    case kKeyWndName:
      w.name = std::u16string(iv.value);
      w.hash = StringHash(w.name);
      break;
    case kKeyWndPosX:
      w.x = ParseDecimal(iv.value);
      break;
    case kKeyWndPosY:
      w.y = ParseDecimal(iv.value);
      break;
    case kKeyVisibility:
      w.visibility = ParseDecimal(iv.value);
      break;
    case kKeyWndDefault:
      w.individual = ParseDecimal(iv.value);
      break;
    case kKeyWndTextColor:
      w.text_color = ParseDecimal(iv.value);
      break;
    case kKeyWndFaceName:
      w.font = FaceName(iv.value);
      break;
    case kKeyWndFontSize:
      w.font_size = ParseDecimal(iv.value);
      break;
    default:
      break;
  }
}

// An unknown record, or one that is only the beginning of a key (an empty
// record matches the first key): skipped, so that it can't reset a setting.
bool HoldsNoValue(std::u16string_view record, const KeyMatch& match) {
  return match.index < 0 || record.size() < match.length;
}

bool IsSectionHead(std::u16string_view record) { return !record.empty() && record[0] == u'['; }

}  // namespace

void LoadConfig(Store& store, ControlState& state) {
  const auto bytes = store.Read(u"config");
  if (!bytes) return;
  RecordReader reader(*bytes);
  std::u16string record;
  while (reader.Next(&record)) {
    const KeyMatch match = SettingsKeys().Find(record);
    if (HoldsNoValue(record, match)) continue;
    if (match.index == kKeyWPNo) {
      state.current_wallpaper = ParseDecimal(PlainValue(record, match));
    } else if (IsWindowKey(match.index)) {
      // Defaults come from the options as read so far from this same file.
      ApplyWindow(state.windows, state.options, match.index, record, match);
    } else if (match.index >= 0) {
      ApplyOption(state.options, match.index, PlainValue(record, match));
    }
  }
  if (reader.damaged()) store.MarkDamaged(u"config");
}

bool SaveConfig(Store& store, const ControlState& state) {
  std::string out;
  Add(out, u"WPNo=%d", {state.current_wallpaper});
  AddOptions(out, state.options);
  AddWindows(out, state.windows);
  return store.Write(u"config", out);
}

int LoadWallPaperList(Store& store, ControlState& state) {
  // What the last load made of each settings file, by name: kept for a file
  // still as read then, when its windows' style defaults are the same.
  std::map<std::u16string, WallPaperEntry, std::less<>> before;
  if (state.wallpaper_defaults == state.options) {
    for (WallPaperEntry& entry : state.wallpapers) {
      if (entry.key.second != 0) before.emplace(u"wp/" + KeyHex(entry.key), std::move(entry));
    }
  }
  state.wallpaper_defaults = state.options;
  state.wallpapers.clear();
  const auto bytes = store.Read(u"wplist");
  if (!bytes) return 0;
  RecordReader reader(*bytes);
  std::u16string record;
  bool more = reader.Next(&record);
  // The first record heads a section whatever its first unit is.
  while (more && static_cast<int>(state.wallpapers.size()) < kMaxWallPapers) {
    const bool has_path = record.size() >= 2;
    WallPaperEntry entry;
    if (has_path) entry.path = record.substr(1, record.size() - 2);
    bool keyed = false;
    while ((more = reader.Next(&record)) && !IsSectionHead(record)) {
      if (KeyPrefixEqual(record, u"Hash=") == 0) {
        entry.key = ParseHashRecord(record);
        keyed = true;
      }
    }
    // A head too short to hold a path names no wallpaper.
    if (!has_path) continue;
    // Without a stored key the path's hash still finds an earlier settings
    // file of the same picture.
    if (!keyed) entry.key = {StringHash(entry.path), 0};
    state.wallpapers.push_back(std::move(entry));
  }
  // A broken end, or wallpapers past the table's capacity, would be lost by
  // the next save: the file is kept first.
  if (more || !reader.at_end()) store.MarkDamaged(u"wplist");
  for (WallPaperEntry& entry : state.wallpapers) {
    if (entry.key.second != 0) {
      const std::u16string path = u"wp/" + KeyHex(entry.key);
      const auto it = before.find(path);
      if (it != before.end() && it->second.path == entry.path && store.StillAsRead(path)) {
        entry.options = std::move(it->second.options);
        entry.windows = std::move(it->second.windows);
        before.erase(it);
        continue;
      }
    }
    LoadWallPaperSettings(store, state, entry);
  }
  return static_cast<int>(state.wallpapers.size());
}

bool SaveWallPaperList(Store& store, const ControlState& state) {
  std::string out;
  for (const WallPaperEntry& entry : state.wallpapers) {
    Add(out, u"[%s]", {entry.path});
    Add(out, u"Hash=%08x%08x", {entry.key.first, entry.key.second});
  }
  return store.Write(u"wplist", out);
}

int LoadWallPaperSettings(Store& store, const ControlState& state, WallPaperEntry& entry) {
  entry.options = PageOptions::Unset();
  entry.windows.clear();
  const std::u16string path = WallPaperSettingsPath(store, entry);
  const auto bytes = store.ReadNoted(path);
  if (!bytes) return 0;
  RecordReader reader(*bytes);
  std::u16string record;
  bool found = false;
  while (!found && reader.Next(&record)) {
    found = !record.empty() &&
            TextCompareN(std::u16string_view(record).substr(1), entry.path, entry.path.size()) == 0;
  }
  if (!found) {
    if (reader.damaged()) store.MarkDamaged(path);
    return 0;
  }
  while (reader.Next(&record) && !IsSectionHead(record)) {
    const KeyMatch match = SettingsKeys().Find(record);
    if (HoldsNoValue(record, match)) continue;
    if (IsWindowKey(match.index)) {
      ApplyWindow(entry.windows, state.options, match.index, record, match);
    } else if (match.index > kKeyWPNo) {
      ApplyOption(entry.options, match.index, PlainValue(record, match));
    }
  }
  if (reader.damaged()) store.MarkDamaged(path);
  return 1;
}

bool SaveWallPaperSettings(Store& store, WallPaperEntry& entry) {
  const std::u16string path = WallPaperSettingsPath(store, entry);
  std::string out;
  Add(out, u"[%s]", {entry.path});
  AddOptions(out, entry.options);
  AddWindows(out, entry.windows);
  return store.Write(path, out);
}

std::u16string WallPaperSettingsPath(Store& store, WallPaperEntry& entry) {
  store.CreateFolder(u"wp");
  if (entry.key.second != 0) return u"wp/" + KeyHex(entry.key);
  // A settings file left by an earlier registration of the same picture: its
  // name begins with the path's hash and its first record holds the path.
  const std::u16string prefix = WideFormatted(u"%08x", {entry.key.first});
  for (const std::u16string& name : store.platform().ListFiles(store.FullPath(u"wp"), prefix)) {
    // Only a name this system could have made; any other would be answered
    // with a path naming a different file.
    if (name.size() != 16) continue;
    const ItemKey found{entry.key.first, ParseHex8(std::u16string_view(name).substr(8))};
    if (found.second == 0 || KeyHex(found) != name) continue;
    const auto bytes = store.Read(u"wp/" + name);
    if (!bytes) continue;
    RecordReader reader(*bytes);
    std::u16string first;
    if (!reader.Next(&first)) continue;
    // The whole head must match: a mere prefix would let a picture take over
    // (and later overwrite) the file of another picture whose path it begins.
    if (first == u"[" + entry.path + u"]") {
      entry.key = found;
      return u"wp/" + name;
    }
  }
  return store.MakeItemKeyPath(u"wp", entry.key);
}

}  // namespace vellumine
