#include "control/options.h"

#include <gtest/gtest.h>

#include <climits>

#include "control/skerrow.h"
#include "control/test_records.h"
#include "page/page_ids.h"
#include "platform/posix_platform.h"
#include "platform/scripted_platform.h"
#include "tests/fake_documents.h"
#include "tests/support.h"

namespace vellumine {
namespace {

using control_test::ConfigRecords;
using control_test::FakeDocument;
using control_test::FakeNode;
using control_test::WallPaperRecords;
using control_test::Window;
using testing::Fixture;
using testing::U8;

constexpr char16_t kWallPaperPath[] = u"/pics/sea.jpg";
constexpr char kWallPaperFile[] = "wp/1111111122222222";

// A page with the option panel's texts and one framed window "memoA" at
// 40,50 whose option texts exist too.
struct Page {
  FakeDocument doc;
  FakeNode* window;
  FakeNode* window_pre;

  Page() {
    for (std::u16string_view id :
         {ids::kMenuTextColor, ids::kWeekDayColor, ids::kSatDayColor, ids::kSunDayColor,
          ids::kShadowColor, ids::kCalenderFont, ids::kCalenderFontSize, ids::kLinkItemNum,
          ids::kMemoItemNum, ids::kMenuFont, ids::kMenuFontSize}) {
      doc.body.Add(u"SPAN", std::u16string(id));
    }
    window = &doc.body.Add(u"DIV", u"memoA");
    window->pixel_left = 40;
    window->pixel_top = 50;
    window_pre = &window->Add(u"PRE");
    for (std::u16string_view suffix :
         {u"Default", u"TextColor", u"Font", u"FontSize", u"ItemNum"}) {
      window->Add(u"SPAN", u"memoA" + std::u16string(suffix));
    }
  }
  std::string Text(std::u16string_view id) {
    FakeNode* n = doc.Node(id);
    return n && n->inner_html ? U8(*n->inner_html) : "<unset>";
  }
};

WallPaperEntry& MakeCurrentWallPaper(ControlState& state) {
  WallPaperEntry entry;
  entry.path = kWallPaperPath;
  entry.key = {0x11111111, 0x22222222};
  entry.windows = state.windows;
  state.wallpapers.push_back(entry);
  state.current_wallpaper = 0;
  return state.wallpapers.back();
}

// The bytes of every settings file, to prove a refusal wrote nothing.
struct Snapshot {
  std::string config, wallpaper;
  explicit Snapshot(const Fixture& f)
      : config(f.FileBytes("config")), wallpaper(f.FileBytes(kWallPaperFile)) {}
  bool operator==(const Snapshot&) const = default;
};

TEST(ChangeOption, ColourStepsWrapIntoTheTable) {
  Fixture f;
  Page page;
  f.state().options.menu_text_color = 18;
  f.control().ChangeOption(page.doc, u"MenuTextColor", 1);
  EXPECT_EQ(f.state().options.menu_text_color, 0);
  EXPECT_EQ(page.Text(u"MenuTextColor"), "文字色:平日既定色");
  EXPECT_EQ(page.window_pre->color, u"#000000");  // restyled through the body
  PageOptions expected;
  expected.menu_text_color = 0;
  EXPECT_EQ(f.Records("config"), ConfigRecords(expected, -1, {}));

  f.control().ChangeOption(page.doc, u"MenuTextColor", -1);
  EXPECT_EQ(f.state().options.menu_text_color, 18);
  f.control().ChangeOption(page.doc, u"WeekDayColor", -20);
  EXPECT_EQ(f.state().options.week_day_color, 18);
  f.control().ChangeOption(page.doc, u"SatDayColor", INT_MIN);  // from 1
  EXPECT_EQ(f.state().options.sat_day_color, 17);
  f.state().options.sun_day_color = 3;
  f.control().ChangeOption(page.doc, u"SunDayColor", INT_MAX);
  EXPECT_EQ(f.state().options.sun_day_color, 5);
  f.control().ChangeOption(page.doc, u"ShadowColor", 19);
  EXPECT_EQ(f.state().options.shadow_color, 6);
  EXPECT_EQ(page.Text(u"SatDayColor"), "土曜色:Teal");
  EXPECT_EQ(f.Records("config"), ConfigRecords(f.state().options, -1, {}));
}

TEST(ChangeOption, AcceptedStepsMirrorIntoTheCurrentWallPaper) {
  Fixture f;
  Page page;
  f.state().windows = {Window(f.state().options, u"memoA", 1, 2, 1)};
  MakeCurrentWallPaper(f.state());
  f.control().ChangeOption(page.doc, u"CalenderFontSize", 10);
  f.control().ChangeOption(page.doc, u"LinkItemNum", -6);
  f.control().ChangeOption(page.doc, u"MemoItemNum", 5);
  f.control().ChangeOption(page.doc, u"MenuFontSize", -5);
  const PageOptions& o = f.state().options;
  EXPECT_EQ(o.calender_font_size, 30);
  EXPECT_EQ(o.link_item_num, 4);
  EXPECT_EQ(o.memo_item_num, 15);
  EXPECT_EQ(o.menu_font_size, 8);

  PageOptions wp = PageOptions::Unset();
  wp.calender_font_size = 30;
  wp.link_item_num = 4;
  wp.memo_item_num = 15;
  wp.menu_font_size = 8;
  EXPECT_EQ(f.state().wallpapers[0].options, wp);
  EXPECT_EQ(f.Records("config"), ConfigRecords(o, 0, f.state().windows));
  EXPECT_EQ(f.Records(kWallPaperFile), WallPaperRecords(kWallPaperPath, wp, f.state().windows));
  EXPECT_EQ(page.Text(u"LinkItemNum"), "4");
  EXPECT_EQ(page.Text(u"MenuFontSize"), "8");
}

TEST(ChangeOption, RefusalsWriteNothing) {
  struct Case {
    const char16_t* name;
    std::int32_t PageOptions::*field;
    std::int32_t start, step;
  };
  const Case cases[] = {
      {u"CalenderFontSize", &PageOptions::calender_font_size, 30, 1},
      {u"CalenderFontSize", &PageOptions::calender_font_size, 8, -1},
      {u"CalenderFontSize", &PageOptions::calender_font_size, 20, INT_MAX},
      {u"MenuFontSize", &PageOptions::menu_font_size, 30, 1},
      {u"MenuFontSize", &PageOptions::menu_font_size, 8, INT_MIN},
      {u"LinkItemNum", &PageOptions::link_item_num, 4, -1},
      {u"LinkItemNum", &PageOptions::link_item_num, 10, INT_MAX},
      {u"MemoItemNum", &PageOptions::memo_item_num, 4, -1},
      {u"CalenderFont", nullptr, 0, 0},  // the font dialog is cancelled
      {u"MenuFont", nullptr, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.name));
    Fixture f;
    Page page;
    MakeCurrentWallPaper(f.state());
    if (c.field) f.state().options.*(c.field) = c.start;
    f.control().ChangeOption(page.doc, u"NoSuchOption", 0);  // saves the start
    const Snapshot before(f);
    ASSERT_FALSE(before.config.empty());
    ASSERT_FALSE(before.wallpaper.empty());
    const PageOptions options = f.state().options;
    const PageOptions wp_options = f.state().wallpapers[0].options;
    const int writes = page.doc.TotalWrites();

    f.control().ChangeOption(page.doc, c.name, c.step);
    EXPECT_EQ(Snapshot(f), before);
    EXPECT_EQ(f.state().options, options);
    EXPECT_EQ(f.state().wallpapers[0].options, wp_options);
    EXPECT_EQ(page.doc.TotalWrites(), writes);
    EXPECT_TRUE(f.Messages().empty());
  }
}

TEST(ChangeOption, UnknownNameStillSavesAndRefreshes) {
  Fixture f;
  Page page;
  f.control().ChangeOption(page.doc, u"menutextcolor", 1);  // names compare exactly
  EXPECT_EQ(f.state().options, PageOptions());
  EXPECT_EQ(f.Records("config"), ConfigRecords(PageOptions(), -1, {}));
  EXPECT_EQ(page.Text(u"MenuTextColor"), "文字色:Black");
}

TEST(ChangeOption, NullNameIsAnUnknownName) {
  Fixture f;
  Page page;
  f.control().ChangeOption(page.doc, std::nullopt, 1);
  EXPECT_EQ(f.state().options, PageOptions());
  EXPECT_EQ(f.Records("config"), ConfigRecords(PageOptions(), -1, {}));
  EXPECT_EQ(page.Text(u"MenuTextColor"), "文字色:Black");
}

TEST(ChangeOption, FontDialogSetsFaceAndSize) {
  Fixture f;
  Page page;
  MakeCurrentWallPaper(f.state());
  f.ui().QueueFont(FontChoice{u"Meiryo", 40});
  f.control().ChangeOption(page.doc, u"MenuFont", 0);
  EXPECT_EQ(U8(f.state().options.menu_font), "Meiryo");
  EXPECT_EQ(f.state().options.menu_font_size, 30);
  EXPECT_EQ(U8(f.state().wallpapers[0].options.menu_font), "Meiryo");
  EXPECT_EQ(f.state().wallpapers[0].options.menu_font_size, 30);
  EXPECT_EQ(page.window_pre->font_family, u"Meiryo");
  EXPECT_EQ(page.Text(u"MenuFont"), "Meiryo");

  f.ui().QueueFont(FontChoice{u"Cal", 2});
  f.control().ChangeOption(page.doc, u"CalenderFont", 0);
  EXPECT_EQ(U8(f.state().options.calender_font), "Cal");
  EXPECT_EQ(f.state().options.calender_font_size, 8);
  EXPECT_EQ(f.Records("config"), ConfigRecords(f.state().options, 0, {}));
}

TEST(ChangeOption, CancelledFontDialogWritesNoFile) {
  Fixture f;
  Page page;
  f.control().ChangeOption(page.doc, u"MenuFont", 0);
  f.control().ChangeOption(page.doc, u"CalenderFont", 0);
  EXPECT_FALSE(f.FileExists("config"));
  EXPECT_EQ(f.state().options, PageOptions());
  EXPECT_EQ(page.doc.TotalWrites(), 0);
}

TEST(FontPicker, CutsTheFaceAndClampsTheSize) {
  Fixture f;
  std::u16string face = u"Start";
  f.ui().QueueFont(FontChoice{std::u16string(40, u'F'), 31});
  EXPECT_EQ(options::FontPicker(f.control().context(), face, 12), 30);
  EXPECT_EQ(face, std::u16string(31, u'F'));

  // A surrogate pair across the limit is dropped whole.
  f.ui().QueueFont(FontChoice{std::u16string(30, u'G') + u"\U0001F600", 9});
  EXPECT_EQ(options::FontPicker(f.control().context(), face, 12), 9);
  EXPECT_EQ(face, std::u16string(30, u'G'));

  face = u"Kept";
  f.ui().QueueFont(std::nullopt);
  EXPECT_EQ(options::FontPicker(f.control().context(), face, 12), -1);
  f.ui().QueueFont(FontChoice{u"", 12});
  EXPECT_EQ(options::FontPicker(f.control().context(), face, 12), -1);
  EXPECT_EQ(U8(face), "Kept");
}

// Remembers the face and size every font dialog starts from.
class FontRecorder : public ScriptedPlatform {
 public:
  using ScriptedPlatform::ScriptedPlatform;
  std::optional<FontChoice> PickFont(std::u16string_view face, std::int32_t size) override {
    asked.push_back(U8(face) + " " + std::to_string(size));
    return ScriptedPlatform::PickFont(face, size);
  }
  std::vector<std::string> asked;
};

TEST(FontPicker, StartsFromTheFontOfWhatItChanges) {
  testing::TempDir dir;
  PosixPlatform files;
  FontRecorder ui(files, Utf8ToUtf16((dir.path() / "data").string() + "/"));
  CSkerrow control(ui);
  control.LoadState();  // the state below stands for what was loaded
  Page page;
  control.state().options.calender_font = u"Cal";
  control.state().options.calender_font_size = 22;
  WndRecord r = Window(control.state().options, u"memoA", 0, 0, 1);
  r.font = u"Own";
  r.font_size = 9;
  control.state().windows = {r};
  control.ChangeOption(page.doc, u"MenuFont", 0);
  control.ChangeOption(page.doc, u"CalenderFont", 0);
  control.ChangeWindowOption(page.doc, u"memoA", u"Font", 0);
  EXPECT_EQ(ui.asked, (std::vector<std::string>{"ＭＳ ゴシック 13", "Cal 22", "Own 9"}));
}

TEST(ChangeWindowOption, MakesTheRecordFromTheElementInBothLists) {
  Fixture f;
  Page page;
  f.state().options.link_item_num = 7;
  MakeCurrentWallPaper(f.state());
  f.control().ChangeWindowOption(page.doc, u"memoA", u"TextColor", -4);
  WndRecord expected = Window(f.state().options, u"memoA", 40, 50, 1);
  expected.text_color = 18;
  EXPECT_EQ(f.state().windows, WndList{expected});
  EXPECT_EQ(f.state().wallpapers[0].windows, WndList{expected});
  EXPECT_EQ(f.Records("config"), ConfigRecords(f.state().options, 0, {expected}));
  EXPECT_EQ(f.Records(kWallPaperFile),
            WallPaperRecords(kWallPaperPath, PageOptions::Unset(), {expected}));
  EXPECT_EQ(page.Text(u"memoATextColor"), "文字色:Aqua");
  EXPECT_EQ(page.Text(u"memoAItemNum"), "7");
  EXPECT_EQ(page.window_pre->color, u"Black");  // individual 0: the menu colour
}

TEST(ChangeWindowOption, DefaultTogglesBetweenMenuAndOwnStyle) {
  Fixture f;
  Page page;
  WndRecord r = Window(f.state().options, u"memoA", 1, 2, 1);
  r.text_color = 8;
  r.font = u"Own";
  r.font_size = 21;
  f.state().windows = {r};
  f.control().ChangeWindowOption(page.doc, u"memoA", u"Default", 1);
  EXPECT_EQ(f.state().windows[0].individual, 1);
  EXPECT_EQ(page.window_pre->color, u"Red");
  EXPECT_EQ(page.window_pre->font_family, u"Own");
  EXPECT_EQ(page.window_pre->font_size, 21);
  EXPECT_EQ(page.Text(u"memoADefault"), "有効");
  r.individual = 1;
  EXPECT_EQ(f.Records("config"), ConfigRecords(f.state().options, -1, {r}));

  f.control().ChangeWindowOption(page.doc, u"memoA", u"Default", 1);
  EXPECT_EQ(f.state().windows[0].individual, 0);
  EXPECT_EQ(page.window_pre->color, u"Black");
  EXPECT_EQ(page.Text(u"memoADefault"), "無効");
  f.control().ChangeWindowOption(page.doc, u"memoA", u"Default", -1);
  EXPECT_EQ(f.state().windows[0].individual, 1);
  f.control().ChangeWindowOption(page.doc, u"memoA", u"Default", -3);
  EXPECT_EQ(f.state().windows[0].individual, 0);
  f.control().ChangeWindowOption(page.doc, u"memoA", u"Default", INT_MIN + 1);
  EXPECT_EQ(f.state().windows[0].individual, 1);
}

TEST(ChangeWindowOption, ItemNumFontSizeAndFont) {
  Fixture f;
  Page page;
  MakeCurrentWallPaper(f.state());
  f.control().ChangeWindowOption(page.doc, u"memoA", u"ItemNum", 2);
  EXPECT_EQ(f.state().windows[0].item_num, 12);
  EXPECT_EQ(f.state().wallpapers[0].windows[0].item_num, 12);
  EXPECT_EQ(page.Text(u"memoAItemNum"), "12");
  EXPECT_EQ(page.window_pre->font_size, std::nullopt);  // no window re-rendered

  f.control().ChangeWindowOption(page.doc, u"memoA", u"FontSize", 17);
  EXPECT_EQ(f.state().windows[0].font_size, 30);
  f.ui().QueueFont(FontChoice{u"Mono", 11});
  f.control().ChangeWindowOption(page.doc, u"memoA", u"Font", 0);
  EXPECT_EQ(U8(f.state().windows[0].font), "Mono");
  EXPECT_EQ(f.state().windows[0].font_size, 11);
  EXPECT_EQ(f.state().wallpapers[0].windows, f.state().windows);
  EXPECT_EQ(f.Records(kWallPaperFile),
            WallPaperRecords(kWallPaperPath, PageOptions::Unset(), f.state().windows));
  EXPECT_EQ(page.Text(u"memoAFont"), "Mono");
  EXPECT_EQ(page.Text(u"memoAFontSize"), "11");
}

TEST(ChangeWindowOption, RefusalsWriteNothing) {
  struct Case {
    const char16_t* option;
    std::int32_t WndRecord::*field;
    std::int32_t start, step;
  };
  const Case cases[] = {
      {u"FontSize", &WndRecord::font_size, 30, 1},
      {u"FontSize", &WndRecord::font_size, 8, -1},
      {u"ItemNum", &WndRecord::item_num, 4, -1},
      {u"ItemNum", &WndRecord::item_num, 4, INT_MIN},
      {u"Font", nullptr, 0, 0},  // cancelled
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(U8(c.option));
    Fixture f;
    Page page;
    f.state().windows = {Window(f.state().options, u"memoA", 1, 2, 1)};
    if (c.field) f.state().windows[0].*(c.field) = c.start;
    MakeCurrentWallPaper(f.state());
    f.control().ChangeWindowOption(page.doc, u"memoA", u"Other", 1);  // saves the start
    const Snapshot before(f);
    ASSERT_FALSE(before.wallpaper.empty());
    const WndList windows = f.state().windows;
    const int writes = page.doc.TotalWrites();

    f.control().ChangeWindowOption(page.doc, u"memoA", c.option, c.step);
    EXPECT_EQ(Snapshot(f), before);
    EXPECT_EQ(f.state().windows, windows);
    EXPECT_EQ(f.state().wallpapers[0].windows, windows);
    EXPECT_EQ(page.doc.TotalWrites(), writes);
  }
}

TEST(ChangeWindowOption, RecordMadeBeforeARefusalStaysUnsaved) {
  Fixture f;
  Page page;
  f.control().ChangeWindowOption(page.doc, u"memoA", u"Font", 0);  // cancelled
  EXPECT_EQ(f.state().windows, WndList{Window(f.state().options, u"memoA", 40, 50, 1)});
  EXPECT_FALSE(f.FileExists("config"));
}

TEST(ChangeWindowOption, NothingHappensWithoutAWindow) {
  Fixture f;
  Page page;
  page.window->pixel_top = std::nullopt;  // style unreadable
  f.control().ChangeWindowOption(page.doc, u"memoA", u"TextColor", 1);
  f.control().ChangeWindowOption(page.doc, u"absent", u"TextColor", 1);
  f.control().ChangeWindowOption(page.doc, std::nullopt, u"TextColor", 1);
  f.control().ChangeWindowOption(page.doc, u"memoA", std::nullopt, 1);
  EXPECT_TRUE(f.state().windows.empty());
  EXPECT_FALSE(f.FileExists("config"));
  EXPECT_EQ(page.doc.TotalWrites(), 0);
}

TEST(ChangeWindowOption, FullListRefusesSilently) {
  Fixture f;
  Page page;
  for (int i = 0; i < kMaxWindows; ++i) {
    f.state().windows.push_back(Window(f.state().options, u"w" + control_test::Num(i), 0, 0, 1));
  }
  f.control().ChangeWindowOption(page.doc, u"memoA", u"TextColor", 1);
  EXPECT_EQ(f.state().windows.size(), static_cast<std::size_t>(kMaxWindows));
  EXPECT_FALSE(f.FileExists("config"));
  EXPECT_TRUE(f.Messages().empty());
}

TEST(ChangeWindowOption, UnknownOptionStillSavesAndRefreshes) {
  Fixture f;
  Page page;
  f.control().ChangeWindowOption(page.doc, u"memoA", u"Colour", 1);
  const WndRecord expected = Window(f.state().options, u"memoA", 40, 50, 1);
  EXPECT_EQ(f.Records("config"), ConfigRecords(f.state().options, -1, {expected}));
  EXPECT_EQ(page.Text(u"memoAFontSize"), "13");
  EXPECT_EQ(page.Text(u"MenuFontSize"), "13");
}

TEST(ChangeWindowOption, NullOptionNameIsAnUnknownName) {
  Fixture f;
  Page page;
  f.control().ChangeWindowOption(page.doc, u"memoA", std::nullopt, 1);
  const WndRecord expected = Window(f.state().options, u"memoA", 40, 50, 1);
  EXPECT_EQ(f.state().windows, WndList{expected});  // "Default" is not toggled
  EXPECT_EQ(f.Records("config"), ConfigRecords(f.state().options, -1, {expected}));
  EXPECT_EQ(page.Text(u"memoADefault"), "無効");
}

}  // namespace
}  // namespace vellumine
