// A data folder and picker answers made of the input's texts give the page
// the structure of the same folder with benign texts: no text becomes an
// element, an attribute, a handler or a style declaration. The input is
// UTF-16LE units; U+FFFF separates texts, and field n of the folder takes
// text n modulo their number, after one letter so that no face name is
// empty (an empty face legitimately unsets the style) and no number grows.
#include <memory>
#include <string>
#include <vector>

#include "control/skerrow.h"
#include "dom/html_document.h"
#include "fuzz/fuzz_support.h"
#include "hosts/cli/bundled_page.h"
#include "page/wide_format.h"
#include "platform/scripted_platform.h"
#include "tests/hostile_data.h"
#include "tests/page_structure.h"

using namespace vellumine;
using namespace vellumine::fuzz;

namespace {

std::string EncodeRecords(const std::vector<std::u16string>& records) {
  std::string out;
  for (const std::u16string& r : records) AppendRecord(out, r);
  return out;
}

using Pages = std::vector<std::vector<std::string>>;

Pages RunFolder(const std::function<std::u16string(int)>& text, const std::u16string& picked) {
  MemoryPlatform files;
  for (const auto& [relative, records] : testing::HostileFolder(text, false)) {
    files.Put(Utf8ToUtf16(relative), EncodeRecords(records));
  }
  ScriptedPlatform ui(files, files.DataFolder());
  ui.QueueFont(FontChoice{picked, 14});
  ui.QueueFont(FontChoice{picked, 14});
  ui.QueuePick(picked);
  CSkerrow c(ui);
  // The control writes into the body only; the head's style and script would
  // only cost parsing time.
  static const std::string body_page =
      "<!DOCTYPE html><html><head></head>" +
      std::string(cli::BundledPage().substr(cli::BundledPage().find("<body")));
  const std::unique_ptr<HtmlDocument> page = HtmlDocument::Parse(body_page);
  HtmlDocument& d = *page;
  const ItemKey key = testing::FolderMemoKey(0);
  const std::u16string memo0 = WideFormatted(u"memo%08x%08x", {key.first, key.second});

  Pages pages;
  auto snapshot = [&] {
    const std::string html = d.Serialize();
    pages.push_back(testing::PageStructure(std::string_view(html).substr(html.find("<body"))));
  };
  c.InitPage(d);
  snapshot();
  c.ChangeDate(d, 2026, 12, 8);
  c.ChangeLinkMenu(d, 1);
  c.ChangeLinkPage(d, 0, 1);
  snapshot();
  c.ChangeOption(d, u"MenuFont", 0);
  c.ChangeWindowOption(d, memo0, u"Font", 0);
  c.OpenFile(d);
  snapshot();
  c.SetBG(d, 1);
  snapshot();
  return pages;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const Pages benign =
      RunFolder([](int) { return std::u16string(u"f"); }, std::u16string(u"f"));

  const std::u16string units =
      LittleEndianUnits(std::string_view(reinterpret_cast<const char*>(data), size));
  std::vector<std::u16string> texts(1);
  for (char16_t u : units) {
    if (u == 0xFFFF) {
      texts.emplace_back();
    } else {
      texts.back().push_back(u);
    }
  }
  const Pages pages = RunFolder(
      [&](int field) { return u"f" + texts[static_cast<std::size_t>(field) % texts.size()]; },
      u"f" + texts.back());

  FUZZ_CHECK(pages.size() == benign.size());
  for (std::size_t i = 0; i < pages.size(); ++i) {
    const std::string difference = testing::FirstDifference(benign[i], pages[i]);
    if (!difference.empty()) std::fprintf(stderr, "snapshot %zu: %s\n", i, difference.c_str());
    FUZZ_CHECK(difference.empty());
  }
  return 0;
}
