#include "soak/soak_comparison.h"

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "page/text.h"
#include "soak/soak_calls.h"
#include "store/records.h"

namespace vellumine::soak {
namespace {

std::string Diff(const std::string& what, const std::string& live, const std::string& stored) {
  return what + ": live " + live + ", stored " + stored;
}

std::string Num(std::int64_t v) { return std::to_string(v); }
std::string Str(const std::u16string& s) { return Quote(s); }

void CompareOptions(const std::string& where, const PageOptions& a, const PageOptions& b,
                    std::vector<std::string>& out) {
  auto n = [&](const char* name, std::int32_t x, std::int32_t y) {
    if (x != y) out.push_back(Diff(where + "." + name, Num(x), Num(y)));
  };
  auto s = [&](const char* name, const std::u16string& x, const std::u16string& y) {
    if (x != y) out.push_back(Diff(where + "." + name, Str(x), Str(y)));
  };
  n("WeekDayColor", a.week_day_color, b.week_day_color);
  n("SatDayColor", a.sat_day_color, b.sat_day_color);
  n("SunDayColor", a.sun_day_color, b.sun_day_color);
  n("ShadowColor", a.shadow_color, b.shadow_color);
  n("MenuTextColor", a.menu_text_color, b.menu_text_color);
  s("CalenderFont", a.calender_font, b.calender_font);
  n("CalenderFontSize", a.calender_font_size, b.calender_font_size);
  n("LinkItemNum", a.link_item_num, b.link_item_num);
  n("MemoItemNum", a.memo_item_num, b.memo_item_num);
  s("MenuFont", a.menu_font, b.menu_font);
  n("MenuFontSize", a.menu_font_size, b.menu_font_size);
}

// InitPage cuts a fixed panel's record to its first unit in every list, and
// only the lists it prunes and saves (the global one, the current
// wallpaper's) lose it on disk; another wallpaper keeps the cut record in
// memory until it is applied, pruned and saved.
bool ForgottenPanel(const WndRecord& live, const WndRecord& stored) {
  static const std::u16string_view kPanels[] = {u"menumini", u"menunormal", u"option",
                                                u"option_calender", u"option_menu"};
  if (live.name.size() != 1 || live.hash != StringHash(live.name)) return false;
  for (std::u16string_view panel : kPanels) {
    if (stored.name == panel && panel.substr(0, 1) == live.name) return true;
  }
  return false;
}

void CompareWindows(const std::string& where, const WndList& a, const WndList& b,
                    std::vector<std::string>& out) {
  if (a.size() != b.size()) {
    out.push_back(Diff(where + " count", Num(a.size()), Num(b.size())));
  }
  for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    const WndRecord& x = a[i];
    const WndRecord& y = b[i];
    const std::string w = where + "[" + Num(i) + "]";
    if (ForgottenPanel(x, y)) continue;
    if (x.name != y.name) out.push_back(Diff(w + ".name", Str(x.name), Str(y.name)));
    if (x.hash != y.hash) out.push_back(Diff(w + ".hash", Num(x.hash), Num(y.hash)));
    if (x.x != y.x) out.push_back(Diff(w + ".x", Num(x.x), Num(y.x)));
    if (x.y != y.y) out.push_back(Diff(w + ".y", Num(x.y), Num(y.y)));
    if (x.visibility != y.visibility) {
      out.push_back(Diff(w + ".visibility", Num(x.visibility), Num(y.visibility)));
    }
    if (x.individual != y.individual) {
      out.push_back(Diff(w + ".individual", Num(x.individual), Num(y.individual)));
    }
    if (x.text_color != y.text_color) {
      out.push_back(Diff(w + ".text_color", Num(x.text_color), Num(y.text_color)));
    }
    if (x.font != y.font) out.push_back(Diff(w + ".font", Str(x.font), Str(y.font)));
    if (x.font_size != y.font_size) {
      out.push_back(Diff(w + ".font_size", Num(x.font_size), Num(y.font_size)));
    }
  }
}

std::string KeyText(const ItemKey& k) { return Utf16ToUtf8(KeyHex(k)); }

}  // namespace

// Differences between the live state and the state read back from the files.
std::vector<std::string> CompareState(const ControlState& live, const ControlState& stored) {
  std::vector<std::string> out;
  CompareOptions("options", live.options, stored.options, out);
  if (live.current_wallpaper != stored.current_wallpaper) {
    out.push_back(
        Diff("current wallpaper", Num(live.current_wallpaper), Num(stored.current_wallpaper)));
  }
  CompareWindows("windows", live.windows, stored.windows, out);

  if (live.wallpapers.size() != stored.wallpapers.size()) {
    out.push_back(
        Diff("wallpaper count", Num(live.wallpapers.size()), Num(stored.wallpapers.size())));
  }
  for (std::size_t i = 0; i < std::min(live.wallpapers.size(), stored.wallpapers.size()); ++i) {
    const WallPaperEntry& a = live.wallpapers[i];
    const WallPaperEntry& b = stored.wallpapers[i];
    const std::string w = "wallpaper[" + Num(i) + "]";
    if (a.path != b.path) out.push_back(Diff(w + ".path", Str(a.path), Str(b.path)));
    if (!(a.key == b.key)) out.push_back(Diff(w + ".key", KeyText(a.key), KeyText(b.key)));
    CompareOptions(w + ".options", a.options, b.options, out);
    CompareWindows(w + ".windows", a.windows, b.windows, out);
  }

  if (live.menus.size() != stored.menus.size()) {
    out.push_back(Diff("menu count", Num(live.menus.size()), Num(stored.menus.size())));
  }
  for (std::size_t i = 0; i < std::min(live.menus.size(), stored.menus.size()); ++i) {
    const LinkMenu& a = live.menus[i];
    const LinkMenu& b = stored.menus[i];
    const std::string w = "menu[" + Num(i) + "]";
    if (a.name != b.name) out.push_back(Diff(w + ".name", Str(a.name), Str(b.name)));
    if (!(a.key == b.key)) out.push_back(Diff(w + ".key", KeyText(a.key), KeyText(b.key)));
    if (a.links.size() != b.links.size()) {
      out.push_back(Diff(w + " link count", Num(a.links.size()), Num(b.links.size())));
    }
    for (std::size_t k = 0; k < std::min(a.links.size(), b.links.size()); ++k) {
      const std::string l = w + ".link[" + Num(k) + "]";
      if (a.links[k].path != b.links[k].path) {
        out.push_back(Diff(l + ".path", Str(a.links[k].path), Str(b.links[k].path)));
      }
      if (a.links[k].path_hash != b.links[k].path_hash) {
        out.push_back(Diff(l + ".hash", Num(a.links[k].path_hash), Num(b.links[k].path_hash)));
      }
    }
  }

  if (live.memos.size() != stored.memos.size()) {
    out.push_back(Diff("memo count", Num(live.memos.size()), Num(stored.memos.size())));
  }
  for (std::size_t i = 0; i < std::min(live.memos.size(), stored.memos.size()); ++i) {
    const MemoEntry& a = live.memos[i];
    const MemoEntry& b = stored.memos[i];
    const std::string w = "memo[" + Num(i) + "]";
    if (!(a.key == b.key)) out.push_back(Diff(w + ".key", KeyText(a.key), KeyText(b.key)));
    if (a.subject != b.subject) {
      out.push_back(Diff(w + ".subject", Quote(a.subject), Quote(b.subject)));
    }
    if (a.message != b.message) {
      out.push_back(Diff(w + ".message", Quote(a.message), Quote(b.message)));
    }
  }
  return out;
}

// Removes every style="..." attribute (the serializer quotes with '"').
std::string StripStyles(const std::string& html) {
  std::string out;
  out.reserve(html.size());
  const std::string key = " style=\"";
  std::size_t pos = 0;
  for (;;) {
    const std::size_t at = html.find(key, pos);
    if (at == std::string::npos) break;
    const std::size_t end = html.find('"', at + key.size());
    if (end == std::string::npos) break;
    out.append(html, pos, at - pos);
    pos = end + 1;
  }
  out.append(html, pos, std::string::npos);
  return out;
}

// Removes the style attribute of the outermost tag only.
std::string StripOwnStyle(const std::string& html) {
  const std::size_t close = html.find('>');
  if (close == std::string::npos) return html;
  return StripStyles(html.substr(0, close)) + html.substr(close);
}

// Where two texts first differ, with some context.
std::string FirstDifference(const std::string& a, const std::string& b) {
  std::size_t i = 0;
  while (i < a.size() && i < b.size() && a[i] == b[i]) ++i;
  const std::size_t from = i > 60 ? i - 60 : 0;
  return "at byte " + std::to_string(i) + "\n      live:  ..." + a.substr(from, 200) +
         "\n      fresh: ..." + b.substr(from, 200);
}

}  // namespace vellumine::soak
