#include "links/link_commands.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "control/windows.h"
#include "links/link_store.h"
#include "links/links_test_support.h"
#include "model/messages.h"
#include "store/records.h"
#include "tests/support.h"

namespace vellumine::links {
namespace {

using testing::EncodeRecords;
using testing::Fixture;
using testing::KeyText;
using testing::MakeFile;
using testing::MakeFolder;
using testing::Paths;
using testing::U8;
using Strings = std::vector<std::u16string>;

std::u16string Bracket(std::u16string_view text) { return u"[" + std::u16string(text) + u"]"; }

// The index file a table should give, built from its names, keys and pages.
std::string ExpectedIndex(const ControlState& state) {
  Strings records;
  for (const LinkMenu& menu : state.menus) {
    records.push_back(Bracket(menu.name));
    records.push_back(u"Hash=" + KeyText(menu.key));
    records.push_back(u"PageNum=" + Utf8ToUtf16(std::to_string(menu.page_num)));
  }
  return EncodeRecords(records);
}

std::string MenuFile(const LinkMenu& menu) { return "linkmenu/" + U8(KeyText(menu.key)); }

class LinkCommands : public ::testing::Test {
 protected:
  CSkerrow& c() { return f.control(); }
  std::vector<LinkMenu>& menus() { return f.state().menus; }
  void MakeMenus(const Strings& names) {
    for (const std::u16string& name : names) c().MakeLinkMenu(f.doc(), name, -1);
  }
  // Adds files X, Y, Z to menu 0; returns their paths.
  Strings AddXyz() {
    Strings paths = {MakeFile(f, "X"), MakeFile(f, "Y"), MakeFile(f, "Z")};
    for (const std::u16string& p : paths) c().AddLink(f.doc(), p, 0);
    return paths;
  }
  Fixture f;
};

TEST_F(LinkCommands, MakeLinkMenuCreatesFilesAndPointsTheFormAtTheNewMenu) {
  MakeMenus({u"One", u"Two", u"Three"});
  c().MakeLinkMenu(f.doc(), u"Tools", -1);
  ASSERT_EQ(menus().size(), 4u);
  const LinkMenu& tools = menus()[3];
  EXPECT_EQ(tools.name, u"Tools");
  EXPECT_EQ(tools.key.first, StringHash(u"Tools"));
  EXPECT_NE(tools.key.second, 0u);
  EXPECT_TRUE(f.FileExists(MenuFile(tools)));
  EXPECT_EQ(f.FileBytes(MenuFile(tools)), "");
  EXPECT_EQ(f.Records("link").size(), 12u);
  EXPECT_EQ(f.FileBytes("link"), ExpectedIndex(f.state()));
  EXPECT_NE(f.Html(u"linkmenunum").find("value=\"3\""), std::string::npos)
      << f.Html(u"linkmenunum");
  EXPECT_NE(f.Html(u"link" + KeyText(tools.key)), "");
  EXPECT_TRUE(f.Messages().empty());

  // A position past the table also makes a new menu at the end.
  c().MakeLinkMenu(f.doc(), u"", 57);
  ASSERT_EQ(menus().size(), 5u);
  EXPECT_EQ(menus()[4].name, u"");
  EXPECT_EQ(f.FileBytes("link"), ExpectedIndex(f.state()));
}

TEST_F(LinkCommands, MakeLinkMenuRenamesKeepingKeyLinksAndFile) {
  MakeMenus({u"Docs"});
  AddXyz();
  const ItemKey key = menus()[0].key;
  const std::string links = f.FileBytes(MenuFile(menus()[0]));
  c().MakeLinkMenu(f.doc(), u"A<B", 0);
  ASSERT_EQ(menus().size(), 1u);
  EXPECT_EQ(menus()[0].name, u"A&lt;B");
  EXPECT_EQ(menus()[0].key, key);
  EXPECT_EQ(menus()[0].links.size(), 3u);
  EXPECT_EQ(f.FileBytes(MenuFile(menus()[0])), links);
  EXPECT_EQ(f.FileBytes("link"),
            EncodeRecords({u"[A&lt;B]", u"Hash=" + KeyText(key), u"PageNum=0"}));
}

TEST_F(LinkCommands, MakeLinkMenuRefusesNullNameAndAFullTable) {
  c().MakeLinkMenu(f.doc(), std::nullopt, -1);
  EXPECT_EQ(f.Messages(), Strings{std::u16string(msg::kNoMenuName)});
  EXPECT_TRUE(menus().empty());
  EXPECT_FALSE(f.FileExists("link"));

  for (int i = 0; i < kMaxLinkMenus; ++i) {
    LinkMenu menu;
    menu.name = u"m";
    menu.key = {static_cast<std::uint32_t>(i), 1};
    menus().push_back(menu);
  }
  c().MakeLinkMenu(f.doc(), u"Extra", -1);
  EXPECT_EQ(menus().size(), static_cast<std::size_t>(kMaxLinkMenus));
  EXPECT_EQ(f.Messages().back(), msg::kTableFull);
  EXPECT_FALSE(f.FileExists("link"));
}

TEST_F(LinkCommands, PathCheckCutsOneTrailingSeparatorAndKeepsTheRoot) {
  MakeMenus({u"M"});
  const std::u16string dir = MakeFolder(f, "Docs");
  c().AddLink(f.doc(), dir + u"/", 0);
  c().AddLink(f.doc(), dir + u"//", 0);  // one cut only: a distinct text
  c().AddLink(f.doc(), u"/", 0);
  EXPECT_EQ(Paths(menus()[0]), (Strings{dir, dir + u"/", u"/"}));
  EXPECT_EQ(f.FileBytes(MenuFile(menus()[0])),
            EncodeRecords({Bracket(dir), Bracket(dir + u"/"), u"[/]"}));
  EXPECT_TRUE(f.Messages().empty());
}

TEST_F(LinkCommands, DriveRootIsAcceptedWithoutProbing) {
  MakeMenus({u"M"});
  ASSERT_FALSE(std::filesystem::exists("E:"));
  c().AddLink(f.doc(), u"E:/", 0);
  c().AddLink(f.doc(), u"e:", 0);
  EXPECT_EQ(Paths(menus()[0]), (Strings{u"E:", u"e:"}));
  c().AddLink(f.doc(), u"E:", 0);
  EXPECT_EQ(f.Messages(), Strings{std::u16string(msg::kSameItem)});
}

TEST_F(LinkCommands, DriveRootWithABackslashIsTheDrive) {
  MakeMenus({u"M"});
  c().AddLink(f.doc(), u"D:\\", 0);
  c().AddLink(f.doc(), u"D:", 0);
  // Only a drive's own root: other texts ending in a backslash are not cut.
  c().AddLink(f.doc(), u"D:x\\", 0);
  c().AddLink(f.doc(), u"1:\\", 0);
  EXPECT_EQ(Paths(menus()[0]), (Strings{u"D:"}));
  EXPECT_EQ(f.Messages(),
            (Strings{std::u16string(msg::kSameItem), std::u16string(msg::kNoFileOrFolder),
                     std::u16string(msg::kNoFileOrFolder)}));
}

TEST_F(LinkCommands, PathCheckRefusesWildcardsMissingAndEmptyPaths) {
  MakeMenus({u"M"});
  const std::u16string file = MakeFile(f, "w/a.txt");
  const std::u16string dir = MakeFolder(f, "w");
  const std::string before = f.FileBytes(MenuFile(menus()[0]));
  // The wildcards would match a.txt; a zero unit would cut the path short.
  const Strings refused = {dir + u"/*.txt",
                           dir + u"/a.tx?",
                           dir + u"/none.txt",
                           u"",
                           std::u16string(u"E:\0x", 4),
                           file + std::u16string(1, u'\0')};
  for (const std::u16string& path : refused) c().AddLink(f.doc(), path, 0);
  EXPECT_TRUE(menus()[0].links.empty());
  EXPECT_EQ(f.Messages(), Strings(6, std::u16string(msg::kNoFileOrFolder)));
  EXPECT_EQ(f.FileBytes(MenuFile(menus()[0])), before);
}

TEST_F(LinkCommands, NullPathsAndBadPositionsAreSilent) {
  MakeMenus({u"M"});
  const std::u16string file = MakeFile(f, "a.txt");
  c().AddLink(f.doc(), std::nullopt, 0);
  c().AddLink(f.doc(), file, 1);
  c().AddLink(f.doc(), file, -1);
  c().AddLink(f.doc(), file, 0);
  c().ChangeLink(f.doc(), 0, std::nullopt, 0);
  c().ChangeLink(f.doc(), 1, file, 0);
  c().ChangeLink(f.doc(), -1, file, 0);
  c().ChangeLink(f.doc(), 0, file, 1);
  c().RemoveLink(f.doc(), 1, 0);
  c().RemoveLink(f.doc(), -1, 0);
  c().RemoveLink(f.doc(), 0, 5);
  c().PermuteLink(f.doc(), 0, 1, 0);
  c().PermuteLink(f.doc(), -1, 0, 0);
  c().PermuteLink(f.doc(), 0, 0, -1);
  c().RemoveLinkMenu(f.doc(), 1);
  c().RemoveLinkMenu(f.doc(), -1);
  EXPECT_EQ(Paths(menus()[0]), Strings{file});
  EXPECT_TRUE(f.Messages().empty());
}

TEST_F(LinkCommands, DuplicatesAreExactAndCaseSensitive) {
  MakeMenus({u"M", u"N"});
  const std::u16string upper = MakeFile(f, "Dup/A.txt");
  const std::u16string lower = MakeFile(f, "Dup/a.txt");
  c().AddLink(f.doc(), upper, 0);
  c().AddLink(f.doc(), upper, 0);
  EXPECT_EQ(f.Messages(), Strings{std::u16string(msg::kSameItem)});
  c().AddLink(f.doc(), lower, 0);
  c().AddLink(f.doc(), upper, 1);  // other menus may repeat it
  EXPECT_EQ(Paths(menus()[0]), (Strings{upper, lower}));
  EXPECT_EQ(Paths(menus()[1]), Strings{upper});
  EXPECT_EQ(f.Messages().size(), 1u);
}

TEST_F(LinkCommands, ChangeLinkAcceptsItsOwnPathAndRefusesAnothers) {
  MakeMenus({u"M"});
  const Strings xyz = AddXyz();
  const std::string before = f.FileBytes(MenuFile(menus()[0]));
  c().ChangeLink(f.doc(), 2, xyz[2], 0);
  EXPECT_EQ(Paths(menus()[0]), xyz);
  EXPECT_EQ(f.FileBytes(MenuFile(menus()[0])), before);
  c().ChangeLink(f.doc(), 2, xyz[0], 0);
  EXPECT_EQ(f.Messages(), Strings{std::u16string(msg::kSameItem)});
  const std::u16string w = MakeFile(f, "W");
  c().ChangeLink(f.doc(), 1, w, 0);
  EXPECT_EQ(Paths(menus()[0]), (Strings{xyz[0], w, xyz[2]}));
  EXPECT_EQ(menus()[0].links[1].path_hash, StringHash(w));
  EXPECT_EQ(f.FileBytes(MenuFile(menus()[0])),
            EncodeRecords({Bracket(xyz[0]), Bracket(w), Bracket(xyz[2])}));
  EXPECT_NE(f.Html(u"linklist").find(U8(w)), std::string::npos);
}

TEST_F(LinkCommands, RemoveAndPermuteLinks) {
  MakeMenus({u"M"});
  const Strings xyz = AddXyz();
  c().PermuteLink(f.doc(), 0, 2, 0);
  EXPECT_EQ(Paths(menus()[0]), (Strings{xyz[2], xyz[1], xyz[0]}));
  EXPECT_EQ(f.FileBytes(MenuFile(menus()[0])),
            EncodeRecords({Bracket(xyz[2]), Bracket(xyz[1]), Bracket(xyz[0])}));
  c().PermuteLink(f.doc(), 1, 1, 0);
  EXPECT_EQ(Paths(menus()[0]), (Strings{xyz[2], xyz[1], xyz[0]}));
  c().PermuteLink(f.doc(), 2, 0, 0);

  c().RemoveLink(f.doc(), 0, 0);
  EXPECT_EQ(Paths(menus()[0]), (Strings{xyz[1], xyz[2]}));
  EXPECT_EQ(f.FileBytes(MenuFile(menus()[0])), EncodeRecords({Bracket(xyz[1]), Bracket(xyz[2])}));
  EXPECT_EQ(f.Html(u"linklist"), "<select id=\"linklist\" size=\"8\"><option value=\"0\">" +
                                     U8(xyz[1]) + "</option><option value=\"1\">" + U8(xyz[2]) +
                                     "</option></select>");
  EXPECT_TRUE(f.Messages().empty());
}

TEST_F(LinkCommands, AThousandAndFirstLinkIsRefused) {
  MakeMenus({u"M"});
  for (int i = 0; i < kMaxLinks; ++i) {
    std::u16string p = u"/l" + Utf8ToUtf16(std::to_string(i));
    menus()[0].links.push_back({p, StringHash(p)});
  }
  c().AddLink(f.doc(), MakeFile(f, "one-more"), 0);
  EXPECT_EQ(menus()[0].links.size(), static_cast<std::size_t>(kMaxLinks));
  EXPECT_EQ(f.Messages(), Strings{std::u16string(msg::kTableFull)});
  EXPECT_EQ(f.FileBytes(MenuFile(menus()[0])), "");
}

TEST_F(LinkCommands, TwentyFiveLinksPageAndOpenTheRightPaths) {
  MakeMenus({u"M"});
  Strings paths;
  for (int i = 0; i < 25; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "f%02d.txt", i);
    paths.push_back(MakeFile(f, name));
    c().AddLink(f.doc(), paths.back(), 0);
  }
  ASSERT_EQ(menus()[0].links.size(), 25u);
  c().ChangeLinkPage(f.doc(), 0, 2);
  const std::string window = f.Html(u"link" + KeyText(menus()[0].key));
  for (int k = 0; k < 25; ++k) {
    const bool shown =
        window.find("Skerrow.Open(0," + std::to_string(k) + ")") != std::string::npos;
    EXPECT_EQ(shown, k >= 20) << k;
  }
  f.ui().clear_events();
  c().Open(0, 22);
  c().Open(0, 25);
  c().Open(0, -1);
  c().Open(1, 0);
  c().Open(0, 0);
  Strings opened;
  for (const UiEvent& e : f.ui().events()) {
    if (e.kind == UiEvent::Kind::kOpen) opened.push_back(e.path);
  }
  EXPECT_EQ(opened, (Strings{paths[22], paths[0]}));
}

TEST_F(LinkCommands, RemoveLinkMenuAnsweredNoChangesNothing) {
  MakeMenus({u"A", u"B", u"C"});
  AddXyz();
  const std::u16string key = KeyText(menus()[1].key);
  c().SetWndPos(u"link" + key, 10, 20, 1);
  const std::string index = f.FileBytes("link");
  const std::string file = f.FileBytes(MenuFile(menus()[1]));
  const std::string config = f.FileBytes("config");
  const std::size_t records = f.state().windows.size();
  f.ui().clear_events();

  f.ui().QueueAnswer(Answer::kNo);
  c().RemoveLinkMenu(f.doc(), 1);
  ASSERT_EQ(f.ui().events().size(), 1u);
  const UiEvent& question = f.ui().events()[0];
  EXPECT_EQ(question.kind, UiEvent::Kind::kQuestion);
  EXPECT_EQ(question.text, msg::kConfirmRemoveMenu);
  EXPECT_FALSE(question.caption.has_value());
  EXPECT_EQ(menus().size(), 3u);
  EXPECT_EQ(f.FileBytes("link"), index);
  EXPECT_TRUE(f.FileExists(MenuFile(menus()[1])));
  EXPECT_EQ(f.FileBytes(MenuFile(menus()[1])), file);
  EXPECT_EQ(f.FileBytes("config"), config);
  EXPECT_EQ(f.state().windows.size(), records);
}

TEST_F(LinkCommands, RemoveLinkMenuAnsweredYesRemovesFileWindowAndPlacements) {
  MakeMenus({u"A", u"B", u"C"});
  const LinkMenu removed = menus()[1];
  const LinkMenu last = menus()[2];
  const std::u16string key = KeyText(removed.key);
  c().SetWndPos(u"link" + key, 10, 20, 1);
  c().SetWndPos(u"menuname" + key, 1, 2, 1);
  c().SetWndPos(u"link" + KeyText(last.key), 5, 6, 1);
  ASSERT_NE(windows::FindRecord(f.state().windows, u"link" + key), nullptr);

  f.ui().QueueAnswer(Answer::kYes);
  c().RemoveLinkMenu(f.doc(), 1);
  ASSERT_EQ(menus().size(), 2u);
  EXPECT_EQ(menus()[1].name, u"C");
  EXPECT_EQ(menus()[1].key, last.key);
  EXPECT_FALSE(f.FileExists(MenuFile(removed)));
  EXPECT_TRUE(f.FileExists(MenuFile(last)));
  EXPECT_EQ(f.FileBytes("link"), ExpectedIndex(f.state()));
  EXPECT_EQ(f.Html(u"link" + key), "");
  EXPECT_EQ(windows::FindRecord(f.state().windows, u"link" + key), nullptr);
  EXPECT_EQ(windows::FindRecord(f.state().windows, u"menuname" + key), nullptr);
  EXPECT_NE(windows::FindRecord(f.state().windows, u"link" + KeyText(last.key)), nullptr);
  // The later menu's window now carries its new position.
  EXPECT_NE(f.Html(u"link" + KeyText(last.key)).find("Skerrow.ChangeLinkMenu(document,1)"),
            std::string::npos);
}

TEST_F(LinkCommands, RestartReadsBackWhatTheCommandsWrote) {
  MakeMenus({u"Docs", u"A&B"});
  const Strings xyz = AddXyz();
  f.Restart();
  ASSERT_EQ(LoadLinkMenus(f.control().store(), f.state()), 2);
  EXPECT_EQ(menus()[0].name, u"Docs");
  EXPECT_EQ(menus()[1].name, u"A&amp;B");
  EXPECT_EQ(Paths(menus()[0]), xyz);
}

}  // namespace
}  // namespace vellumine::links
