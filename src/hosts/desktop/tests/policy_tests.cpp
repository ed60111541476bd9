// Which addresses count as the bundled page, and which answers a test script
// may give.
#include <glib/gstdio.h>
#include <gtest/gtest.h>

#include "hosts/desktop/page_policy.h"
#include "hosts/desktop/scripted_answers.h"

namespace vellumine::desktop {
namespace {

TEST(PagePolicy, OnlyTheBundledPageItselfIsThePage) {
  const std::string page = "file:///opt/vellumine/web/index.html";
  EXPECT_TRUE(IsBundledPage(page, page));
  EXPECT_TRUE(IsBundledPage(page + "#top", page));
  // The same file, escaped differently.
  EXPECT_TRUE(IsBundledPage("file:///opt/vellumine/web/%69ndex.html", page));
  EXPECT_FALSE(IsBundledPage("file:///opt/vellumine/web/other.html", page));
  EXPECT_FALSE(IsBundledPage("file:///opt/vellumine/web/index.html?x=1", page));
  EXPECT_FALSE(IsBundledPage("https://example.com/opt/vellumine/web/index.html", page));
  EXPECT_FALSE(IsBundledPage("about:blank", page));
  EXPECT_FALSE(IsBundledPage("", page));
  EXPECT_FALSE(IsBundledPage(page, ""));
}

TEST(PagePolicy, PathsWithSpacesAndJapaneseNamesMatch) {
  const std::string page = "file:///home/u/my%20web/%E3%83%A1%E3%83%A2/index.html";
  EXPECT_TRUE(IsBundledPage(page, page));
  EXPECT_TRUE(IsBundledPage("file:///home/u/my%20web/%e3%83%a1%e3%83%a2/index.html", page));
  EXPECT_FALSE(IsBundledPage("file:///home/u/my%20web/index.html", page));
}

TEST(PagePolicy, ExternalLinksAreWebMailAndFileAddresses) {
  EXPECT_TRUE(IsExternalLink("https://example.com/"));
  EXPECT_TRUE(IsExternalLink("HTTP://example.com/"));
  EXPECT_TRUE(IsExternalLink("mailto:a@example.com"));
  EXPECT_TRUE(IsExternalLink("file:///tmp/a.txt"));
  EXPECT_FALSE(IsExternalLink("javascript:alert(1)"));
  EXPECT_FALSE(IsExternalLink("data:text/html,x"));
  EXPECT_FALSE(IsExternalLink("about:blank"));
  EXPECT_FALSE(IsExternalLink("not a uri"));
}

TEST(PagePolicy, DrawsWithAGraphicsProcessorOnlyWhereThereIsARenderNode) {
  gchar* dir = g_dir_make_tmp("vellumine-dri-XXXXXX", nullptr);
  ASSERT_NE(dir, nullptr);
  const std::string dri = dir;
  g_free(dir);
  // No such folder, an empty one, one with a display node only: none.
  EXPECT_FALSE(HasRenderNode(dri + "/missing"));
  EXPECT_FALSE(HasRenderNode(dri));
  ASSERT_TRUE(g_file_set_contents((dri + "/card0").c_str(), "", 0, nullptr));
  EXPECT_FALSE(HasRenderNode(dri));
  ASSERT_TRUE(g_file_set_contents((dri + "/renderD128").c_str(), "", 0, nullptr));
  EXPECT_TRUE(HasRenderNode(dri));
  g_remove((dri + "/renderD128").c_str());
  g_remove((dri + "/card0").c_str());
  g_rmdir(dri.c_str());
}

TEST(ScriptedAnswers, ReadsEveryKindInOrder) {
  std::string error;
  auto answers = ParseScriptedAnswers(
      "# comment\n\nok\nyes\r\nno\ncancel\nfont 14 DejaVu Sans Mono\nfile /tmp/a b.txt\n"
      "folder /tmp\n",
      &error);
  ASSERT_TRUE(answers) << error;
  ASSERT_EQ(answers->size(), 7u);
  using Kind = ScriptedAnswer::Kind;
  EXPECT_EQ((*answers)[0].kind, Kind::kOk);
  EXPECT_EQ((*answers)[1].kind, Kind::kYes);
  EXPECT_EQ((*answers)[2].kind, Kind::kNo);
  EXPECT_EQ((*answers)[3].kind, Kind::kCancel);
  EXPECT_EQ((*answers)[4].kind, Kind::kFont);
  EXPECT_EQ((*answers)[4].size, 14);
  EXPECT_EQ((*answers)[4].text, "DejaVu Sans Mono");
  EXPECT_EQ((*answers)[5].kind, Kind::kFile);
  EXPECT_EQ((*answers)[5].text, "/tmp/a b.txt");
  EXPECT_EQ((*answers)[6].kind, Kind::kFolder);
  EXPECT_EQ((*answers)[6].text, "/tmp");
}

TEST(ScriptedAnswers, RefusesLinesItCannotRead) {
  for (const char* bad : {"maybe\n", "font\n", "font x Face\n", "font 12\n", "file\n",
                          "ok please\n", "font 99999999999999999999 F\n"}) {
    std::string error;
    EXPECT_FALSE(ParseScriptedAnswers(bad, &error)) << bad;
    EXPECT_NE(error.find("line 1"), std::string::npos) << error;
  }
  std::string error;
  EXPECT_FALSE(ParseScriptedAnswers("ok\nok\nwhat\n", &error));
  EXPECT_NE(error.find("line 3"), std::string::npos) << error;
  EXPECT_TRUE(ParseScriptedAnswers("", &error)->empty());
}

}  // namespace
}  // namespace vellumine::desktop
