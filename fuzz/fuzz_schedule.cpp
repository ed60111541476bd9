// A day's schedule file: ChangeDate shows whatever the file holds without
// failing, and ChangeSchedule of a typed text (the second part of the input,
// after "\n--\n", as UTF-16LE) stores exactly one record holding its escaped
// form, which the next ChangeDate puts back into the edit field as typed.
#include <memory>

#include "control/skerrow.h"
#include "dom/html_document.h"
#include "fuzz/fuzz_support.h"
#include "page/escape.h"

using namespace vellumine;
using namespace vellumine::fuzz;

namespace {

const char kPage[] =
    "<!DOCTYPE html><html><body><div id=\"schedule\"></div>"
    "<form name=\"schdlfrm\"><textarea id=\"schdllst\"></textarea>"
    "<input id=\"schdllstsubmit\" type=\"button\"></form></body></html>";

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const SplitInput input = Split(data, size);
  MemoryPlatform platform;
  platform.Put(u"schdl/20261207", input.index);
  CSkerrow control(platform);
  auto doc = HtmlDocument::Parse(kPage);
  control.ChangeDate(*doc, 2026, 12, 7);
  FUZZ_CHECK(doc->OuterHtmlById(u"schedule").has_value());
  FUZZ_CHECK(doc->OuterHtmlById(u"schdllstsubmit").has_value());

  if (input.items.empty()) return 0;
  const std::u16string typed = LittleEndianUnits(input.items[0]);
  control.ChangeSchedule(*doc, typed, 2026, 12, 8);
  const std::optional<std::string> stored = platform.Get(u"schdl/20261208");
  FUZZ_CHECK(stored.has_value());
  RecordReader reader(*stored);
  std::u16string record;
  FUZZ_CHECK(reader.Next(&record));
  FUZZ_CHECK(record == EscapeMarkup(UpToZero(typed)));
  std::u16string extra;
  FUZZ_CHECK(!reader.Next(&extra));

  // The edit field holds the typed text again (up to a zero unit).
  const std::string field = doc->OuterHtmlById(u"schdllst").value_or("");
  auto fresh = HtmlDocument::Parse(kPage);
  fresh->FindElementById(u"schdllst")->SetInnerText(UpToZero(typed));
  FUZZ_CHECK(field == fresh->OuterHtmlById(u"schdllst").value_or(""));
  return 0;
}
