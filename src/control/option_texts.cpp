#include "control/option_texts.h"

#include <string>
#include <string_view>

#include "control/context.h"
#include "page/page_ids.h"
#include "page/safe_markup.h"
#include "page/wide_format.h"

namespace vellumine::options {
namespace {

// Writes text into the element of id; a page without it keeps the rest.
void SetText(Document& document, std::u16string_view id, std::u16string_view text) {
  if (std::unique_ptr<Element> element = document.FindElementById(id)) {
    element->SetInnerHtml(text);
  }
}

}  // namespace

void RefreshOptionTexts(Context& context, Document& document) {
  const ControlState& state = context.state();
  const PageOptions& o = state.options;
  std::u16string text;
  auto set = [&](std::u16string_view id, std::u16string_view format,
                 std::initializer_list<FormatArg> args) {
    text.clear();
    WideFormat(text, format, args);
    SetText(document, id, text);
  };

  set(ids::kMenuTextColor, u"文字色:%s", {ColorLabel(o.menu_text_color)});
  set(ids::kWeekDayColor, u"平日色:%s", {ColorLabel(o.week_day_color)});
  set(ids::kSatDayColor, u"土曜色:%s", {ColorLabel(o.sat_day_color)});
  set(ids::kSunDayColor, u"日曜色:%s", {ColorLabel(o.sun_day_color)});
  set(ids::kShadowColor, u"文字影色:%s", {ColorLabel(o.shadow_color)});
  // Face names are plain texts from a picker or a settings file.
  set(ids::kCalenderFont, u"%s", {PlainTextMarkup(o.calender_font)});
  set(ids::kCalenderFontSize, u"%d", {o.calender_font_size});
  set(ids::kLinkItemNum, u"%d", {o.link_item_num});
  set(ids::kMemoItemNum, u"%d", {o.memo_item_num});
  set(ids::kMenuFont, u"%s", {PlainTextMarkup(o.menu_font)});
  set(ids::kMenuFontSize, u"%d", {o.menu_font_size});

  std::u16string id;
  auto window_id = [&](const WndRecord& record, std::u16string_view suffix) -> std::u16string_view {
    id.assign(record.name);
    id.append(suffix);
    return id;
  };
  for (const WndRecord& record : state.windows) {
    SetText(document, window_id(record, u"Default"), IndividualLabel(record.individual));
    set(window_id(record, u"TextColor"), u"文字色:%s", {ColorLabel(record.text_color)});
    SetText(document, window_id(record, u"Font"), PlainTextMarkup(record.font));
    set(window_id(record, u"FontSize"), u"%d", {record.font_size});
    set(window_id(record, u"ItemNum"), u"%d", {record.item_num});
  }
}

}  // namespace vellumine::options
