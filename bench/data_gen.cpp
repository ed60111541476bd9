#include "bench/data_gen.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <set>
#include <stdexcept>
#include <utility>

#include "page/text.h"
#include "store/records.h"

namespace vellumine::bench {
namespace fs = std::filesystem;

namespace {

// ASCII formatting into UTF-16; every format here is short.
template <typename... Args>
std::u16string Fmt(const char* format, Args... args) {
  char buffer[256];
  std::snprintf(buffer, sizeof buffer, format, args...);
  return Utf8ToUtf16(buffer);
}

// splitmix64: a fixed sequence, so every run writes the same keys.
class KeySource {
 public:
  std::uint32_t Next() {
    for (;;) {
      std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
      z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
      z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
      const auto value = static_cast<std::uint32_t>(z ^ (z >> 31));
      if (value != 0 && used_.insert(value).second) return value;
    }
  }

 private:
  std::uint64_t state_ = 0x5eed;
  std::set<std::uint32_t> used_;
};

// Exactly `units` units of text without markup characters: the pattern
// repeated, cut at the length.
std::u16string Filler(std::u16string_view head, std::u16string_view pattern, int units) {
  std::u16string out(head.substr(0, static_cast<std::size_t>(units)));
  while (out.size() < static_cast<std::size_t>(units)) out += pattern;
  out.resize(static_cast<std::size_t>(units));
  return out;
}

class Writer {
 public:
  Writer(fs::path folder, GeneratedData& data) : folder_(std::move(folder)), data_(data) {}

  void File(const std::string& relative, const std::string& bytes) {
    const fs::path path = folder_ / relative;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
    data_.bytes += bytes.size();
    ++data_.files;
  }

 private:
  fs::path folder_;
  GeneratedData& data_;
};

void AppendOptions(std::string& out, const PageOptions& o) {
  AppendRecord(out, Fmt("WeekDayColor=%d", o.week_day_color));
  AppendRecord(out, Fmt("SatDayColor=%d", o.sat_day_color));
  AppendRecord(out, Fmt("SunDayColor=%d", o.sun_day_color));
  AppendRecord(out, Fmt("ShadowColor=%d", o.shadow_color));
  AppendRecord(out, Fmt("MenuTextColor=%d", o.menu_text_color));
  AppendRecord(out, u"CalenderFaceName=" + o.calender_font);
  AppendRecord(out, Fmt("CalenderFontSize=%d", o.calender_font_size));
  AppendRecord(out, Fmt("LinkItemNum=%d", o.link_item_num));
  AppendRecord(out, Fmt("MemoItemNum=%d", o.memo_item_num));
  AppendRecord(out, u"FaceName=" + o.menu_font);
  AppendRecord(out, Fmt("FontSize=%d", o.menu_font_size));
}

void AppendWindows(std::string& out, const std::vector<std::u16string>& names) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    const int n = static_cast<int>(i);
    AppendRecord(out, Fmt("WndName%d=", n) + names[i]);
    AppendRecord(out, Fmt("WndPos.x%d=%d", n, 10 + n % 700));
    AppendRecord(out, Fmt("WndPos.y%d=%d", n, 20 + (n * 7) % 500));
    AppendRecord(out, Fmt("Visibility%d=%d", n, n % 3 == 0 ? 0 : 1));
    // Every fourth window keeps its own style, so restyling has work to do.
    AppendRecord(out, Fmt("WndDefault%d=%d", n, n % 4 == 0 ? 1 : 0));
    AppendRecord(out, Fmt("WndTextColor%d=%d", n, n % kColorCount));
    AppendRecord(out, Fmt("WndFaceName%d=", n) + u"ＭＳ ゴシック");
    AppendRecord(out, Fmt("WndFontSize%d=%d", n, 10 + n % 10));
  }
}

std::string Hex(const ItemKey& key) { return Utf16ToUtf8(KeyHex(key)); }

}  // namespace

Scale FullScale() {
  Scale s;
  s.name = "full";
  s.memos = kMaxMemos;
  s.menus = kMaxLinkMenus;
  s.links_per_menu = kMaxLinks;
  s.wallpapers = kMaxWallPapers;
  s.wallpaper_windows = 50;
  s.global_windows = 200;
  s.schedules = 365;
  return s;
}

Scale TenthScale() {
  Scale s = FullScale();
  s.name = "tenth";
  s.memos /= 10;
  s.menus /= 10;
  s.links_per_menu /= 10;
  s.wallpapers /= 10;
  s.wallpaper_windows /= 10;
  s.global_windows /= 10;
  s.schedules /= 10;
  return s;
}

Scale ScaleNamed(const std::string& name) {
  if (name == "full") return FullScale();
  if (name == "tenth") return TenthScale();
  throw std::invalid_argument("unknown scale: " + name);
}

std::u16string MemoWindowName(const ItemKey& key) { return u"memo" + KeyHex(key); }
std::u16string LinkWindowName(const ItemKey& key) { return u"link" + KeyHex(key); }

GeneratedData Generate(const fs::path& folder, const Scale& scale, LocalDate today) {
  GeneratedData data;
  Writer writer(folder, data);
  KeySource keys;

  // Memos: the memo files and "memolist".
  std::string memolist;
  for (int i = 0; i < scale.memos; ++i) {
    const std::u16string subject =
        Filler(Fmt("メモ%04d ", i), u"件名の続きabcdefghij", scale.subject_units);
    const std::u16string message =
        Filler(Fmt("本文%04d\n", i), u"今日の予定と覚え書き。Notes for the day, line by line.\n",
               scale.message_units);
    const ItemKey key{StringHash(subject), keys.Next()};
    data.memo_keys.push_back(key);
    std::string file;
    AppendRecord(file, u"Subject=" + subject);
    AppendRecord(file, u"Message=" + message);
    writer.File("memo/" + Hex(key), file);
    AppendRecord(memolist, Fmt("[memo%d]", i));
    AppendRecord(memolist, u"Hash=" + KeyHex(key));
  }
  writer.File("memolist", memolist);

  // Link menus: the menu files and the index "link". Stored links are not
  // checked when read, so the paths need not exist.
  std::string index;
  for (int m = 0; m < scale.menus; ++m) {
    const std::u16string name = Fmt("メニュー%03d", m);
    const ItemKey key{StringHash(name), keys.Next()};
    data.menu_keys.push_back(key);
    std::string file;
    for (int k = 0; k < scale.links_per_menu; ++k) {
      AppendRecord(file, Fmt("[/home/user/Documents/project%03d/notes/file%04d.txt]", m, k));
    }
    writer.File("linkmenu/" + Hex(key), file);
    AppendRecord(index, u"[" + name + u"]");
    AppendRecord(index, u"Hash=" + KeyHex(key));
    AppendRecord(index, u"PageNum=0");
  }
  writer.File("link", index);

  // Window records name memo and link windows, which are on the page after
  // InitPage, so pruning keeps them all.
  auto window_name = [&](int j) {
    if (j % 2 == 1 && scale.menus > 0) {
      return LinkWindowName(data.menu_keys[static_cast<std::size_t>(j / 2 % scale.menus)]);
    }
    return MemoWindowName(
        data.memo_keys[static_cast<std::size_t>(j / 2 % std::max(scale.memos, 1))]);
  };

  // Global windows: all link windows first, then memo windows 0, 1, ...
  for (int j = 0; j < scale.global_windows; ++j) {
    if (j < scale.menus && j < scale.global_windows / 2) {
      data.global_window_names.push_back(
          LinkWindowName(data.menu_keys[static_cast<std::size_t>(j)]));
    } else {
      const int memo = j - std::min(scale.menus, scale.global_windows / 2);
      data.global_window_names.push_back(
          MemoWindowName(data.memo_keys[static_cast<std::size_t>(memo % scale.memos)]));
    }
  }
  std::string config;
  AppendRecord(config, Fmt("WPNo=%d", scale.current_wallpaper));
  AppendOptions(config, PageOptions());
  AppendWindows(config, data.global_window_names);
  writer.File("config", config);

  // Wallpapers: "wplist" and one settings file each, alternating memo and
  // link windows from an offset of their own.
  std::string wplist;
  for (int w = 0; w < scale.wallpapers; ++w) {
    const std::u16string path = Fmt("/home/user/Pictures/wallpaper%04d.jpg", w);
    const ItemKey key{StringHash(path), keys.Next()};
    data.wallpaper_keys.push_back(key);
    AppendRecord(wplist, u"[" + path + u"]");
    AppendRecord(wplist, u"Hash=" + KeyHex(key));
    PageOptions own = PageOptions::Unset();
    own.week_day_color = 0;
    own.sat_day_color = 1;
    own.sun_day_color = 2;
    own.shadow_color = 6;
    own.menu_text_color = 3 + w % 16;
    std::vector<std::u16string> names;
    for (int j = 0; j < scale.wallpaper_windows; ++j) names.push_back(window_name(2 * w + j));
    std::string file;
    AppendRecord(file, u"[" + path + u"]");
    AppendOptions(file, own);
    AppendWindows(file, names);
    writer.File("wp/" + Hex(key), file);
  }
  writer.File("wplist", wplist);

  // Schedules: consecutive days from January 1.
  using namespace std::chrono;
  const sys_days first = sys_days(year{today.year} / January / 1);
  for (int d = 0; d < scale.schedules; ++d) {
    const year_month_day date{first + days{d}};
    const LocalDate local{static_cast<int>(date.year()), static_cast<int>(unsigned(date.month())),
                          static_cast<int>(unsigned(date.day()))};
    data.schedule_dates.push_back(local);
    const std::u16string text =
        Filler(Fmt("%d月%d日\n", local.month, local.day),
               u"会議の準備と資料の確認。Call the office.\n", scale.schedule_units);
    std::string file;
    AppendRecord(file, text);
    char name[32];
    std::snprintf(name, sizeof name, "schdl/%04d%02d%02d", local.year, local.month, local.day);
    writer.File(name, file);
  }
  return data;
}

std::uintmax_t FolderBytes(const fs::path& folder) {
  std::uintmax_t total = 0;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (entry.is_regular_file()) total += entry.file_size();
  }
  return total;
}

}  // namespace vellumine::bench
