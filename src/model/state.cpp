#include "model/state.h"

namespace vellumine {

const std::array<ColorEntry, kColorCount> kColorTable = {{
    {u"#000000", u"平日既定色"}, {u"#0000c0", u"土曜既定色"}, {u"#c00040", u"日曜既定色"},
    {u"Black", u"Black"},        {u"Gray", u"Gray"},          {u"Silver", u"Silver"},
    {u"White", u"White"},        {u"Maroon", u"Maroon"},      {u"Red", u"Red"},
    {u"Purple", u"Purple"},      {u"Fuchsia", u"Fuchsia"},    {u"Green", u"Green"},
    {u"Lime", u"Lime"},          {u"Olive", u"Olive"},        {u"Yellow", u"Yellow"},
    {u"Navy", u"Navy"},          {u"Blue", u"Blue"},          {u"Teal", u"Teal"},
    {u"Aqua", u"Aqua"},
}};

const std::array<std::u16string_view, 2> kIndividualLabels = {u"無効", u"有効"};

std::u16string_view ColorValue(std::int32_t index) {
  return index >= 0 && index < kColorCount ? kColorTable[index].value : u"";
}

std::u16string_view ColorLabel(std::int32_t index) {
  return index >= 0 && index < kColorCount ? kColorTable[index].label : u"";
}

std::u16string_view IndividualLabel(std::int32_t flag) {
  // A stored flag other than 0 means "own settings", as the styling reads it.
  return kIndividualLabels[flag != 0 ? 1 : 0];
}

PageOptions PageOptions::Unset() {
  PageOptions o;
  o.week_day_color = o.sat_day_color = o.sun_day_color = o.shadow_color = o.menu_text_color = -1;
  o.calender_font.clear();
  o.calender_font_size = o.link_item_num = o.memo_item_num = -1;
  o.menu_font.clear();
  o.menu_font_size = -1;
  return o;
}

void DefaultWndStyle(const PageOptions& global, WndRecord& record) {
  record.individual = 0;
  record.text_color = global.menu_text_color;
  record.font = global.menu_font;
  record.font_size = global.menu_font_size;
  record.item_num = global.link_item_num;
}

WallPaperEntry* ControlState::CurrentWallPaper() {
  if (current_wallpaper < 0 || current_wallpaper >= static_cast<int>(wallpapers.size())) {
    return nullptr;
  }
  return &wallpapers[current_wallpaper];
}

}  // namespace vellumine
