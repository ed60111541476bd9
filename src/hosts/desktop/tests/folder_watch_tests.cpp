// The folder watch of the page's process: which names it reports, that a
// save of several files is one report, that item folders made later are
// watched too, and that nothing is reported while nothing changes.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hosts/desktop/folder_watch.h"
#include "page/text.h"

namespace vellumine::desktop {
namespace {

namespace fs = std::filesystem;

TEST(WatchedPath, OnlyNamesTheStoreGives) {
  EXPECT_EQ(WatchedPath("", "memolist"), u"memolist");
  EXPECT_EQ(WatchedPath("", "config"), u"config");
  EXPECT_EQ(WatchedPath("", "wplist"), u"wplist");
  EXPECT_EQ(WatchedPath("", "link"), u"link");
  EXPECT_EQ(WatchedPath("", ".stamp"), u".stamp");
  EXPECT_EQ(WatchedPath("memo", "0123456789abcdef"), u"memo/0123456789abcdef");
  EXPECT_EQ(WatchedPath("linkmenu", "0123456789abcdef"), u"linkmenu/0123456789abcdef");
  EXPECT_EQ(WatchedPath("wp", "0123456789abcdef"), u"wp/0123456789abcdef");
  EXPECT_EQ(WatchedPath("schdl", "20261207"), u"schdl/20261207");
  // The store's own temporaries, locks and kept copies; what sync tools and
  // editors leave; near misses.
  for (const char* name :
       {".memolist.tmp1-2-3", ".lock", ".instance", "memolist.damaged-20261207-120000",
        "memolist.sync-conflict-20260101-101010-ABCDEFG", "memolist.part",
        ".syncthing.memolist.tmp", "~memolist", ".~lock.memolist#", "memolist~", "memolist.swp",
        "Memolist", "memo", "schdl"}) {
    EXPECT_EQ(WatchedPath("", name), std::nullopt) << name;
  }
  for (const char* name :
       {"0123456789ABCDEF", "0123456789abcde", "0123456789abcdef0", ".0123456789abcdef.tmp1-2-3",
        "0123456789abcdef.part", "0123456789abcdef.sync-conflict-x", "0123456789abcdeg"}) {
    EXPECT_EQ(WatchedPath("memo", name), std::nullopt) << name;
  }
  EXPECT_EQ(WatchedPath("schdl", "0123456789abcdef"), std::nullopt);
  EXPECT_EQ(WatchedPath("memo", "20261207"), std::nullopt);
  EXPECT_EQ(WatchedPath("other", "0123456789abcdef"), std::nullopt);
}

class FolderWatchTest : public ::testing::Test {
 protected:
  void SetUp() override {
    gchar* dir = g_dir_make_tmp("vellumine-watch-XXXXXX", nullptr);
    ASSERT_NE(dir, nullptr);
    root_ = dir;
    g_free(dir);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }
  std::string Folder() const { return root_.string() + "/"; }

  // Runs the main loop until a report came or the time is up.
  void RunFor(std::chrono::milliseconds limit, bool until_report = true) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < end && !(until_report && !reports_.empty())) {
      g_main_context_iteration(nullptr, FALSE);
      g_usleep(2000);
    }
  }
  FolderWatch::Report Recorder() {
    return [this](const std::vector<std::u16string>& changed) { reports_.push_back(changed); };
  }
  // As a sync tool does it: a temporary of its own, renamed over the file.
  void Replace(const fs::path& file, const std::string& content) {
    const fs::path temp = file.parent_path() / (".syncthing." + file.filename().string() + ".tmp");
    std::ofstream(temp) << content;
    fs::rename(temp, file);
  }

  fs::path root_;
  std::vector<std::vector<std::u16string>> reports_;
};

TEST_F(FolderWatchTest, ASaveOfSeveralFilesIsOneReportOfTheWatchedOnes) {
  fs::create_directories(root_ / "memo");
  FolderWatch watch(Folder(), Recorder());
  EXPECT_EQ(watch.watched(), (std::vector<std::string>{"", "memo"}));
  Replace(root_ / "memo" / "0123456789abcdef", "memo");
  Replace(root_ / "memolist", "list");
  std::ofstream(root_ / "memolist.sync-conflict-20260101-101010-ABCDEFG") << "theirs";
  std::ofstream(root_ / "memolist.part") << "half";
  std::ofstream(root_ / ".lock") << "";
  RunFor(std::chrono::seconds(10));
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0], (std::vector<std::u16string>{u"memo/0123456789abcdef", u"memolist"}));
  // Then quiet: no more reports.
  RunFor(std::chrono::milliseconds(800), false);
  EXPECT_EQ(reports_.size(), 1u);
}

TEST_F(FolderWatchTest, ItemFoldersMadeLaterAreWatchedToo) {
  FolderWatch watch(Folder(), Recorder());
  fs::create_directories(root_ / "linkmenu");
  RunFor(std::chrono::milliseconds(500), false);
  EXPECT_EQ(watch.watched(), (std::vector<std::string>{"", "linkmenu"}));
  reports_.clear();
  std::ofstream(root_ / "linkmenu" / "00000001000000ff") << "menu";
  RunFor(std::chrono::seconds(10));
  ASSERT_EQ(reports_.size(), 1u);
  EXPECT_EQ(reports_[0], std::vector<std::u16string>{u"linkmenu/00000001000000ff"});
}

TEST_F(FolderWatchTest, OnlyIgnoredNamesChangingIsNoReport) {
  FolderWatch watch(Folder(), Recorder());
  std::ofstream(root_ / ".memolist.tmp1-2-3") << "x";
  std::ofstream(root_ / "memolist.damaged-20260101-000000") << "x";
  std::ofstream(root_ / "~memolist") << "x";
  fs::remove(root_ / "~memolist");
  RunFor(std::chrono::milliseconds(1000), false);
  EXPECT_TRUE(reports_.empty());
}

TEST_F(FolderWatchTest, AStreamOfChangesIsReportedWithoutWaitingForItsEnd) {
  // Changes every 50 ms for 2 s: each report comes within the longest
  // wait, not after the stream.
  FolderWatch watch(Folder(), Recorder(), 200, 600);
  const auto start = std::chrono::steady_clock::now();
  for (int i = 0; i < 40; ++i) {
    Replace(root_ / "config", std::to_string(i));
    RunFor(std::chrono::milliseconds(50), false);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  // At least one report per 600 ms of the stream (with slack for a slow machine).
  EXPECT_GE(reports_.size(), static_cast<std::size_t>(seconds / 1.2)) << seconds;
}

}  // namespace
}  // namespace vellumine::desktop
