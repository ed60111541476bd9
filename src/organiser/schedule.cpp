#include "organiser/schedule.h"

#include <optional>
#include <string>
#include <vector>

#include "control/context.h"
#include "control/windows.h"
#include "page/escape.h"
#include "page/page_ids.h"
#include "page/safe_markup.h"
#include "page/wide_format.h"
#include "store/records.h"

namespace vellumine::schedule {

namespace {

std::u16string SchedulePath(std::int32_t year, std::int32_t month, std::int32_t day) {
  return WideFormatted(u"schdl/%04d%02d%02d", {year, month, day});
}

// The stored (escaped) text of a date; nullopt when the date has none.
std::optional<std::u16string> ReadSchedule(Store& store, const std::u16string& path) {
  const std::optional<std::string> bytes = store.Read(path);
  if (!bytes) return std::nullopt;
  RecordReader reader(*bytes);
  std::u16string record;
  if (!reader.Next(&record)) return std::nullopt;
  return std::u16string(UpToZero(record));
}

}  // namespace

void ChangeDate(Context& context, Document& document, std::int32_t year, std::int32_t month,
                std::int32_t day) {
  const std::optional<std::u16string> stored =
      ReadSchedule(context.store(), SchedulePath(year, month, day));

  if (std::unique_ptr<Element> display = document.FindElementById(ids::kSchedule)) {
    std::u16string html;
    html.reserve((stored ? stored->size() * 2 : 0) + 200);
    WideFormat(html, u"<pre onmouseup=movewnd(\"schedule\")>%d月%d日の予定</pre>", {month, day});
    if (stored) WideFormat(html, u"<pre>%s</pre>", {StoredTextMarkup(*stored)});
    html.append(u"<pre onmouseup=change(\"schdlinput\")>変更</pre>");
    display->SetInnerHtml(html);
    display.reset();
    windows::RestyleRedrawn(context, document, {std::u16string(ids::kSchedule)});
  }

  if (std::unique_ptr<Element> field = document.FindElementById(ids::kSchdlLst)) {
    // Editing starts from what was typed, not from the stored markup.
    std::u16string typed = stored.value_or(std::u16string());
    UnescapeMarkup(typed);
    field->SetInnerText(typed);
  }

  if (std::unique_ptr<Element> button = document.FindElementById(ids::kSchdlLstSubmit)) {
    button->SetOuterHtml(WideFormatted(
        u"<input id=\"schdllstsubmit\" type=\"button\" value=\"変更\" "
        u"onclick=\"Skerrow.ChangeSchedule(document,schdlfrm.schdllst.value,%d,%d,%d)\"/>",
        {year, month, day}));
  }
}

void ChangeSchedule(Context& context, Document& document, const TextArg& schedule,
                    std::int32_t year, std::int32_t month, std::int32_t day) {
  const std::u16string path = SchedulePath(year, month, day);
  const TextArg escaped = EscapeMarkup(schedule);
  if (!escaped) {
    context.store().Remove(path);
  } else {
    std::string bytes;
    AppendRecord(bytes, *escaped);
    context.store().Write(path, bytes);
  }
  ChangeDate(context, document, year, month, day);
}

}  // namespace vellumine::schedule
