#include "wallpaper/wallpaper.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

#include "model/messages.h"
#include "store/records.h"
#include "store/settings.h"
#include "tests/fake_documents.h"
#include "tests/support.h"

namespace vellumine {
namespace {

namespace fs = std::filesystem;
using testing::Fixture;
using testing::RecordingDocument;
using testing::U8;

// A tiny but genuine PNG (1x1, grey).
const unsigned char kPng[] = {
    0x89, 0x50, 0x4e, 0x47, 0x0d, 0x0a, 0x1a, 0x0a, 0x00, 0x00, 0x00, 0x0d, 0x49, 0x48,
    0x44, 0x52, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x00, 0x00, 0x00,
    0x00, 0x3a, 0x7e, 0x9b, 0x55, 0x00, 0x00, 0x00, 0x0a, 0x49, 0x44, 0x41, 0x54, 0x08,
    0xd7, 0x63, 0x68, 0x00, 0x00, 0x00, 0x82, 0x00, 0x81, 0xdd, 0x43, 0x6a, 0xf4, 0x00,
    0x00, 0x00, 0x00, 0x49, 0x45, 0x4e, 0x44, 0xae, 0x42, 0x60, 0x82};

class WallPaperTest : public ::testing::Test {
 protected:
  // A picture file in the fixture's temporary folder; its full path.
  std::u16string Picture(const std::string& name) {
    const fs::path path = f.temp() / "pics" / name;
    fs::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(kPng), sizeof kPng);
    return Utf8ToUtf16(path.string());
  }
  std::u16string Folder() { return Utf8ToUtf16((f.temp() / "pics").string()); }

  static RecordingDocument Page() {
    return RecordingDocument({u"wplist", u"bgimg", u"calender", u"memo", u"schedule"});
  }
  static std::u16string List(const std::vector<std::u16string>& names) {
    std::u16string s = u"<select id=\"wplist\" size=\"8\">";
    for (std::size_t i = 0; i < names.size(); ++i) {
      s += u"<option value=\"" + Utf8ToUtf16(std::to_string(i)) + u"\">" + names[i] + u"</option>";
    }
    return s + u"</select>";
  }
  std::vector<std::u16string> WpList() {
    std::vector<std::u16string> r;
    for (const WallPaperEntry& e : f.state().wallpapers) {
      r.push_back(u"[" + e.path + u"]");
      r.push_back(u"Hash=" + KeyHex(e.key));
    }
    return r;
  }
  static std::u16string Src(RecordingDocument& page) {
    auto& attrs = page[u"bgimg"].attributes;
    auto it = attrs.find(u"src");
    return it == attrs.end() ? u"<unset>" : it->second;
  }
  bool ConfigHas(const std::u16string& record) {
    const auto r = f.Records("config");
    return std::find(r.begin(), r.end(), record) != r.end();
  }

  Fixture f;
};

TEST_F(WallPaperTest, AddRegistersAtTheEndWithoutApplying) {
  RecordingDocument page = Page();
  const std::u16string a = Picture("a.png"), b = Picture("b.jpg"), c = Picture("c.gif");
  f.state().options.week_day_color = 11;
  for (const auto& p : {a, b, c}) f.control().AddWallPaper(page, p);

  EXPECT_TRUE(f.Messages().empty());
  ASSERT_EQ(f.state().wallpapers.size(), 3u);
  EXPECT_EQ(U8(page[u"wplist"].outer_html.value_or(u"")), U8(List({u"a.png", u"b.jpg", u"c.gif"})));
  EXPECT_EQ(f.Records("wplist"), WpList());
  const WallPaperEntry& e = f.state().wallpapers[0];
  EXPECT_EQ(e.path, a);
  EXPECT_EQ(e.key.first, StringHash(a));
  EXPECT_NE(e.key.second, 0u);
  // Colours taken from the options in force; everything else unset.
  PageOptions expected = PageOptions::Unset();
  expected.week_day_color = 11;
  expected.sat_day_color = 1;
  expected.sun_day_color = 2;
  expected.shadow_color = 6;
  expected.menu_text_color = 3;
  EXPECT_EQ(e.options, expected);
  EXPECT_TRUE(e.windows.empty());
  const auto settings = f.Records("wp/" + U8(KeyHex(e.key)));
  ASSERT_FALSE(settings.empty());
  EXPECT_EQ(settings[0], u"[" + a + u"]");
  // Not current, background untouched.
  EXPECT_EQ(f.state().current_wallpaper, -1);
  EXPECT_EQ(Src(page), u"<unset>");
}

TEST_F(WallPaperTest, AddRefusesWhatIsNotOnePictureFile) {
  RecordingDocument page = Page();
  const std::u16string a = Picture("a.png");
  Picture("b.png");
  f.control().AddWallPaper(page, a);
  const std::string before = f.FileBytes("wplist");
  page[u"wplist"].outer_html.reset();

  f.control().AddWallPaper(page, std::nullopt);
  EXPECT_TRUE(f.Messages().empty());
  const std::u16string refused[] = {
      Folder() + u"/*.png",  // matching files exist
      Folder() + u"/?.png",
      Folder() + u"/a.pn?",
      Folder(),                 // a folder
      Folder() + u"/",          // a folder
      Folder() + u"/none.png",  // missing
      u"",
      a + std::u16string(u"\0x", 2),  // cut short at the zero unit it would name a
  };
  for (const auto& p : refused) f.control().AddWallPaper(page, p);
  f.control().AddWallPaper(page, a);
  std::vector<std::u16string> want(std::size(refused), std::u16string(msg::kNoFile));
  want.push_back(std::u16string(msg::kSameWallPaper));
  EXPECT_EQ(f.Messages(), want);
  EXPECT_EQ(f.state().wallpapers.size(), 1u);
  EXPECT_EQ(f.FileBytes("wplist"), before);
  EXPECT_FALSE(page[u"wplist"].outer_html.has_value());
}

TEST_F(WallPaperTest, DuplicatesAreCaseSensitive) {
  RecordingDocument page = Page();
  const std::u16string lower = Picture("pic.png"), upper = Picture("PIC.png");
  f.control().AddWallPaper(page, lower);
  f.control().AddWallPaper(page, upper);
  f.control().AddWallPaper(page, lower);
  EXPECT_EQ(f.Messages(), std::vector<std::u16string>{std::u16string(msg::kSameWallPaper)});
  ASSERT_EQ(f.state().wallpapers.size(), 2u);
  EXPECT_EQ(f.state().wallpapers[1].path, upper);
  EXPECT_NE(f.state().wallpapers[0].key, f.state().wallpapers[1].key);
}

TEST_F(WallPaperTest, FullTableRefusesAnother) {
  RecordingDocument page = Page();
  for (int i = 0; i < kMaxWallPapers; ++i) {
    WallPaperEntry e;
    e.path = u"/nowhere/" + Utf8ToUtf16(std::to_string(i));
    e.key = {StringHash(e.path), static_cast<std::uint32_t>(i + 1)};
    f.state().wallpapers.push_back(e);
  }
  f.control().AddWallPaper(page, Picture("one-more.png"));
  EXPECT_EQ(f.Messages(), std::vector<std::u16string>{std::u16string(msg::kTableFull)});
  EXPECT_EQ(f.state().wallpapers.size(), static_cast<std::size_t>(kMaxWallPapers));
  EXPECT_FALSE(f.FileExists("wplist"));
  EXPECT_FALSE(page[u"wplist"].outer_html.has_value());
}

TEST_F(WallPaperTest, DisplayNamesAreEscapedPathsAreNot) {
  RecordingDocument page = Page();
  const std::u16string odd = Picture("x<y&\"z\" 'q'>.png");
  f.control().AddWallPaper(page, odd);
  EXPECT_EQ(U8(page[u"wplist"].outer_html.value_or(u"")),
            U8(List({u"x&lt;y&amp;&quot;z&quot; 'q'&gt;.png"})));
  ASSERT_FALSE(f.Records("wplist").empty());
  EXPECT_EQ(f.Records("wplist")[0], u"[" + odd + u"]");
  f.control().SetBG(page, 0);
  EXPECT_EQ(Src(page), odd);
}

TEST_F(WallPaperTest, ListShowsNamesAfterTheLastSeparator) {
  RecordingDocument page = Page();
  for (const std::u16string p : {u"plain.png", u"/a/b/c.png", u"/ends/with/"}) {
    WallPaperEntry e;
    e.path = p;
    f.state().wallpapers.push_back(e);
  }
  wallpaper::RenderWallPaperList(f.control().context(), page);
  EXPECT_EQ(U8(page[u"wplist"].outer_html.value_or(u"")), U8(List({u"plain.png", u"c.png", u""})));

  // No "wplist" element: nothing is written.
  RecordingDocument bare({u"bgimg"});
  wallpaper::RenderWallPaperList(f.control().context(), bare);
  EXPECT_EQ(bare.TotalWrites(), 0);
}

TEST_F(WallPaperTest, SetBGAppliesPictureAndSetOptions) {
  RecordingDocument page = Page();
  const std::u16string a = Picture("a.png"), b = Picture("b.png");
  f.control().AddWallPaper(page, a);
  f.control().AddWallPaper(page, b);
  f.control().SetCalender(page, 2009, 2);
  ASSERT_EQ(f.state().wallpapers.size(), 2u);
  WallPaperEntry& wa = f.state().wallpapers[0];
  WallPaperEntry& wb = f.state().wallpapers[1];
  wa.options.menu_font_size = -1;
  wb.options.menu_font_size = 16;
  wb.options.sat_day_color = 12;  // Lime
  wb.options.calender_font = u"Courier";
  wb.options.link_item_num = 4;

  f.state().options.menu_font_size = 14;
  f.control().SetBG(page, 0);
  EXPECT_EQ(f.state().current_wallpaper, 0);
  EXPECT_EQ(Src(page), a);
  EXPECT_EQ(f.state().options.menu_font_size, 14);
  EXPECT_TRUE(ConfigHas(u"FontSize=14"));
  EXPECT_TRUE(ConfigHas(u"WPNo=0"));

  f.control().SetBG(page, 1);
  EXPECT_EQ(f.state().current_wallpaper, 1);
  EXPECT_EQ(Src(page), b);
  const PageOptions& g = f.state().options;
  EXPECT_EQ(g.menu_font_size, 16);
  EXPECT_EQ(g.sat_day_color, 12);
  EXPECT_EQ(g.calender_font, u"Courier");
  EXPECT_EQ(g.link_item_num, 4);
  EXPECT_EQ(g.calender_font_size, 20);  // unset: kept
  EXPECT_EQ(g.menu_font, u"ＭＳ ゴシック");
  EXPECT_TRUE(ConfigHas(u"FontSize=16"));
  EXPECT_TRUE(ConfigHas(u"WPNo=1"));
  // The calendar was redrawn for the remembered month with the new options.
  const std::string cal = U8(page[u"calender"].inner_html.value_or(u""));
  EXPECT_NE(cal.find("<b id=\"day6\" style=\"color:Lime\">SAT</b>"), std::string::npos);
  EXPECT_NE(cal.find("font-family:Courier"), std::string::npos);
  EXPECT_NE(cal.find("ChangeDate(document,2009,2,28)"), std::string::npos);
  // Each applied wallpaper's own file was rewritten from its entry.
  f.Restart();
  LoadWallPaperList(f.control().store(), f.state());
  ASSERT_EQ(f.state().wallpapers.size(), 2u);
  EXPECT_EQ(f.state().wallpapers[0].options.menu_font_size, -1);
  EXPECT_EQ(f.state().wallpapers[1].options.menu_font_size, 16);
  EXPECT_EQ(f.state().wallpapers[1].options.sat_day_color, 12);
}

TEST_F(WallPaperTest, SetBGCopiesTheWallpapersWindowLayout) {
  const std::u16string a = Picture("a.png");
  f.control().AddWallPaper(f.doc(), a);
  WndRecord cal;
  cal.name = u"calender";
  cal.hash = StringHash(cal.name);
  cal.x = 321;
  cal.y = 45;
  cal.visibility = 1;
  WndRecord gone = cal;
  gone.name = u"nosuchwindow";
  gone.hash = StringHash(gone.name);
  ASSERT_EQ(f.state().wallpapers.size(), 1u);
  f.state().wallpapers[0].windows = {cal, gone};
  f.state().windows = {gone};

  f.control().SetBG(f.doc(), 0);
  // Copied, then pruned against the page, both lists.
  ASSERT_EQ(f.state().windows.size(), 1u);
  EXPECT_EQ(f.state().windows[0], cal);
  ASSERT_EQ(f.state().wallpapers[0].windows.size(), 1u);
  EXPECT_TRUE(ConfigHas(u"WndName0=calender"));
  EXPECT_TRUE(ConfigHas(u"WndPos.x0=321"));
  const auto own = f.Records("wp/" + U8(KeyHex(f.state().wallpapers[0].key)));
  EXPECT_NE(std::find(own.begin(), own.end(), u"WndPos.y0=45"), own.end());
  EXPECT_EQ(std::find(own.begin(), own.end(), u"WndName1=nosuchwindow"), own.end());
  EXPECT_NE(f.Html(u"bgimg").find(U8(a)), std::string::npos);
  EXPECT_NE(f.Html(u"calender").find("321px"), std::string::npos) << f.Html(u"calender");
}

TEST_F(WallPaperTest, AFirstWallpaperTakesTheLayoutShownWithEachWindowsOwnOptions) {
  // The user arranges the page before there is any wallpaper: the calendar
  // moved and hidden, the schedule in its own Serif and Gray.
  f.control().InitPage(f.doc());
  f.control().SetWndPos(u"calender", 321, 45, 0);
  f.control().SetWndPos(u"schedule", 600, 70, 1);
  f.control().ChangeWindowOption(f.doc(), u"schedule", u"Default", 1);
  f.control().ChangeWindowOption(f.doc(), u"schedule", u"TextColor", 1);  // Black -> Gray
  f.ui().QueueFont(FontChoice{u"Serif", 17});
  f.control().ChangeWindowOption(f.doc(), u"schedule", u"Font", 0);
  const WndList arranged = f.state().windows;
  ASSERT_EQ(arranged.size(), 2u);

  f.control().AddWallPaper(f.doc(), Picture("a.png"));
  f.control().SetBG(f.doc(), 0);
  // Nothing the user set is dropped: the wallpaper starts from that layout.
  EXPECT_EQ(f.state().windows, arranged);
  EXPECT_EQ(f.state().wallpapers[0].windows, arranged);
  EXPECT_TRUE(ConfigHas(u"WndName1=schedule"));
  EXPECT_TRUE(ConfigHas(u"WndFaceName1=Serif"));
  const auto own = f.Records("wp/" + U8(KeyHex(f.state().wallpapers[0].key)));
  EXPECT_NE(std::find(own.begin(), own.end(), u"WndPos.x0=321"), own.end());
  EXPECT_NE(std::find(own.begin(), own.end(), u"WndTextColor1=4"), own.end());
  // The page shows it too: the schedule keeps its own font.
  EXPECT_NE(f.Html(u"schedule").find("Serif"), std::string::npos) << f.Html(u"schedule");

  // And so does a restart.
  f.Restart();
  f.control().InitPage(f.doc());
  EXPECT_EQ(f.state().windows, arranged);
  EXPECT_NE(f.Html(u"calender").find("321px"), std::string::npos) << f.Html(u"calender");
  EXPECT_NE(f.Html(u"calender").find("hidden"), std::string::npos) << f.Html(u"calender");
  EXPECT_NE(f.Html(u"schedule").find("Serif"), std::string::npos) << f.Html(u"schedule");
}

TEST_F(WallPaperTest, ALaterWallpaperStartsFromTheLayoutShownAndEachKeepsItsOwn) {
  f.control().InitPage(f.doc());
  f.control().AddWallPaper(f.doc(), Picture("a.png"));
  f.control().AddWallPaper(f.doc(), Picture("b.png"));
  f.control().SetBG(f.doc(), 0);
  f.control().SetWndPos(u"memo", 10, 20, 1);
  f.control().SetBG(f.doc(), 1);  // b has none yet: a's layout, as shown
  ASSERT_EQ(f.state().wallpapers[1].windows.size(), 1u);
  EXPECT_EQ(f.state().wallpapers[1].windows[0].x, 10);
  f.control().SetWndPos(u"memo", 30, 40, 1);  // b's own from now on
  f.control().SetBG(f.doc(), 0);
  ASSERT_EQ(f.state().windows.size(), 1u);
  EXPECT_EQ(f.state().windows[0].x, 10);
  f.control().SetBG(f.doc(), 1);
  EXPECT_EQ(f.state().windows[0].x, 30);
  EXPECT_NE(f.Html(u"memo").find("30px"), std::string::npos) << f.Html(u"memo");
}

TEST_F(WallPaperTest, SetBGOutOfRangeStillPrunesAndSaves) {
  RecordingDocument page = Page();
  f.control().AddWallPaper(page, Picture("a.png"));
  f.control().SetBG(page, 0);
  WndRecord gone;
  gone.name = u"nosuchwindow";
  gone.hash = StringHash(gone.name);
  f.state().windows.push_back(gone);
  ASSERT_EQ(f.state().wallpapers.size(), 1u);
  f.state().wallpapers[0].windows.push_back(gone);
  const int writes = page[u"bgimg"].writes;
  for (std::int32_t no : {1, -1, 1000, -2147483647 - 1}) f.control().SetBG(page, no);
  EXPECT_EQ(page[u"bgimg"].writes, writes);
  EXPECT_EQ(f.state().current_wallpaper, 0);
  EXPECT_TRUE(f.state().windows.empty());
  EXPECT_TRUE(f.state().wallpapers[0].windows.empty());
}

TEST_F(WallPaperTest, MissingBgImgLeavesTheCurrentWallpaper) {
  RecordingDocument page({u"wplist", u"calender"});
  f.control().AddWallPaper(page, Picture("a.png"));
  ASSERT_EQ(f.state().wallpapers.size(), 1u);
  f.state().wallpapers[0].options.menu_font_size = 22;
  f.control().SetBG(page, 0);
  EXPECT_EQ(f.state().current_wallpaper, -1);
  EXPECT_EQ(f.state().options.menu_font_size, 13);
}

TEST_F(WallPaperTest, RemoveBeforeTheCurrentKeepsShowingIt) {
  RecordingDocument page = Page();
  const std::u16string a = Picture("a.png"), b = Picture("b.png"), c = Picture("c.png"),
                       d = Picture("d.png");
  for (const auto& p : {a, b, c, d}) f.control().AddWallPaper(page, p);
  f.control().SetBG(page, 2);
  const int writes = page[u"bgimg"].writes;
  f.control().RemoveWallPaper(page, 0);
  ASSERT_EQ(f.state().wallpapers.size(), 3u);
  EXPECT_EQ(f.state().current_wallpaper, 1);
  ASSERT_NE(f.state().CurrentWallPaper(), nullptr);
  EXPECT_EQ(f.state().CurrentWallPaper()->path, c);
  EXPECT_EQ(page[u"bgimg"].writes, writes);  // the background did not change
  EXPECT_TRUE(ConfigHas(u"WPNo=1"));
  EXPECT_EQ(f.Records("wplist"), WpList());
  EXPECT_EQ(U8(page[u"wplist"].outer_html.value_or(u"")), U8(List({u"b.png", u"c.png", u"d.png"})));
  // Removing one after the current changes nothing else.
  f.control().RemoveWallPaper(page, 2);
  EXPECT_EQ(f.state().current_wallpaper, 1);
  EXPECT_EQ(page[u"bgimg"].writes, writes);
  // Out of range: nothing at all.
  const std::string list = f.FileBytes("wplist");
  for (std::int32_t no : {-1, 2, 99}) f.control().RemoveWallPaper(page, no);
  EXPECT_EQ(f.state().wallpapers.size(), 2u);
  EXPECT_EQ(f.FileBytes("wplist"), list);
  EXPECT_TRUE(f.Messages().empty());
}

// The last wallpaper current and one before it removed: the index is no
// longer below the count, so a new one is drawn and applied.
TEST_F(WallPaperTest, RemoveBeforeTheLastCurrentDrawsAnother) {
  RecordingDocument page = Page();
  const std::u16string a = Picture("a.png"), b = Picture("b.png"), c = Picture("c.png");
  for (const auto& p : {a, b, c}) f.control().AddWallPaper(page, p);
  f.control().SetBG(page, 2);
  const int writes = page[u"bgimg"].writes;
  f.control().RemoveWallPaper(page, 0);
  ASSERT_EQ(f.state().wallpapers.size(), 2u);
  EXPECT_GT(page[u"bgimg"].writes, writes);  // applied again
  const std::int32_t now = f.state().current_wallpaper;
  ASSERT_TRUE(now == 0 || now == 1);
  EXPECT_EQ(Src(page), f.state().wallpapers[now].path);
  EXPECT_TRUE(ConfigHas(now == 0 ? u"WPNo=0" : u"WPNo=1"));

  // Without a background element nothing can be applied; the index still
  // names the picture last shown.
  RecordingDocument bare({u"wplist", u"calender"});
  f.control().AddWallPaper(bare, a);
  f.control().SetBG(page, 2);
  f.control().RemoveWallPaper(bare, 0);
  EXPECT_EQ(f.state().current_wallpaper, 1);
  EXPECT_EQ(f.state().CurrentWallPaper()->path, a);
  EXPECT_TRUE(ConfigHas(u"WPNo=1"));
}

TEST_F(WallPaperTest, RemovingTheCurrentChoosesAnotherAtRandom) {
  RecordingDocument page = Page();
  const std::u16string a = Picture("a.png"), b = Picture("b.png"), c = Picture("c.png");
  for (const auto& p : {a, b, c}) f.control().AddWallPaper(page, p);
  f.control().SetBG(page, 1);
  f.control().RemoveWallPaper(page, 1);
  ASSERT_EQ(f.state().wallpapers.size(), 2u);
  ASSERT_NE(f.state().CurrentWallPaper(), nullptr);
  const std::u16string now = f.state().CurrentWallPaper()->path;
  EXPECT_TRUE(now == a || now == c);
  EXPECT_EQ(Src(page), now);

  // The last one of the table, then the only one.
  f.control().SetBG(page, 1);
  f.control().RemoveWallPaper(page, 1);
  EXPECT_EQ(f.state().current_wallpaper, 0);
  EXPECT_EQ(Src(page), a);
  f.control().RemoveWallPaper(page, 0);
  EXPECT_TRUE(f.state().wallpapers.empty());
  EXPECT_EQ(f.state().current_wallpaper, -1);
  EXPECT_EQ(f.state().CurrentWallPaper(), nullptr);
  EXPECT_TRUE(ConfigHas(u"WPNo=-1"));
  // A wallpaper added afterwards does not become current by itself.
  f.control().AddWallPaper(page, b);
  EXPECT_EQ(f.state().CurrentWallPaper(), nullptr);
}

TEST_F(WallPaperTest, RandomChoice) {
  RecordingDocument page = Page();
  f.control().SetBG_Random(page);
  EXPECT_EQ(page.TotalWrites(), 0);
  EXPECT_EQ(f.state().current_wallpaper, -1);

  const std::u16string a = Picture("a.png");
  f.control().AddWallPaper(page, a);
  for (int i = 0; i < 20; ++i) {
    f.control().SetBG_Random(page);
    EXPECT_EQ(f.state().current_wallpaper, 0);
  }
  EXPECT_EQ(Src(page), a);

  // Every wallpaper of three can come up, and only those.
  f.control().AddWallPaper(page, Picture("b.png"));
  f.control().AddWallPaper(page, Picture("c.png"));
  f.control().random().seed(12345);
  std::set<std::int32_t> seen;
  for (int i = 0; i < 60; ++i) {
    f.control().SetBG_Random(page);
    seen.insert(f.state().current_wallpaper);
  }
  EXPECT_EQ(seen, (std::set<std::int32_t>{0, 1, 2}));

  // The choice is the control's next output scaled onto the table: seeded
  // with 5489 it draws 0xd091bb5c, 0x22ae9ef6, 0xe7e1faee, which fall at
  // 0.81, 0.14 and 0.91 of the way through it.
  f.control().random().seed(5489);
  std::vector<std::int32_t> chosen;
  for (int i = 0; i < 3; ++i) {
    f.control().SetBG_Random(page);
    chosen.push_back(f.state().current_wallpaper);
  }
  EXPECT_EQ(chosen, (std::vector<std::int32_t>{2, 0, 2}));
}

TEST_F(WallPaperTest, ReAddingAPathRestoresItsKeyOptionsAndLayout) {
  RecordingDocument page = Page();
  const std::u16string a = Picture("a.png"), b = Picture("b.png");
  f.control().AddWallPaper(page, a);
  f.control().AddWallPaper(page, b);
  ASSERT_EQ(f.state().wallpapers.size(), 2u);
  WallPaperEntry& wa = f.state().wallpapers[0];
  wa.options.menu_font_size = 17;
  wa.options.calender_font = u"Serif";
  WndRecord memo;
  memo.name = u"memo";
  memo.hash = StringHash(memo.name);
  memo.x = 12;
  memo.y = 34;
  memo.visibility = 1;
  DefaultWndStyle(f.state().options, memo);
  wa.windows = {memo};
  SaveWallPaperSettings(f.control().store(), wa);
  const WallPaperEntry before = wa;

  f.control().RemoveWallPaper(page, 0);
  ASSERT_EQ(f.state().wallpapers.size(), 1u);
  EXPECT_TRUE(f.FileExists("wp/" + U8(KeyHex(before.key))));
  f.control().AddWallPaper(page, a);
  ASSERT_EQ(f.state().wallpapers.size(), 2u);
  const WallPaperEntry& again = f.state().wallpapers[1];
  EXPECT_EQ(again.key, before.key);
  EXPECT_EQ(again.options, before.options);
  EXPECT_EQ(again.windows, before.windows);
  EXPECT_EQ(f.Records("wplist"), WpList());

  // Applying it brings the layout and options onto the page.
  f.control().SetBG(page, 1);
  EXPECT_EQ(f.state().options.menu_font_size, 17);
  ASSERT_EQ(f.state().windows.size(), 1u);
  EXPECT_EQ(f.state().windows[0].x, 12);
}

TEST_F(WallPaperTest, SurvivesARestart) {
  const std::u16string a = Picture("a.png"), b = Picture("b.png");
  f.control().AddWallPaper(f.doc(), a);
  f.control().AddWallPaper(f.doc(), b);
  f.control().SetBG(f.doc(), 1);
  f.Restart();
  f.control().InitPage(f.doc());
  ASSERT_EQ(f.state().wallpapers.size(), 2u);
  EXPECT_EQ(f.state().current_wallpaper, 1);
  EXPECT_NE(f.Html(u"bgimg").find(U8(b)), std::string::npos);
  const std::string list = f.Html(u"wplist");
  EXPECT_NE(list.find("<option value=\"0\">a.png</option>"), std::string::npos) << list;
  EXPECT_NE(list.find("<option value=\"1\">b.png</option>"), std::string::npos) << list;
}

}  // namespace
}  // namespace vellumine
