#include "control/windows.h"

#include <algorithm>
#include <array>
#include <climits>
#include <optional>
#include <unordered_map>
#include <utility>

#include "control/context.h"
#include "organiser/calendar.h"
#include "page/page_ids.h"
#include "page/safe_markup.h"
#include "page/wide_format.h"
#include "store/records.h"
#include "store/settings.h"

namespace vellumine::windows {
namespace {

// A window name as the page passes it: a zero unit ends it, as it would end
// the element id it names.
std::u16string_view WindowName(const TextArg& name) {
  return name ? UpToZero(*name) : std::u16string_view();
}

WndRecord NewRecord(const PageOptions& global, std::u16string_view name, std::int32_t x,
                    std::int32_t y, std::int32_t visibility) {
  WndRecord record;
  DefaultWndStyle(global, record);
  record.name = std::u16string(name);
  record.hash = StringHash(name);
  record.x = x;
  record.y = y;
  record.visibility = visibility;
  return record;
}

// Colours every DIV inside the window, and colour, face and size every PRE.
void StyleWindow(Element& element, std::int32_t color, std::int32_t font_size,
                 std::u16string_view font) {
  if (color < 0 || color >= kColorCount) return;
  const std::u16string_view value = ColorValue(color);
  const std::u16string family = FontFamilyValue(font);
  element.ForEachDescendant([&](Element& inner) {
    const std::u16string tag = inner.TagName();
    if (tag == u"DIV") {
      inner.SetStyleColor(value);
    } else if (tag == u"PRE") {
      inner.SetStyleColor(value);
      inner.SetStyleFontFamily(family);
      inner.SetStyleFontSize(font_size);
    }
  });
}

}  // namespace

int FindRecordIndex(const WndList& list, std::u16string_view name) {
  const std::uint32_t hash = StringHash(name);
  for (std::size_t i = 0; i < list.size(); ++i) {
    if (list[i].hash == hash && TextCompare(list[i].name, name) == 0) return static_cast<int>(i);
  }
  return -1;
}

WndRecord* FindRecord(WndList& list, std::u16string_view name) {
  const int i = FindRecordIndex(list, name);
  return i < 0 ? nullptr : &list[i];
}

bool RemoveRecord(WndList& list, std::u16string_view name) {
  const int i = FindRecordIndex(list, name);
  if (i < 0) return false;
  list.erase(list.begin() + i);
  return true;
}

void ForgetWindow(Context& context, std::u16string_view name) {
  ControlState& state = context.state();
  if (RemoveRecord(state.windows, name)) SaveConfig(context.store(), state);
  for (WallPaperEntry& wallpaper : state.wallpapers) {
    if (RemoveRecord(wallpaper.windows, name)) SaveWallPaperSettings(context.store(), wallpaper);
  }
}

void SetWndPos(Context& context, const TextArg& name_arg, std::int32_t x, std::int32_t y,
               std::int32_t visibility) {
  const std::u16string_view name = WindowName(name_arg);
  // A nameless window can never be found on the page again.
  if (name.empty()) return;
  ControlState& state = context.state();

  if (WndRecord* record = FindRecord(state.windows, name)) {
    record->x = x;
    record->y = y;
    record->visibility = visibility;
  } else {
    if (state.windows.size() >= static_cast<std::size_t>(kMaxWindows)) return;
    state.windows.push_back(NewRecord(state.options, name, x, y, visibility));
  }
  SaveConfig(context.store(), state);

  WallPaperEntry* current = state.CurrentWallPaper();
  if (current == nullptr) return;
  // The wallpaper's record is looked up by name rather than by the global
  // index: when the index was moved by a removal, or the background could not
  // be applied, the two lists differ, and writing by position would give one
  // window another's place.
  if (WndRecord* record = FindRecord(current->windows, name)) {
    record->x = x;
    record->y = y;
    record->visibility = visibility;
  } else if (current->windows.size() < static_cast<std::size_t>(kMaxWindows)) {
    current->windows.push_back(NewRecord(state.options, name, x, y, visibility));
  }
  SaveWallPaperSettings(context.store(), *current);
}

void ApplyWndLayout(Context& context, Document& document) {
  for (const WndRecord& record : context.state().windows) {
    std::unique_ptr<Element> element = document.FindElementById(record.name);
    if (!element) continue;
    element->SetStyleLeft(record.x);
    element->SetStyleTop(record.y);
    // Other values leave the visibility the page gave the window.
    if (record.visibility == 0) {
      element->SetStyleVisibility(u"hidden");
    } else if (record.visibility == 1) {
      element->SetStyleVisibility(u"visible");
    }
  }
}

void RestyleWindows(Context& context, Document& document) {
  ControlState& state = context.state();
  if (std::unique_ptr<Element> body = document.Body()) {
    StyleWindow(*body, state.options.menu_text_color, state.options.menu_font_size,
                state.options.menu_font);
  }
  for (const WndRecord& record : state.windows) {
    if (record.individual == 0) continue;
    if (std::unique_ptr<Element> element = document.FindElementById(record.name)) {
      StyleWindow(*element, record.text_color, record.font_size, record.font);
    }
  }
  state.page_styled = true;
  // The body styling reached the calendar too; it takes its own colours back.
  calendar::SetCalender(context, document, state.shown_year, state.shown_month);
}

void RestyleRedrawn(Context& context, Document& document,
                    const std::vector<std::u16string>& names) {
  const ControlState& state = context.state();
  // The records with options of their own, by name; the first of a name
  // counts, as for FindRecord.
  std::unordered_map<std::u16string_view, const WndRecord*> own;
  for (const WndRecord& record : state.windows) {
    if (record.individual != 0) own.emplace(record.name, &record);
  }
  // An unstyled page shows its fresh windows as it shows the rest.
  if (!state.page_styled && own.empty()) return;
  for (const std::u16string& name : names) {
    const auto it = own.find(name);
    if (!state.page_styled && it == own.end()) continue;
    std::unique_ptr<Element> element = document.FindElementById(name);
    if (!element) continue;
    if (state.page_styled) {
      StyleWindow(*element, state.options.menu_text_color, state.options.menu_font_size,
                  state.options.menu_font);
    }
    if (it != own.end()) {
      StyleWindow(*element, it->second->text_color, it->second->font_size, it->second->font);
    }
  }
}

void KeepOffOthers(Context& context, Document& document, std::u16string_view name,
                   std::int32_t step) {
  ControlState& state = context.state();
  if (name.empty() || FindRecordIndex(state.windows, name) >= 0) return;
  std::unique_ptr<Element> element = document.FindElementById(name);
  if (!element) return;
  const std::optional<std::int32_t> left = element->PixelLeft();
  const std::optional<std::int32_t> top = element->PixelTop();
  if (!left || !top) return;
  // The places of the recorded windows; only a window that is on the page
  // takes its place.
  auto place = [](std::int64_t x, std::int64_t y) {
    return (static_cast<std::uint64_t>(static_cast<std::uint32_t>(x)) << 32) |
           static_cast<std::uint32_t>(y);
  };
  std::unordered_multimap<std::uint64_t, std::u16string_view> places;
  for (const WndRecord& record : state.windows) {
    places.emplace(place(record.x, record.y), record.name);
  }
  auto taken = [&](std::int64_t x, std::int64_t y) {
    if (x < INT32_MIN || x > INT32_MAX || y < INT32_MIN || y > INT32_MAX) return false;
    const auto [from, to] = places.equal_range(place(x, y));
    for (auto it = from; it != to; ++it) {
      if (document.FindElementById(it->second)) return true;
    }
    return false;
  };
  std::int64_t x = *left;
  std::int64_t y = *top;
  std::int64_t d = step;
  // Each step leaves one taken place behind, and after the one turn back
  // each place is passed at most twice.
  std::size_t steps = 0;
  while (taken(x, y)) {
    if (++steps > 2 * places.size() + 1) return;
    // Steps that would leave the page's top or left go the other way.
    if (d < 0 && (x + d < 0 || y + d < 0)) d = -d;
    x += d;
    y += d;
  }
  if (steps == 0 || x > INT32_MAX || y > INT32_MAX) return;
  SetWndPos(context, std::u16string(name), static_cast<std::int32_t>(x),
            static_cast<std::int32_t>(y), 1);
  element->SetStyleLeft(static_cast<std::int32_t>(x));
  element->SetStyleTop(static_cast<std::int32_t>(y));
}

void Refresh(Context& context, Document& document) {
  ApplyWndLayout(context, document);
  RestyleWindows(context, document);
}

int PruneWndList(Document& document, WndList& list) {
  std::erase_if(list, [&](const WndRecord& record) {
    return document.FindElementById(record.name) == nullptr;
  });
  return static_cast<int>(list.size());
}

void ForgetFixedPanels(ControlState& state) {
  // The panels' hashes once: every window record of every wallpaper passes.
  static const auto hashes = [] {
    std::array<std::uint32_t, ids::kFixedPanels.size()> out{};
    for (std::size_t i = 0; i < out.size(); ++i) out[i] = StringHash(ids::kFixedPanels[i]);
    return out;
  }();
  // Every record of a panel, duplicates from a hand-edited file included.
  auto forget = [](WndList& list) {
    for (WndRecord& record : list) {
      for (std::size_t i = 0; i < hashes.size(); ++i) {
        const std::u16string_view panel = ids::kFixedPanels[i];
        if (record.hash == hashes[i] && TextCompare(record.name, panel) == 0) {
          record.name.resize(1);
          record.hash = StringHash(record.name);
          break;
        }
      }
    }
  };
  forget(state.windows);
  for (WallPaperEntry& entry : state.wallpapers) forget(entry.windows);
}

std::u16string WindowFrame(const ControlState& state, std::u16string_view name,
                           std::u16string_view body, bool with_close) {
  std::u16string out;
  WideFormat(out, u"<div id=\"%s_view\" style=\"visibility:inherit\">", {name});
  WideFormat(out, u"<div id=\"%s_view_id\" style=\"visibility:hidden\">%s_main</div>",
             {name, name});
  WideFormat(out,
             u"<div id=\"%s_view_value\" style=\"position:absolute;left:0px;top:0px;margin:0px;"
             u"border:0px;visibility:inherit\">",
             {name});
  out.append(body);
  WideFormat(out, u"<pre onmouseup=\"setview('%s_option','%s_view')\">設定</pre>", {name, name});
  if (with_close) WideFormat(out, u"<pre onmouseup=change('%s')>閉じる</pre>", {name});
  out.append(u"</div></div>");
  WideFormat(out, u"<div id=\"%s_main\" style=\"visibility:hidden\">", {name});
  out.append(u"</div>");
  WideFormat(out, u"<div id=\"%s_option\" style=\"visibility:hidden\">", {name});

  // A window without a record of its own shows the page-wide menu options.
  std::int32_t individual = 0;
  std::int32_t color = state.options.menu_text_color;
  std::u16string_view font = state.options.menu_font;
  std::int32_t font_size = state.options.menu_font_size;
  const int i = FindRecordIndex(state.windows, name);
  if (i >= 0) {
    const WndRecord& record = state.windows[i];
    individual = record.individual;
    color = record.text_color;
    font = record.font;
    font_size = record.font_size;
  }
  WideFormat(out,
             u"<pre>個別設定:<span id=\"%sDefault\" onmouseup=\"Skerrow.ChangeWindowOption("
             u"document,'%s','Default',1)\">%s</span></pre>",
             {name, name, IndividualLabel(individual)});
  WideFormat(out,
             u"<pre><span id=\"%sTextColor\" onmouseup=\"Skerrow.ChangeWindowOption(document,'%s',"
             u"'TextColor',1)\">文字色:%s</span></pre>",
             {name, name, ColorLabel(color)});
  WideFormat(out,
             u"<pre>フォント:<span id=\"%sFont\" onmouseup=\"Skerrow.ChangeWindowOption(document,"
             u"'%s','Font',0)\">%s</span></pre>",
             {name, name, PlainTextMarkup(font)});
  WideFormat(out,
             u"<pre>フォントサイズ:<span onmouseup=\"Skerrow.ChangeWindowOption(document,'%s',"
             u"'FontSize',-1)\">&lt;</span><span id=\"%sFontSize\">%d</span><span "
             u"onmouseup=\"Skerrow.ChangeWindowOption(document,'%s','FontSize',1)\">&gt;</span>"
             u"</pre>",
             {name, name, font_size, name});
  WideFormat(out, u"<pre onmouseup=\"setview('%s_main','%s_view')\">戻る</pre>", {name, name});
  out.append(u"</div>");
  return out;
}

}  // namespace vellumine::windows
