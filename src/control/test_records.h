// The records the settings files must hold for a given state, spelled out
// record by record from the file layout, for the window and option tests.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "model/state.h"
#include "page/text.h"
#include "store/records.h"

namespace vellumine::control_test {

inline std::u16string Num(std::int32_t v) { return Utf8ToUtf16(std::to_string(v)); }

inline void AppendOptionRecords(std::vector<std::u16string>& r, const PageOptions& o) {
  r.push_back(u"WeekDayColor=" + Num(o.week_day_color));
  r.push_back(u"SatDayColor=" + Num(o.sat_day_color));
  r.push_back(u"SunDayColor=" + Num(o.sun_day_color));
  r.push_back(u"ShadowColor=" + Num(o.shadow_color));
  r.push_back(u"MenuTextColor=" + Num(o.menu_text_color));
  r.push_back(u"CalenderFaceName=" + o.calender_font);
  r.push_back(u"CalenderFontSize=" + Num(o.calender_font_size));
  r.push_back(u"LinkItemNum=" + Num(o.link_item_num));
  r.push_back(u"MemoItemNum=" + Num(o.memo_item_num));
  r.push_back(u"FaceName=" + o.menu_font);
  r.push_back(u"FontSize=" + Num(o.menu_font_size));
}

inline void AppendWindowRecords(std::vector<std::u16string>& r, const WndList& list) {
  for (std::size_t i = 0; i < list.size(); ++i) {
    const WndRecord& w = list[i];
    const std::u16string n = Num(static_cast<std::int32_t>(i));
    r.push_back(u"WndName" + n + u"=" + w.name);
    r.push_back(u"WndPos.x" + n + u"=" + Num(w.x));
    r.push_back(u"WndPos.y" + n + u"=" + Num(w.y));
    r.push_back(u"Visibility" + n + u"=" + Num(w.visibility));
    r.push_back(u"WndDefault" + n + u"=" + Num(w.individual));
    r.push_back(u"WndTextColor" + n + u"=" + Num(w.text_color));
    r.push_back(u"WndFaceName" + n + u"=" + w.font);
    r.push_back(u"WndFontSize" + n + u"=" + Num(w.font_size));
  }
}

// "config" for these options, wallpaper index and windows.
inline std::vector<std::u16string> ConfigRecords(const PageOptions& o, std::int32_t wp_no,
                                                 const WndList& windows) {
  std::vector<std::u16string> r{u"WPNo=" + Num(wp_no)};
  AppendOptionRecords(r, o);
  AppendWindowRecords(r, windows);
  return r;
}

// A wallpaper's settings file.
inline std::vector<std::u16string> WallPaperRecords(const std::u16string& path,
                                                    const PageOptions& o, const WndList& windows) {
  std::vector<std::u16string> r{u"[" + path + u"]"};
  AppendOptionRecords(r, o);
  AppendWindowRecords(r, windows);
  return r;
}

// A window record with the style defaults of these options.
inline WndRecord Window(const PageOptions& o, std::u16string name, std::int32_t x, std::int32_t y,
                        std::int32_t visibility) {
  WndRecord w;
  w.hash = StringHash(name);
  w.name = std::move(name);
  w.x = x;
  w.y = y;
  w.visibility = visibility;
  w.individual = 0;
  w.text_color = o.menu_text_color;
  w.font = o.menu_font;
  w.font_size = o.menu_font_size;
  w.item_num = o.link_item_num;
  return w;
}

}  // namespace vellumine::control_test
