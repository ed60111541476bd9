#include "wallpaper/wallpaper.h"

#include <algorithm>
#include <string>

#include "control/context.h"
#include "control/option_texts.h"
#include "control/windows.h"
#include "model/messages.h"
#include "organiser/calendar.h"
#include "page/page_ids.h"
#include "page/safe_markup.h"
#include "page/wide_format.h"
#include "store/records.h"
#include "store/settings.h"

namespace vellumine::wallpaper {

namespace {

int Count(const ControlState& state) { return static_cast<int>(state.wallpapers.size()); }

bool InTable(const ControlState& state, std::int32_t no) { return no >= 0 && no < Count(state); }

// Wildcards never name one file, and a zero unit would cut the path short at
// the platform boundary, so neither can be a picture.
bool IsPlainPath(std::u16string_view path) {
  return path.find_first_of(std::u16string_view(u"*?\0", 3)) == std::u16string_view::npos;
}

// The pruning answer becomes the list's count.
void Prune(Document& document, WndList& list) {
  const int count = windows::PruneWndList(document, list);
  if (count >= 0 && static_cast<std::size_t>(count) < list.size()) list.resize(count);
}

}  // namespace

void AddWallPaper(Context& context, Document& document, const TextArg& file_name) {
  if (!file_name) return;
  const std::u16string& path = *file_name;
  if (!IsPlainPath(path) || context.platform().PathKind(path) != 1) {
    context.Refuse(msg::kNoFile);
    return;
  }
  ControlState& state = context.state();
  const std::uint32_t hash = StringHash(path);
  for (const WallPaperEntry& e : state.wallpapers) {
    if (e.key.first == hash && TextCompare(e.path, path) == 0) {
      context.Refuse(msg::kSameWallPaper);
      return;
    }
  }
  if (Count(state) >= kMaxWallPapers) {
    context.Refuse(msg::kTableFull);
    return;
  }

  WallPaperEntry entry;
  entry.path = path;
  entry.key = ItemKey{hash, 0};
  // Takes over the settings file of an earlier registration of this path.
  if (LoadWallPaperSettings(context.store(), state, entry) == 0) {
    entry.options.week_day_color = state.options.week_day_color;
    entry.options.sat_day_color = state.options.sat_day_color;
    entry.options.sun_day_color = state.options.sun_day_color;
    entry.options.shadow_color = state.options.shadow_color;
    entry.options.menu_text_color = state.options.menu_text_color;
    entry.windows.clear();
    // Its settings file first: the list never names a wallpaper whose file
    // isn't saved.
    if (!SaveWallPaperSettings(context.store(), entry)) return;
  }
  state.wallpapers.push_back(std::move(entry));
  if (!SaveWallPaperList(context.store(), state)) {
    // A settings file outlives its wallpaper anyway; only the list entry goes.
    state.wallpapers.pop_back();
    return;
  }
  RenderWallPaperList(context, document);
}

void RemoveWallPaper(Context& context, Document& document, std::int32_t no) {
  ControlState& state = context.state();
  if (!InTable(state, no)) return;
  WallPaperEntry removed = std::move(state.wallpapers[no]);
  state.wallpapers.erase(state.wallpapers.begin() + no);
  if (!SaveWallPaperList(context.store(), state)) {
    state.wallpapers.insert(state.wallpapers.begin() + no, std::move(removed));
    return;
  }
  RenderWallPaperList(context, document);

  // A removed current wallpaper gives way to a random one. Otherwise the index
  // is kept on the wallpaper the page shows, so later layout and option
  // changes are not saved into a neighbour's settings file; an index left at
  // or past the end still draws a new one at random, as the page expects.
  const std::int32_t current = state.current_wallpaper;
  if (current == no) {
    state.current_wallpaper = -1;
    SaveConfig(context.store(), state);
    SetBG_Random(context, document);
  } else if (current > no && current <= Count(state)) {
    state.current_wallpaper = current - 1;
    if (current == Count(state)) {
      SetBG_Random(context, document);
    } else {
      SaveConfig(context.store(), state);
    }
  } else if (current >= Count(state)) {
    SetBG_Random(context, document);
  }
}

void SetBG_Random(Context& context, Document& document) {
  const int count = Count(context.state());
  if (count == 0) return;
  // The next 32-bit output scaled into [0, 1), then onto the table.
  const double fraction = static_cast<double>(context.random()()) * (1.0 / 4294967296.0);
  const double drawn = fraction * count;
  const std::int32_t no = std::clamp(static_cast<std::int32_t>(drawn), 0, count - 1);
  SetBG(context, document, no);
}

void SetBG(Context& context, Document& document, std::int32_t no) {
  ApplyBackground(context, document, no);
  ControlState& state = context.state();
  Prune(document, state.windows);
  SaveConfig(context.store(), state);
  if (WallPaperEntry* current = state.CurrentWallPaper()) {
    Prune(document, current->windows);
    SaveWallPaperSettings(context.store(), *current);
  }
  options::RefreshOptionTexts(context, document);
}

void ApplyBackground(Context& context, Document& document, std::int32_t no) {
  ControlState& state = context.state();
  if (!InTable(state, no)) return;
  std::unique_ptr<Element> image = document.FindElementById(ids::kBgImg);
  if (!image) return;
  state.current_wallpaper = no;
  image->SetAttribute(u"src", state.wallpapers[no].path, 0);
  image.reset();
  SaveConfig(context.store(), state);
  ApplyWallPaperOptions(context, no);
  windows::ApplyWndLayout(context, document);
  windows::RestyleWindows(context, document);
  calendar::SetCalender(context, document, state.shown_year, state.shown_month);
}

void ApplyWallPaperOptions(Context& context, std::int32_t no) {
  ControlState& state = context.state();
  if (!InTable(state, no)) return;
  WallPaperEntry& wp = state.wallpapers[no];
  // A wallpaper without a layout of its own (never chosen, or chosen while
  // the page had none) starts from the layout shown, each window with its own
  // options: taking its empty list would drop them all.
  if (wp.windows.empty()) {
    wp.windows = state.windows;
  } else {
    state.windows = wp.windows;
  }

  PageOptions& g = state.options;
  const PageOptions& own = wp.options;
  auto take = [](std::int32_t& global, std::int32_t value) {
    if (value >= 0) global = value;
  };
  take(g.week_day_color, own.week_day_color);
  take(g.sat_day_color, own.sat_day_color);
  take(g.sun_day_color, own.sun_day_color);
  take(g.shadow_color, own.shadow_color);
  take(g.menu_text_color, own.menu_text_color);
  take(g.link_item_num, own.link_item_num);
  take(g.memo_item_num, own.memo_item_num);
  take(g.menu_font_size, own.menu_font_size);
  take(g.calender_font_size, own.calender_font_size);
  if (!own.menu_font.empty()) g.menu_font = own.menu_font;
  if (!own.calender_font.empty()) g.calender_font = own.calender_font;
}

void RenderWallPaperList(Context& context, Document& document) {
  std::unique_ptr<Element> list = document.FindElementById(ids::kWpList);
  if (!list) return;
  const char16_t separator = context.platform().Separator();
  std::u16string html = u"<select id=\"wplist\" size=\"8\">";
  std::int32_t i = 0;
  for (const WallPaperEntry& wp : context.state().wallpapers) {
    const std::size_t cut = wp.path.rfind(separator);
    const std::u16string_view name = cut == std::u16string::npos
                                         ? std::u16string_view(wp.path)
                                         : std::u16string_view(wp.path).substr(cut + 1);
    // A file name may hold "<", "&" or a quote; the list shows it as named.
    WideFormat(html, u"<option value=\"%d\">%s</option>", {i, PlainTextMarkup(name)});
    ++i;
  }
  html.append(u"</select>");
  list->SetOuterHtml(html);
}

}  // namespace vellumine::wallpaper
