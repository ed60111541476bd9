// A folder whose every text is hostile, and pickers that answer with hostile
// texts, give a page of the same structure as the same folder with benign
// texts: the markup the control writes is its own templates' and nothing
// else. The page is parsed by a real HTML5 parser after every command.
#include "tests/hostile_data.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "page/text.h"
#include "page/wide_format.h"
#include "platform/memory_platform.h"
#include "tests/page_structure.h"
#include "tests/support.h"

namespace vellumine::testing {
namespace {

struct PageRun {
  std::vector<std::vector<std::string>> pages;  // the structure after each command
  std::vector<std::string> steps;               // what each command was
  std::vector<std::string> dialogs;             // messages and questions, in order
  std::string final_page;                       // the last page, serialized
};

std::u16string WindowName(const char16_t* prefix, const ItemKey& key) {
  return WideFormatted(u"%s%08x%08x", {prefix, key.first, key.second});
}

// Fills a folder from text, answers the pickers with picked, and runs the
// start-up and every command that renders something. Files stay in memory.
PageRun RunFolder(const std::function<std::u16string(int)>& text, const std::u16string& picked) {
  MemoryPlatform files;
  for (const auto& [relative, records] : HostileFolder(text, false)) {
    files.Put(Utf8ToUtf16(relative), EncodeRecords(records));
  }
  // A file and a folder whose names are the picked text.
  const std::u16string name = FileNameOf(picked);
  files.Put(u"files/" + name, "x");
  const std::u16string file = u"/d/files/" + name;
  const std::u16string folder = u"/d/files/d" + name;
  files.CreateFolder(folder);

  ScriptedPlatform ui(files, files.DataFolder());
  CSkerrow c(ui);
  const std::unique_ptr<HtmlDocument> page = HtmlDocument::Parse(BundledPage());
  HtmlDocument& d = *page;
  for (int i = 0; i < 3; ++i) ui.QueueFont(FontChoice{picked, 14});
  ui.QueuePick(picked);
  ui.QueuePick(picked);

  PageRun run;
  const std::u16string memo0 = WindowName(u"memo", FolderMemoKey(0));
  auto step = [&](const char* what, const std::function<void()>& call) {
    call();
    run.steps.push_back(what);
    // The control writes into the body only; the head's style and script
    // would only cost parsing time.
    const std::string html = d.Serialize();
    run.pages.push_back(PageStructure(std::string_view(html).substr(html.find("<body"))));
  };
  step("InitPage", [&] { c.InitPage(d); });
  step("SetCalender", [&] { c.SetCalender(d, 2026, 11); });
  step("ChangeDate", [&] { c.ChangeDate(d, 2026, 12, 8); });
  step("ChangeLinkMenu 0", [&] { c.ChangeLinkMenu(d, 0); });
  step("ChangeLinkPage", [&] { c.ChangeLinkPage(d, 1, 1); });
  step("ChangeOption MenuFont", [&] { c.ChangeOption(d, u"MenuFont", 0); });
  step("ChangeOption CalenderFont", [&] { c.ChangeOption(d, u"CalenderFont", 0); });
  step("ChangeWindowOption Font", [&] { c.ChangeWindowOption(d, memo0, u"Font", 0); });
  step("ChangeWindowOption Default", [&] { c.ChangeWindowOption(d, memo0, u"Default", 1); });
  step("OpenFile", [&] { c.OpenFile(d); });
  step("OpenFolder", [&] { c.OpenFolder(d); });
  step("AddLink", [&] { c.AddLink(d, file, 0); });
  step("AddLink folder", [&] { c.AddLink(d, folder, 1); });
  step("ChangeLinkMenu 1", [&] { c.ChangeLinkMenu(d, 1); });
  step("AddWallPaper", [&] { c.AddWallPaper(d, file); });
  step("SetBG 0", [&] { c.SetBG(d, 0); });
  step("SetBG 2", [&] { c.SetBG(d, 2); });
  step("SetBG 1", [&] { c.SetBG(d, 1); });
  // Typed texts, which are escaped when stored.
  step("RenewMemo", [&] { c.RenewMemo(d, picked, picked, 1); });
  step("MakeLinkMenu", [&] { c.MakeLinkMenu(d, picked, 0); });
  step("ChangeSchedule", [&] { c.ChangeSchedule(d, picked, 2026, 12, 7); });
  step("RemoveMemo", [&] { c.RemoveMemo(d, 2); });
  step("ChangeMemoPage", [&] { c.ChangeMemoPage(d, 0); });
  for (const UiEvent& e : ui.events()) {
    if (e.kind == UiEvent::Kind::kMessage || e.kind == UiEvent::Kind::kQuestion) {
      run.dialogs.push_back(U8(e.text));
    }
  }
  run.final_page = d.Serialize();
  return run;
}

const PageRun& BenignRun() {
  static const PageRun run = RunFolder([](int) { return std::u16string(u"b"); }, u"benign");
  return run;
}

void ExpectSameStructure(const PageRun& expected, const PageRun& actual, const std::string& label) {
  ASSERT_EQ(actual.pages.size(), expected.pages.size());
  for (std::size_t i = 0; i < expected.pages.size(); ++i) {
    const std::string difference = FirstDifference(expected.pages[i], actual.pages[i]);
    ASSERT_EQ(difference, "") << label << ", after " << expected.steps[i];
  }
  EXPECT_EQ(actual.dialogs, expected.dialogs) << label;
}

TEST(HostileData, TheBenignRunShowsEverythingTheFolderHolds) {
  // So that the comparisons below compare pages that show the data.
  const PageRun& run = BenignRun();
  const std::string& page = run.final_page;
  for (int i = 0; i < kFolderMemos - 1; ++i) {
    EXPECT_NE(page.find("id=\"" + U8(WindowName(u"subject", FolderMemoKey(i))) + "\""),
              std::string::npos);
  }
  for (int i = 0; i < kFolderMenus; ++i) {
    EXPECT_NE(page.find("id=\"" + U8(WindowName(u"menuname", FolderMenuKey(i))) + "\""),
              std::string::npos);
  }
  EXPECT_NE(page.find("Skerrow.Open(1,10)"), std::string::npos);  // the second page of menu 1
  EXPECT_NE(page.find("Skerrow.Open(1,12)"), std::string::npos);  // the added folder
  EXPECT_NE(page.find("<option value=\"2\">benign</option>"), std::string::npos);
  // The picked faces, then the wallpapers' own.
  EXPECT_NE(page.find("font-family:b\""), std::string::npos);
  EXPECT_EQ(run.dialogs, std::vector<std::string>{});
}

class EveryFieldHostile : public ::testing::TestWithParam<std::size_t> {};

TEST_P(EveryFieldHostile, GivesTheTemplatesStructure) {
  const std::u16string& hostile = HostileTexts()[GetParam()];
  const PageRun run = RunFolder([&](int) { return hostile; }, hostile);
  ExpectSameStructure(BenignRun(), run, "hostile text " + std::to_string(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(HostileData, EveryFieldHostile,
                         ::testing::Range(std::size_t{0}, HostileTexts().size()));

TEST(HostileData, MixedHostileFieldsGiveTheTemplatesStructure) {
  // Each field its own text, so that neighbouring fields differ.
  const std::vector<std::u16string>& texts = HostileTexts();
  for (std::size_t shift = 1; shift < 4; ++shift) {
    const PageRun run =
        RunFolder([&](int field) { return texts[(field * shift) % texts.size()]; }, texts[shift]);
    ExpectSameStructure(BenignRun(), run, "shift " + std::to_string(shift));
  }
}

TEST(HostileData, HostileTextsShowAsText) {
  // The first memo's subject, a raw tag in the file, is shown as its text.
  const std::u16string subject = u"<img src=x onerror=\"window.pwned=1\">&lt;b&gt;";
  Fixture f;
  for (const auto& [relative, records] : HostileFolder([&](int) { return subject; }, false)) {
    f.WriteRecords(relative, records);
  }
  f.control().InitPage(f.doc());
  const std::string html = f.Html(WindowName(u"subject", FolderMemoKey(0)));
  EXPECT_NE(html.find(">&lt;img src=x onerror=\"window.pwned=1\"&gt;&lt;b&gt;</pre>"),
            std::string::npos)
      << html;
  // The file itself is left as it was: nothing is lost.
  EXPECT_EQ(f.Records("memo/" + U8(WideFormatted(u"%08x%08x", {FolderMemoKey(0).first,
                                                               FolderMemoKey(0).second})))[0],
            u"Subject=" + subject);
}

TEST(PageStructure, SeesWhatTextsWouldHaveAdded) {
  // The comparison itself: raw texts in the same places would show.
  const std::string base =
      "<html><body><pre id=\"a\" style=\"font-family:X\">t</pre></body></html>";
  const std::vector<std::string> expected = PageStructure(base);
  EXPECT_EQ(FirstDifference(expected, PageStructure(base)), "");
  EXPECT_EQ(FirstDifference(expected, PageStructure("<html><body><pre id=\"a\" "
                                                    "style=\"font-family:Y Z\">other</pre>"
                                                    "</body></html>")),
            "");
  EXPECT_NE(FirstDifference(expected, PageStructure("<html><body><pre id=\"a\" "
                                                    "style=\"font-family:X\"><img src=x "
                                                    "onerror=f()></pre></body></html>")),
            "");
  EXPECT_NE(FirstDifference(expected, PageStructure("<html><body><pre id=\"a\" "
                                                    "style=\"font-family:x;position:fixed\">t"
                                                    "</pre></body></html>")),
            "");
  EXPECT_NE(FirstDifference(expected, PageStructure("<html><body><pre id=\"a\" "
                                                    "style=\"font-family:\"\" onmouseup=f()>t"
                                                    "</pre></body></html>")),
            "");
  EXPECT_NE(FirstDifference(expected, PageStructure("<html><body><pre id=\"a\" "
                                                    "style=\"font-family:'x\">t<!-- --></pre>"
                                                    "</body></html>")),
            "");
  EXPECT_EQ(StyleProperties("a:1; b : 2;c:url(x;y);d:\"e;f\";g:\\;h"),
            (std::vector<std::string>{"a", "b", "c", "d", "g"}));
}

}  // namespace
}  // namespace vellumine::testing
