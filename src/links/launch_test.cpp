#include "links/launch.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "links/links_test_support.h"
#include "store/records.h"
#include "tests/support.h"

namespace vellumine::links {
namespace {

using testing::Fixture;
using testing::ParsedOuter;

constexpr char16_t kFieldPage[] =
    u"<input type=\"text\" id=\"linkfilename\" name=\"linkfilename\">";

std::string FieldWithValue(const std::u16string& value) {
  std::u16string markup(kFieldPage);
  markup.insert(markup.size() - 1, u" value=\"" + value + u"\"");
  return ParsedOuter(markup, u"linkfilename");
}

std::vector<UiEvent> Picks(Fixture& f) {
  std::vector<UiEvent> out;
  for (const UiEvent& e : f.ui().events()) {
    if (e.kind == UiEvent::Kind::kPick) out.push_back(e);
  }
  return out;
}

TEST(LinkPickers, OpenFileSetsTheFieldAndACancelLeavesIt) {
  Fixture f;
  f.ui().QueuePick(u"/data/list.txt");
  f.control().OpenFile(f.doc());
  EXPECT_EQ(f.Html(u"linkfilename"), FieldWithValue(u"/data/list.txt"));
  f.ui().QueuePick(std::nullopt);
  f.control().OpenFile(f.doc());
  EXPECT_EQ(f.Html(u"linkfilename"), FieldWithValue(u"/data/list.txt"));
  const std::vector<UiEvent> picks = Picks(f);
  ASSERT_EQ(picks.size(), 2u);
  EXPECT_FALSE(picks[0].folder);
  EXPECT_TRUE(picks[1].cancel);
}

TEST(LinkPickers, OpenFolderUsesTheFolderPicker) {
  Fixture f;
  f.ui().QueuePick(u"/mnt/d/");
  f.control().OpenFolder(f.doc());
  EXPECT_EQ(f.Html(u"linkfilename"), FieldWithValue(u"/mnt/d/"));
  f.control().OpenFolder(f.doc());  // nothing queued: cancelled
  EXPECT_EQ(f.Html(u"linkfilename"), FieldWithValue(u"/mnt/d/"));
  const std::vector<UiEvent> picks = Picks(f);
  ASSERT_EQ(picks.size(), 2u);
  EXPECT_TRUE(picks[0].folder);
  EXPECT_TRUE(picks[1].folder);
}

TEST(LinkPickers, NoFieldNoPicker) {
  Fixture f("<!DOCTYPE html><html><head></head><body><div id=\"linklist\"></div></body></html>");
  f.ui().QueuePick(u"/a");
  f.ui().QueuePick(u"/b");
  f.control().OpenFile(f.doc());
  f.control().OpenFolder(f.doc());
  EXPECT_TRUE(Picks(f).empty());
}

TEST(LinkLaunch, OpenLaunchesOnlyExistingPositions) {
  Fixture f;
  LinkMenu menu;
  menu.key = {1, 2};
  for (std::u16string p : {u"/a", u"/b", u"C:"}) menu.links.push_back({p, StringHash(p)});
  f.state().menus = {menu, LinkMenu{}};
  f.control().Open(0, 3);
  f.control().Open(0, -1);
  f.control().Open(1, 0);
  f.control().Open(2, 0);
  f.control().Open(-1, 0);
  f.control().Open(0, 2);
  f.control().Open(0, 0);
  std::vector<std::u16string> opened;
  for (const UiEvent& e : f.ui().events()) {
    EXPECT_EQ(e.kind, UiEvent::Kind::kOpen);
    opened.push_back(e.path);
  }
  EXPECT_EQ(opened, (std::vector<std::u16string>{u"C:", u"/a"}));
}

}  // namespace
}  // namespace vellumine::links
