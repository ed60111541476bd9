#include "control/options.h"

#include <algorithm>
#include <optional>

#include "control/context.h"
#include "control/option_texts.h"
#include "control/windows.h"
#include "links/link_windows.h"
#include "organiser/calendar.h"
#include "organiser/memo_windows.h"
#include "store/records.h"
#include "store/settings.h"

namespace vellumine::options {
namespace {

constexpr std::int32_t kMinFontSize = 8;
constexpr std::int32_t kMaxFontSize = 30;
// Item counts of 3 or less are refused.
constexpr std::int32_t kMinItemNum = 4;

// (value + step) brought into 0..modulus-1, negative steps included. Wide
// arithmetic: a step near the integer limits must not overflow.
std::int32_t Wrap(std::int32_t value, std::int32_t step, std::int32_t modulus) {
  const std::int64_t r = (static_cast<std::int64_t>(value) + step) % modulus;
  return static_cast<std::int32_t>(r < 0 ? r + modulus : r);
}

// value + step when it lies in lo..hi, else nullopt.
std::optional<std::int32_t> StepWithin(std::int32_t value, std::int32_t step, std::int64_t lo,
                                       std::int64_t hi) {
  const std::int64_t r = static_cast<std::int64_t>(value) + step;
  if (r < lo || r > hi) return std::nullopt;
  return static_cast<std::int32_t>(r);
}

std::optional<std::int32_t> StepFontSize(std::int32_t value, std::int32_t step) {
  return StepWithin(value, step, kMinFontSize, kMaxFontSize);
}

std::optional<std::int32_t> StepItemNum(std::int32_t value, std::int32_t step) {
  return StepWithin(value, step, kMinItemNum, INT32_MAX);
}

bool Is(std::u16string_view name, std::u16string_view option) {
  return TextCompare(name, option) == 0;
}

// Saves the settings and rewrites the option texts after an accepted change.
void Commit(Context& context, Document& document) {
  ControlState& state = context.state();
  SaveConfig(context.store(), state);
  if (WallPaperEntry* current = state.CurrentWallPaper()) {
    SaveWallPaperSettings(context.store(), *current);
  }
  RefreshOptionTexts(context, document);
}

void RedrawCalendar(Context& context, Document& document) {
  calendar::SetCalender(context, document, context.state().shown_year, context.state().shown_month);
}

// A window's record as the option commands find or make it: the global list
// first, then the current wallpaper's. nullptr when no record can be had.
WndRecord* WindowRecord(Context& context, Element& element, std::u16string_view name,
                        WndRecord** mirror) {
  ControlState& state = context.state();
  WallPaperEntry* current = state.CurrentWallPaper();
  const int global_index = windows::FindRecordIndex(state.windows, name);
  const int mirror_index = current ? windows::FindRecordIndex(current->windows, name) : -1;
  const bool need_global = global_index < 0;
  const bool need_mirror = current != nullptr && mirror_index < 0;

  WndRecord fresh;
  if (need_global || need_mirror) {
    const std::optional<std::int32_t> left = element.PixelLeft();
    const std::optional<std::int32_t> top = element.PixelTop();
    if (!left || !top) return nullptr;
    // Both lists take the record or neither does, so they stay alike.
    const auto full = [](const WndList& list) {
      return list.size() >= static_cast<std::size_t>(kMaxWindows);
    };
    if ((need_global && full(state.windows)) || (need_mirror && full(current->windows))) {
      return nullptr;
    }
    DefaultWndStyle(state.options, fresh);
    fresh.name = std::u16string(name);
    fresh.hash = StringHash(name);
    fresh.x = *left;
    fresh.y = *top;
    fresh.visibility = 1;
    fresh.individual = 0;
  }
  if (need_global) state.windows.push_back(fresh);
  if (need_mirror) current->windows.push_back(fresh);

  *mirror = nullptr;
  if (current != nullptr) {
    *mirror = need_mirror ? &current->windows.back() : &current->windows[mirror_index];
  }
  return need_global ? &state.windows.back() : &state.windows[global_index];
}

}  // namespace

std::int32_t FontPicker(Context& context, std::u16string& face, std::int32_t size) {
  std::optional<FontChoice> choice = context.platform().PickFont(face, size);
  if (!choice) return -1;
  std::u16string_view chosen = UpToZero(choice->face);
  if (chosen.size() > static_cast<std::size_t>(kMaxFaceUnits)) {
    chosen = chosen.substr(0, kMaxFaceUnits);
    // Never keep half of a surrogate pair.
    if (chosen.back() >= 0xD800 && chosen.back() <= 0xDBFF) chosen.remove_suffix(1);
  }
  // An empty face reads as "not set" in a wallpaper's options.
  if (chosen.empty()) return -1;
  face = std::u16string(chosen);
  return std::clamp(choice->size, kMinFontSize, kMaxFontSize);
}

void ChangeOption(Context& context, Document& document, const TextArg& option_name,
                  std::int32_t value) {
  ControlState& state = context.state();
  // A null name matches no option: like any other unknown name it only saves
  // and refreshes.
  if (!option_name) {
    Commit(context, document);
    return;
  }
  const std::u16string_view name = *option_name;
  PageOptions& o = state.options;
  WallPaperEntry* current = state.CurrentWallPaper();
  PageOptions* mirror = current ? &current->options : nullptr;

  // Sets a field here and in the current wallpaper's options.
  auto set_int = [&](std::int32_t PageOptions::*field, std::int32_t v) {
    o.*field = v;
    if (mirror) mirror->*field = v;
  };
  auto set_font = [&](std::u16string PageOptions::*face, std::int32_t PageOptions::*size,
                      std::int32_t v) {
    o.*size = v;
    if (mirror) {
      mirror->*face = o.*face;
      mirror->*size = v;
    }
  };

  if (Is(name, u"MenuTextColor")) {
    set_int(&PageOptions::menu_text_color, Wrap(o.menu_text_color, value, kColorCount));
    windows::RestyleWindows(context, document);
  } else if (Is(name, u"WeekDayColor") || Is(name, u"SatDayColor") || Is(name, u"SunDayColor") ||
             Is(name, u"ShadowColor")) {
    std::int32_t PageOptions::*field = Is(name, u"WeekDayColor")  ? &PageOptions::week_day_color
                                       : Is(name, u"SatDayColor") ? &PageOptions::sat_day_color
                                       : Is(name, u"SunDayColor") ? &PageOptions::sun_day_color
                                                                  : &PageOptions::shadow_color;
    set_int(field, Wrap(o.*field, value, kColorCount));
    RedrawCalendar(context, document);
  } else if (Is(name, u"CalenderFont")) {
    const std::int32_t size = FontPicker(context, o.calender_font, o.calender_font_size);
    if (size < 0) return;
    set_font(&PageOptions::calender_font, &PageOptions::calender_font_size, size);
    windows::RestyleWindows(context, document);
  } else if (Is(name, u"CalenderFontSize")) {
    const std::optional<std::int32_t> size = StepFontSize(o.calender_font_size, value);
    if (!size) return;
    set_int(&PageOptions::calender_font_size, *size);
    RedrawCalendar(context, document);
  } else if (Is(name, u"LinkItemNum")) {
    const std::optional<std::int32_t> n = StepItemNum(o.link_item_num, value);
    if (!n) return;
    set_int(&PageOptions::link_item_num, *n);
    links::RedrawLinkWindows(context, document);
  } else if (Is(name, u"MemoItemNum")) {
    const std::optional<std::int32_t> n = StepItemNum(o.memo_item_num, value);
    if (!n) return;
    set_int(&PageOptions::memo_item_num, *n);
    memos::RedrawMemoList(context, document);
  } else if (Is(name, u"MenuFont")) {
    const std::int32_t size = FontPicker(context, o.menu_font, o.menu_font_size);
    if (size < 0) return;
    set_font(&PageOptions::menu_font, &PageOptions::menu_font_size, size);
    windows::RestyleWindows(context, document);
  } else if (Is(name, u"MenuFontSize")) {
    const std::optional<std::int32_t> size = StepFontSize(o.menu_font_size, value);
    if (!size) return;
    set_int(&PageOptions::menu_font_size, *size);
    windows::RestyleWindows(context, document);
  }
  Commit(context, document);
}

void ChangeWindowOption(Context& context, Document& document, const TextArg& menu_name,
                        const TextArg& option_name, std::int32_t value) {
  if (!menu_name) return;
  const std::u16string_view name = UpToZero(*menu_name);
  if (name.empty()) return;
  std::unique_ptr<Element> element = document.FindElementById(name);
  if (!element) return;
  WndRecord* mirror = nullptr;
  WndRecord* record = WindowRecord(context, *element, name, &mirror);
  element.reset();
  if (record == nullptr) return;

  // A null option name matches nothing, "Default" included; the record made
  // above is still saved.
  if (!option_name) {
    Commit(context, document);
    return;
  }
  const std::u16string_view option = *option_name;
  if (Is(option, u"TextColor")) {
    record->text_color = Wrap(record->text_color, value, kColorCount);
    if (mirror) mirror->text_color = record->text_color;
    windows::RestyleWindows(context, document);
  } else if (Is(option, u"ItemNum")) {
    const std::optional<std::int32_t> n = StepItemNum(record->item_num, value);
    if (!n) return;
    record->item_num = *n;
    if (mirror) mirror->item_num = *n;
  } else if (Is(option, u"Font")) {
    const std::int32_t size = FontPicker(context, record->font, record->font_size);
    if (size < 0) return;
    record->font_size = size;
    if (mirror) {
      mirror->font = record->font;
      mirror->font_size = size;
    }
    windows::RestyleWindows(context, document);
  } else if (Is(option, u"FontSize")) {
    const std::optional<std::int32_t> size = StepFontSize(record->font_size, value);
    if (!size) return;
    record->font_size = *size;
    if (mirror) mirror->font_size = *size;
    windows::RestyleWindows(context, document);
  } else if (KeyPrefixEqual(option, u"Default") == 0) {
    record->individual = Wrap(record->individual, value, 2);
    if (mirror) mirror->individual = record->individual;
    windows::RestyleWindows(context, document);
  }
  Commit(context, document);
}

}  // namespace vellumine::options
