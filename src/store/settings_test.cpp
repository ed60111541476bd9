#include "store/settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "page/text.h"
#include "platform/posix_platform.h"
#include "store/records.h"
#include "tests/support.h"

namespace vellumine {
namespace {

namespace fs = std::filesystem;
using testing::EncodeRecords;
using testing::TempDir;

std::string Count(std::int32_t n) {
  std::string out;
  const auto u = static_cast<std::uint32_t>(n);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(u >> shift));
  return out;
}

class SettingsTest : public ::testing::Test {
 protected:
  SettingsTest()
      : store_(platform_, Utf8ToUtf16((dir_.path() / "data").string()) + u"/", &random_) {}

  fs::path Data(const std::string& relative) const { return dir_.path() / "data" / relative; }
  void WriteBytes(const std::string& relative, const std::string& bytes) {
    fs::create_directories(Data(relative).parent_path());
    std::ofstream(Data(relative), std::ios::binary) << bytes;
  }
  void WriteRecords(const std::string& relative, const std::vector<std::u16string>& records) {
    WriteBytes(relative, EncodeRecords(records));
  }
  std::string Bytes(const std::string& relative) const {
    std::ifstream in(Data(relative), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::vector<std::u16string> Records(const std::string& relative) const {
    const std::string bytes = Bytes(relative);
    RecordReader reader(bytes);
    std::vector<std::u16string> out;
    std::u16string r;
    while (reader.Next(&r)) out.push_back(r);
    return out;
  }
  // A window as the readers make it from the given global options.
  static WndRecord Window(const PageOptions& global, std::u16string name) {
    WndRecord w;
    DefaultWndStyle(global, w);
    w.hash = StringHash(name);
    w.name = std::move(name);
    return w;
  }

  TempDir dir_;
  PosixPlatform platform_;
  std::mt19937 random_{12345};
  Store store_;
};

TEST_F(SettingsTest, SavedConfigIsByteExact) {
  ControlState state;
  WndRecord w = Window(state.options, u"calender");
  w.x = 10;
  w.y = -20;
  w.visibility = 1;
  state.windows.push_back(w);
  ASSERT_TRUE(SaveConfig(store_, state));
  const std::string bytes = Bytes("config");
  EXPECT_EQ(bytes.substr(0, 18), std::string("\x07\0\0\0W\0P\0N\0o\0=\0-\0"
                                             "1\0",
                                             18));
  EXPECT_EQ(bytes, EncodeRecords({u"WPNo=-1",
                                  u"WeekDayColor=0",
                                  u"SatDayColor=1",
                                  u"SunDayColor=2",
                                  u"ShadowColor=6",
                                  u"MenuTextColor=3",
                                  u"CalenderFaceName=ＭＳ ゴシック",
                                  u"CalenderFontSize=20",
                                  u"LinkItemNum=10",
                                  u"MemoItemNum=10",
                                  u"FaceName=ＭＳ ゴシック",
                                  u"FontSize=13",
                                  u"WndName0=calender",
                                  u"WndPos.x0=10",
                                  u"WndPos.y0=-20",
                                  u"Visibility0=1",
                                  u"WndDefault0=0",
                                  u"WndTextColor0=3",
                                  u"WndFaceName0=ＭＳ ゴシック",
                                  u"WndFontSize0=13"}));
  EXPECT_FALSE(store_.TakeFailure());
}

TEST_F(SettingsTest, ConfigRoundTrip) {
  ControlState saved;
  saved.current_wallpaper = 5;
  saved.options = {4, 5, 7, 8, 9, u"明朝", 22, 12, 6, u"Arial", 15};
  for (int i = 0; i < 3; ++i) {
    WndRecord w = Window(saved.options, u"win" + std::u16string(1, u'0' + i));
    w.x = -i * 100;
    w.y = i * 7;
    w.visibility = i % 2;
    w.individual = 1;
    w.text_color = 10 + i;
    w.font = u"Font" + std::u16string(1, u'0' + i);
    w.font_size = 20 + i;
    saved.windows.push_back(w);
  }
  ASSERT_TRUE(SaveConfig(store_, saved));
  ControlState loaded;
  LoadConfig(store_, loaded);
  EXPECT_EQ(loaded.current_wallpaper, 5);
  EXPECT_EQ(loaded.options, saved.options);
  EXPECT_EQ(loaded.windows, saved.windows);
}

TEST_F(SettingsTest, MissingConfigKeepsDefaults) {
  ControlState state;
  state.windows.push_back(Window(state.options, u"x"));
  const ControlState before = state;
  LoadConfig(store_, state);
  EXPECT_EQ(state.options, before.options);
  EXPECT_EQ(state.windows, before.windows);
  EXPECT_EQ(state.current_wallpaper, -1);
}

TEST_F(SettingsTest, ConfigQuirks) {
  {
    WriteRecords("config", {u"FontSize=16"});
    ControlState state;
    LoadConfig(store_, state);
    PageOptions expected;
    expected.menu_font_size = 16;
    EXPECT_EQ(state.options, expected);
    EXPECT_EQ(state.current_wallpaper, -1);
    EXPECT_TRUE(state.windows.empty());
  }
  {
    WriteRecords("config", {u"FontSize=12px", u"LinkItemNum=+12", u"MemoItemNum=-3",
                            u"ShadowColor=", u"Unknown=4", u"Font", u"WPNo=2", u"WPNo=3", u""});
    ControlState state;
    LoadConfig(store_, state);
    EXPECT_EQ(state.options.menu_font_size, 12);
    EXPECT_EQ(state.options.link_item_num, 12);
    EXPECT_EQ(state.options.memo_item_num, -3);
    EXPECT_EQ(state.options.shadow_color, 0);
    // The last value wins; an empty record holds no value and changes nothing.
    EXPECT_EQ(state.current_wallpaper, 3);
  }
  {
    // A zero-count record is skipped over; a truncated last record and
    // everything after a damaged count are not read.
    WriteBytes("config", EncodeRecords({u"FontSize=20"}) + Count(0) +
                             EncodeRecords({u"SatDayColor=9"}) + Count(-5) +
                             EncodeRecords({u"SunDayColor=11"}));
    ControlState state;
    LoadConfig(store_, state);
    EXPECT_EQ(state.options.menu_font_size, 20);
    EXPECT_EQ(state.current_wallpaper, -1);
    EXPECT_EQ(state.options.sat_day_color, 9);
    EXPECT_EQ(state.options.sun_day_color, 2);
  }
  {
    std::string bytes = EncodeRecords({u"WeekDayColor=7", u"FontSize=30"});
    bytes.resize(bytes.size() - 3);
    WriteBytes("config", bytes);
    ControlState state;
    LoadConfig(store_, state);
    EXPECT_EQ(state.options.week_day_color, 7);
    EXPECT_EQ(state.options.menu_font_size, 13);
  }
}

TEST_F(SettingsTest, ConfigWindowRecords) {
  WriteRecords("config", {u"FaceName=Serif", u"FontSize=17", u"MenuTextColor=8", u"LinkItemNum=6",
                          u"WndName0=first", u"WndFontSize0=25", u"WndPos.x=5",
                          u"WndFaceName0=Mono", u"WndName3=fourth", u"WndPos.y3=44",
                          u"WndName-1=neg", u"WndName1000=far", u"Visibility999x=1"});
  ControlState state;
  LoadConfig(store_, state);
  // Indices -1 and 1000 are skipped; 999 is the last a list can hold.
  ASSERT_EQ(state.windows.size(), 1000u);
  EXPECT_EQ(state.windows[999].visibility, 1);
  EXPECT_EQ(state.windows[999].name, u"");
  state.windows.resize(4);
  const PageOptions& g = state.options;
  WndRecord first = Window(g, u"first");
  first.font_size = 25;  // kept when only the face changes
  first.x = 5;
  first.font = u"Mono";
  WndRecord fourth = Window(g, u"fourth");
  fourth.y = 44;
  EXPECT_EQ(state.windows[0], first);
  EXPECT_EQ(state.windows[1], Window(g, u""));
  EXPECT_EQ(state.windows[2], Window(g, u""));
  EXPECT_EQ(state.windows[3], fourth);
  // Defaults came from the options read before them from the same file.
  EXPECT_EQ(fourth.font, u"Serif");
  EXPECT_EQ(fourth.font_size, 17);
  EXPECT_EQ(fourth.text_color, 8);
  EXPECT_EQ(fourth.item_num, 6);
}

TEST_F(SettingsTest, WindowNameForAHigherIndexExtendsTheList) {
  ControlState state;
  state.windows.push_back(Window(state.options, u"kept"));
  state.windows[0].x = 3;
  const WndRecord kept = state.windows[0];
  WriteRecords("config", {u"WndName3=late"});
  LoadConfig(store_, state);
  ASSERT_EQ(state.windows.size(), 4u);
  EXPECT_EQ(state.windows[0], kept);
  EXPECT_EQ(state.windows[3], Window(state.options, u"late"));
  EXPECT_EQ(state.windows[3].hash, StringHash(u"late"));
}

TEST_F(SettingsTest, LongFaceNamesAreCut) {
  const std::u16string long_face(40, u'F');
  // 30 units, then a pair that would straddle the limit.
  const std::u16string pair_face = std::u16string(30, u'G') + u"\U0001F600";
  WriteRecords("config", {u"FaceName=" + long_face, u"CalenderFaceName=" + pair_face, u"WndName0=w",
                          u"WndFaceName0=" + long_face});
  ControlState state;
  LoadConfig(store_, state);
  EXPECT_EQ(state.options.menu_font, std::u16string(31, u'F'));
  EXPECT_EQ(state.options.calender_font, std::u16string(30, u'G'));
  ASSERT_EQ(state.windows.size(), 1u);
  EXPECT_EQ(state.windows[0].font, std::u16string(31, u'F'));
}

WallPaperEntry Wallpaper(std::u16string path) {
  WallPaperEntry e;
  e.key.first = StringHash(path);
  e.path = std::move(path);
  return e;
}

TEST_F(SettingsTest, WallPaperListAndSettingsRoundTrip) {
  ControlState saved;
  saved.wallpapers.push_back(Wallpaper(u"/pics/海.jpg"));
  saved.wallpapers.push_back(Wallpaper(u"/pics/odd]name].png"));
  saved.wallpapers[0].options.shadow_color = 12;
  saved.wallpapers[0].options.menu_font = u"Sans";
  WndRecord w = Window(saved.options, u"memolist");
  w.x = 40;
  w.individual = 1;
  saved.wallpapers[0].windows.push_back(w);
  for (WallPaperEntry& e : saved.wallpapers) ASSERT_TRUE(SaveWallPaperSettings(store_, e));
  ASSERT_TRUE(SaveWallPaperList(store_, saved));
  EXPECT_NE(saved.wallpapers[0].key.second, 0u);

  const std::u16string key0 = KeyHex(saved.wallpapers[0].key);
  EXPECT_EQ(Records("wplist"), (std::vector<std::u16string>{
                                   u"[/pics/海.jpg]", u"Hash=" + key0, u"[/pics/odd]name].png]",
                                   u"Hash=" + KeyHex(saved.wallpapers[1].key)}));
  const std::vector<std::u16string> file = Records("wp/" + Utf16ToUtf8(key0));
  ASSERT_EQ(file.size(), 1u + 11u + 8u);
  EXPECT_EQ(file[0], u"[/pics/海.jpg]");
  EXPECT_EQ(file[1], u"WeekDayColor=-1");
  EXPECT_EQ(file[4], u"ShadowColor=12");
  EXPECT_EQ(file[6], u"CalenderFaceName=");
  EXPECT_EQ(file[10], u"FaceName=Sans");
  EXPECT_EQ(file[12], u"WndName0=memolist");

  ControlState loaded;
  ASSERT_EQ(LoadWallPaperList(store_, loaded), 2);
  for (int i = 0; i < 2; ++i) {
    EXPECT_EQ(loaded.wallpapers[i].path, saved.wallpapers[i].path);
    EXPECT_EQ(loaded.wallpapers[i].key, saved.wallpapers[i].key);
    EXPECT_EQ(loaded.wallpapers[i].options, saved.wallpapers[i].options);
    EXPECT_EQ(loaded.wallpapers[i].windows, saved.wallpapers[i].windows);
  }
}

TEST_F(SettingsTest, WallPaperListQuirks) {
  // Upper-case hex, a section without "Hash=", an unchecked first head, a
  // head too short to hold a path, unknown records.
  WriteRecords("wplist", {u"x/first.png]", u"Hash=0000ABCD000000EF", u"junk", u"[]", u"[",
                          u"Hash=1111111111111111", u"[/second.png]", u"Other=1"});
  ControlState state;
  state.wallpapers.push_back(Wallpaper(u"old"));
  ASSERT_EQ(LoadWallPaperList(store_, state), 3);
  EXPECT_EQ(state.wallpapers[0].path, u"/first.png");
  EXPECT_EQ(state.wallpapers[0].key, (ItemKey{0xabcd, 0xef}));
  // "[]" holds the empty path; "[" holds none and is skipped with its records.
  EXPECT_EQ(state.wallpapers[1].path, u"");
  EXPECT_EQ(state.wallpapers[1].key.first, 0u);
  EXPECT_EQ(state.wallpapers[2].path, u"/second.png");
  EXPECT_EQ(state.wallpapers[2].key.first, StringHash(u"/second.png"));
}

TEST_F(SettingsTest, SectionWithoutHashFindsItsStoredFile) {
  WallPaperEntry stored = Wallpaper(u"/pics/b.png");
  stored.options.link_item_num = 7;
  ASSERT_TRUE(SaveWallPaperSettings(store_, stored));
  WriteRecords("wplist", {u"[/pics/a.png]", u"Hash=0000000100000002", u"[/pics/b.png]"});
  ControlState state;
  ASSERT_EQ(LoadWallPaperList(store_, state), 2);
  EXPECT_EQ(state.wallpapers[1].key, stored.key);
  EXPECT_EQ(state.wallpapers[1].options.link_item_num, 7);
  // The first has a key but no file: nothing set, nothing created.
  EXPECT_EQ(state.wallpapers[0].key, (ItemKey{1, 2}));
  EXPECT_EQ(state.wallpapers[0].options, PageOptions::Unset());
  EXPECT_FALSE(fs::exists(Data("wp/0000000100000002")));
}

TEST_F(SettingsTest, WallPaperListStopsAtCapacity) {
  std::vector<std::u16string> records;
  for (int i = 0; i < kMaxWallPapers + 5; ++i) {
    records.push_back(u"[p" + Utf8ToUtf16(std::to_string(i)) + u"]");
    records.push_back(u"Hash=00000001" + Utf8ToUtf16(std::to_string(10000000 + i)));
  }
  WriteRecords("wplist", records);
  ControlState state;
  EXPECT_EQ(LoadWallPaperList(store_, state), kMaxWallPapers);
  EXPECT_EQ(state.wallpapers.back().path, u"p999");
}

TEST_F(SettingsTest, MissingWallPaperListEmptiesTheTable) {
  ControlState state;
  state.wallpapers.push_back(Wallpaper(u"x"));
  EXPECT_EQ(LoadWallPaperList(store_, state), 0);
  EXPECT_TRUE(state.wallpapers.empty());
  WriteRecords("wplist", {});
  EXPECT_EQ(LoadWallPaperList(store_, state), 0);
}

TEST_F(SettingsTest, SettingsFileSections) {
  WallPaperEntry e = Wallpaper(u"/p/x.png");
  e.key.second = 0x42;
  ControlState state;
  state.options.link_item_num = 9;
  // Only the head: found, nothing set.
  WriteRecords("wp/" + Utf16ToUtf8(KeyHex(e.key)), {u"[/p/x.png]"});
  e.options.week_day_color = 3;
  e.windows.push_back(Window(state.options, u"w"));
  EXPECT_EQ(LoadWallPaperSettings(store_, state, e), 1);
  EXPECT_EQ(e.options, PageOptions::Unset());
  EXPECT_TRUE(e.windows.empty());

  // Records before the matching head and after the next head are ignored,
  // and so is "WPNo".
  WriteRecords("wp/" + Utf16ToUtf8(KeyHex(e.key)),
               {u"[/p/other.png]", u"FontSize=11", u"[/p/x.png]", u"WPNo=4", u"FontSize=12",
                u"WndName2=w2", u"[/p/y.png]", u"SatDayColor=5"});
  EXPECT_EQ(LoadWallPaperSettings(store_, state, e), 1);
  PageOptions expected = PageOptions::Unset();
  expected.menu_font_size = 12;
  EXPECT_EQ(e.options, expected);
  ASSERT_EQ(e.windows.size(), 3u);
  // Window defaults come from the global options.
  EXPECT_EQ(e.windows[2], Window(state.options, u"w2"));
  EXPECT_EQ(e.windows[2].item_num, 9);

  WriteRecords("wp/" + Utf16ToUtf8(KeyHex(e.key)), {u"[/p/z.png]", u"FontSize=11", u""});
  EXPECT_EQ(LoadWallPaperSettings(store_, state, e), 0);
  EXPECT_EQ(e.options, PageOptions::Unset());
}

TEST_F(SettingsTest, SameHashWallPapersKeepTheirOwnFiles) {
  // Different paths with one StringHash.
  const std::u16string a = u"/pics/A\u05D6";
  const std::u16string b = u"/pics/BA";
  ASSERT_EQ(StringHash(a), StringHash(b));
  WallPaperEntry wa = Wallpaper(a);
  WallPaperEntry wb = Wallpaper(b);
  wa.options.sun_day_color = 15;
  wb.options.sun_day_color = 16;
  ASSERT_TRUE(SaveWallPaperSettings(store_, wa));
  ASSERT_TRUE(SaveWallPaperSettings(store_, wb));
  EXPECT_NE(wa.key.second, wb.key.second);
  EXPECT_EQ(KeyHex(wa.key).substr(0, 8), KeyHex(wb.key).substr(0, 8));

  // Registered again: each finds its own file by its first record.
  ControlState state;
  for (const auto& [path, color, second] :
       {std::tuple{b, 16, wb.key.second}, std::tuple{a, 15, wa.key.second}}) {
    WallPaperEntry again = Wallpaper(path);
    EXPECT_EQ(LoadWallPaperSettings(store_, state, again), 1);
    EXPECT_EQ(again.key.second, second);
    EXPECT_EQ(again.options.sun_day_color, color);
  }
}

TEST_F(SettingsTest, PathThatBeginsAnotherDoesNotTakeItsFile) {
  // Both paths hash alike and one begins the other.
  const std::u16string longer = u"/p/a.png\u041f\u0121\u02cc";
  const std::u16string shorter = u"/p/a.png";
  ASSERT_EQ(StringHash(longer), StringHash(shorter));
  WallPaperEntry first = Wallpaper(longer);
  first.options.memo_item_num = 8;
  ASSERT_TRUE(SaveWallPaperSettings(store_, first));
  const std::string before = Bytes("wp/" + Utf16ToUtf8(KeyHex(first.key)));

  WallPaperEntry other = Wallpaper(shorter);
  ControlState state;
  EXPECT_EQ(LoadWallPaperSettings(store_, state, other), 0);
  EXPECT_NE(other.key, first.key);
  ASSERT_TRUE(SaveWallPaperSettings(store_, other));
  EXPECT_EQ(Bytes("wp/" + Utf16ToUtf8(KeyHex(first.key))), before);
}

TEST_F(SettingsTest, RemovedAndAddedAgainComesBackWithItsSettings) {
  ControlState state;
  state.wallpapers.push_back(Wallpaper(u"/pics/c.png"));
  state.wallpapers[0].options.calender_font_size = 26;
  state.wallpapers[0].windows.push_back(Window(state.options, u"schedule"));
  ASSERT_TRUE(SaveWallPaperSettings(store_, state.wallpapers[0]));
  ASSERT_TRUE(SaveWallPaperList(store_, state));
  const WallPaperEntry old = state.wallpapers[0];
  state.wallpapers.clear();
  ASSERT_TRUE(SaveWallPaperList(store_, state));
  EXPECT_TRUE(Records("wplist").empty());
  EXPECT_TRUE(fs::exists(Data("wp/" + Utf16ToUtf8(KeyHex(old.key)))));

  WallPaperEntry again = Wallpaper(u"/pics/c.png");
  EXPECT_EQ(LoadWallPaperSettings(store_, state, again), 1);
  EXPECT_EQ(again.key, old.key);
  EXPECT_EQ(again.options, old.options);
  EXPECT_EQ(again.windows, old.windows);
}

TEST_F(SettingsTest, StrayFilesInTheSettingsFolderAreNotTaken) {
  WallPaperEntry e = Wallpaper(u"/p/q.png");
  const std::string hex = Utf16ToUtf8(KeyHex({e.key.first, 0})).substr(0, 8);
  // Names that begin with the hash but could not have been made by this
  // system: too short, upper case, a zero half, trailing text.
  for (const std::string& name : {hex, hex + "ABCDEF01", hex + "00000000", hex + "abcdef01.bak"}) {
    WriteRecords("wp/" + name, {u"[/p/q.png]", u"FontSize=9"});
  }
  ControlState state;
  EXPECT_EQ(LoadWallPaperSettings(store_, state, e), 0);
  EXPECT_NE(e.key.second, 0u);
  EXPECT_NE(Utf16ToUtf8(KeyHex(e.key)), hex + "abcdef01");
}

TEST_F(SettingsTest, UnwritableFolderFailsWithoutCrash) {
  // A data folder below a regular file can't be created, even by root.
  std::ofstream(dir_.path() / "plain") << "x";
  Store store(platform_, Utf8ToUtf16((dir_.path() / "plain" / "data").string()) + u"/");
  ControlState state;
  state.wallpapers.push_back(Wallpaper(u"/p.png"));
  EXPECT_FALSE(SaveConfig(store, state));
  EXPECT_FALSE(SaveWallPaperList(store, state));
  EXPECT_FALSE(SaveWallPaperSettings(store, state.wallpapers[0]));
  EXPECT_TRUE(store.TakeFailure());
  LoadConfig(store, state);
  EXPECT_EQ(LoadWallPaperList(store, state), 0);
}

}  // namespace
}  // namespace vellumine
