#include "links/link_store.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "links/links_test_support.h"
#include "store/records.h"
#include "tests/support.h"

namespace vellumine::links {
namespace {

using testing::EncodeRecords;
using testing::Fixture;
using testing::KeyText;
using testing::Paths;

LinkMenu Menu(std::u16string name, ItemKey key, std::int32_t page,
              std::vector<std::u16string> paths) {
  LinkMenu menu;
  menu.name = std::move(name);
  menu.key = key;
  menu.page_num = page;
  for (std::u16string& p : paths) menu.links.push_back({p, StringHash(p)});
  return menu;
}

int Load(Fixture& f) { return LoadLinkMenus(f.control().store(), f.state()); }

TEST(LinkStoreFiles, IndexAndMenuFilesAreWrittenByteForByteAndReadBack) {
  Fixture f;
  const ItemKey docs{0x1a2b3c4d, 0x00ff00ff};
  const ItemKey tools{0xdeadbeef, 0x00000001};
  f.state().menus = {Menu(u"Docs", docs, 2, {u"/home/u/a.txt", u"/home/u/b"}),
                     Menu(u"Tools", tools, 0, {})};
  for (LinkMenu& menu : f.state().menus) ASSERT_TRUE(SaveMenuLinks(f.control().store(), menu));
  ASSERT_TRUE(SaveLinkIndex(f.control().store(), f.state()));

  EXPECT_EQ(f.FileBytes("link"),
            EncodeRecords({u"[Docs]", u"Hash=1a2b3c4d00ff00ff", u"PageNum=2", u"[Tools]",
                           u"Hash=deadbeef00000001", u"PageNum=0"}));
  EXPECT_EQ(f.FileBytes("linkmenu/1a2b3c4d00ff00ff"),
            EncodeRecords({u"[/home/u/a.txt]", u"[/home/u/b]"}));
  ASSERT_TRUE(f.FileExists("linkmenu/deadbeef00000001"));
  EXPECT_EQ(f.FileBytes("linkmenu/deadbeef00000001"), "");

  f.Restart();
  ASSERT_EQ(Load(f), 2);
  const auto& menus = f.state().menus;
  ASSERT_EQ(menus.size(), 2u);
  EXPECT_EQ(menus[0].name, u"Docs");
  EXPECT_EQ(menus[0].key, docs);
  EXPECT_EQ(menus[0].page_num, 2);
  EXPECT_EQ(Paths(menus[0]), (std::vector<std::u16string>{u"/home/u/a.txt", u"/home/u/b"}));
  EXPECT_EQ(menus[0].links[1].path_hash, StringHash(u"/home/u/b"));
  EXPECT_EQ(menus[1].name, u"Tools");
  EXPECT_EQ(menus[1].key, tools);
  EXPECT_TRUE(menus[1].links.empty());
}

TEST(LinkStoreFiles, EmptyTableWritesEmptyIndex) {
  Fixture f;
  ASSERT_TRUE(SaveLinkIndex(f.control().store(), f.state()));
  EXPECT_TRUE(f.FileExists("link"));
  EXPECT_EQ(f.FileBytes("link"), "");
}

TEST(LinkStoreFiles, SavingAKeylessMenuAssignsItsSecondHalf) {
  Fixture f;
  LinkMenu menu = Menu(u"New", {0x12345678, 0}, 0, {u"/x"});
  ASSERT_TRUE(SaveMenuLinks(f.control().store(), menu));
  EXPECT_NE(menu.key.second, 0u);
  EXPECT_EQ(menu.key.first, 0x12345678u);
  EXPECT_EQ(f.FileBytes("linkmenu/" + testing::U8(KeyText(menu.key))), EncodeRecords({u"[/x]"}));
}

TEST(LinkStoreLoad, MissingIndexGivesNoMenusAndReplacesTheTable) {
  Fixture f;
  f.state().menus = {Menu(u"Old", {1, 2}, 0, {})};
  EXPECT_EQ(Load(f), 0);
  EXPECT_TRUE(f.state().menus.empty());
}

TEST(LinkStoreLoad, MenuFileSkipsUnbracketedRecordsAfterTheFirst) {
  Fixture f;
  f.WriteRecords("link", {u"[M]", u"Hash=1a2b3c4d00ff00ff", u"PageNum=1"});
  f.WriteRecords("linkmenu/1a2b3c4d00ff00ff", {u"[C:\\a.txt]", u"junk", u"", u"[D:]"});
  ASSERT_EQ(Load(f), 1);
  EXPECT_EQ(Paths(f.state().menus[0]), (std::vector<std::u16string>{u"C:\\a.txt", u"D:"}));
}

TEST(LinkStoreLoad, FirstRecordIsALinkWhateverItBeginsWithAndShortOnesReadEmpty) {
  Fixture f;
  f.WriteRecords("link", {u"x", u"Hash=0000000100000002", u"[", u"Hash=0000000300000004"});
  f.WriteRecords("linkmenu/0000000100000002", {u"abc", u"[", u"[]"});
  f.WriteRecords("linkmenu/0000000300000004", {u"q"});
  ASSERT_EQ(Load(f), 2);
  const auto& menus = f.state().menus;
  EXPECT_EQ(menus[0].name, u"");
  EXPECT_EQ(menus[1].name, u"");
  EXPECT_EQ(Paths(menus[0]), (std::vector<std::u16string>{u"b", u"", u""}));
  EXPECT_EQ(Paths(menus[1]), (std::vector<std::u16string>{u""}));
}

TEST(LinkStoreLoad, SettingLinesUpperCaseHashNegativePageAndLaterLinesWin) {
  Fixture f;
  f.WriteRecords("link", {u"[A&amp;B]", u"PageNum=-3", u"Hash=1A2B3C4D00FF00FF", u"Other=1",
                          u"[Two]", u"PageNum=4", u"PageNum=9x", u"Hash=0000000a0000000b"});
  f.WriteRecords("linkmenu/1a2b3c4d00ff00ff", {u"[/p]"});
  ASSERT_EQ(Load(f), 2);
  const auto& menus = f.state().menus;
  EXPECT_EQ(menus[0].name, u"A&amp;B");
  EXPECT_EQ(menus[0].key, (ItemKey{0x1a2b3c4d, 0x00ff00ff}));
  EXPECT_EQ(menus[0].page_num, -3);
  EXPECT_EQ(Paths(menus[0]), (std::vector<std::u16string>{u"/p"}));
  EXPECT_EQ(menus[1].page_num, 9);
  EXPECT_EQ(menus[1].key, (ItemKey{0xa, 0xb}));
}

TEST(LinkStoreLoad, MenuWithoutHashGetsAFreshKeyAndNoLinks) {
  Fixture f;
  f.WriteRecords("link", {u"[Lost]", u"PageNum=0"});
  ASSERT_EQ(Load(f), 1);
  const LinkMenu& menu = f.state().menus[0];
  EXPECT_EQ(menu.key.first, 0u);
  EXPECT_NE(menu.key.second, 0u);
  EXPECT_TRUE(menu.links.empty());
}

TEST(LinkStoreLoad, MissingMenuFileLeavesTheMenuWithoutLinks) {
  Fixture f;
  f.WriteRecords("link", {u"[A]", u"Hash=0000000100000002"});
  ASSERT_EQ(Load(f), 1);
  EXPECT_TRUE(f.state().menus[0].links.empty());

  LinkMenu menu = Menu(u"B", {5, 6}, 0, {u"/kept"});
  EXPECT_EQ(LoadMenuLinks(f.control().store(), menu), 0);
  EXPECT_EQ(Paths(menu), (std::vector<std::u16string>{u"/kept"}));
}

TEST(LinkStoreLoad, TruncatedRecordEndsTheFile) {
  Fixture f;
  std::string bytes = EncodeRecords({u"[A]", u"Hash=0000000100000002", u"[B]"});
  bytes += EncodeRecords({u"Hash=0000000300000004"}).substr(0, 9);  // count and half a record
  const std::filesystem::path path = f.data() / "link";
  std::filesystem::create_directories(f.data());
  std::ofstream(path, std::ios::binary) << bytes;
  ASSERT_EQ(Load(f), 2);
  EXPECT_EQ(f.state().menus[1].name, u"B");
  EXPECT_EQ(f.state().menus[1].key.first, 0u);  // its Hash line never arrived
}

TEST(LinkStoreLoad, StopsAtTheTableLimits) {
  Fixture f;
  std::vector<std::u16string> index;
  for (int i = 0; i < kMaxLinkMenus + 3; ++i) {
    index.push_back(u"[m" + Utf8ToUtf16(std::to_string(i)) + u"]");
    char hash[32];
    std::snprintf(hash, sizeof hash, "Hash=%08x00000001", i + 1);
    index.push_back(Utf8ToUtf16(hash));
  }
  f.WriteRecords("link", index);
  std::vector<std::u16string> links;
  for (int i = 0; i < kMaxLinks + 5; ++i)
    links.push_back(u"[/l" + Utf8ToUtf16(std::to_string(i)) + u"]");
  f.WriteRecords("linkmenu/0000000100000001", links);

  ASSERT_EQ(Load(f), kMaxLinkMenus);
  ASSERT_EQ(f.state().menus.size(), static_cast<std::size_t>(kMaxLinkMenus));
  EXPECT_EQ(f.state().menus.back().name, u"m99");
  EXPECT_EQ(f.state().menus.back().key, (ItemKey{100, 1}));
  ASSERT_EQ(f.state().menus[0].links.size(), static_cast<std::size_t>(kMaxLinks));
  EXPECT_EQ(f.state().menus[0].links.back().path, u"/l999");
}

}  // namespace
}  // namespace vellumine::links
