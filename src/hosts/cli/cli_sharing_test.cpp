// The runner among other writers of one data folder: it loads before it
// acts, waits for the folder's lock, and a process killed at any step of a
// save leaves the old or the new lists, each item with its file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/messages.h"
#include "page/text.h"
#include "store/records.h"
#include "tests/support.h"

namespace vellumine::cli {
namespace {

namespace fs = std::filesystem;
using testing::Listed;
using testing::LoadListed;
using testing::ReadAll;
using testing::ShellQuote;
using testing::Show;

struct Ran {
  int raw = -1;  // as std::system answers
  std::string out;
  std::string err;
  bool exited() const { return WIFEXITED(raw) && WEXITSTATUS(raw) == 0; }
  // Killed by SIGKILL, as the shell that ran it reports it.
  bool killed() const {
    return (WIFSIGNALED(raw) && WTERMSIG(raw) == SIGKILL) ||
           (WIFEXITED(raw) && WEXITSTATUS(raw) == 128 + SIGKILL);
  }
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::u16string> Records(const fs::path& file) {
  const std::string bytes = ReadAll(file);
  RecordReader reader(bytes);
  std::vector<std::u16string> out;
  for (std::u16string r; reader.Next(&r);) out.push_back(r);
  return out;
}

std::string Memos(int from, int to, const std::string& prefix) {
  std::string script;
  for (int i = from; i < to; ++i) {
    script += "[\"AddMemo\", \"" + prefix + std::to_string(i) + "\", \"text\"]\n";
  }
  return script;
}

class RunnerSharing : public ::testing::Test {
 protected:
  fs::path Path(const std::string& name) const { return dir_.path() / name; }
  fs::path Data() const { return Path("data"); }

  // Runs the runner on a script (a file, so that the command may be
  // wrapped) over data; prefix goes before the program (strace, say).
  Ran Run(const fs::path& data, const std::string& script, const std::string& prefix = "",
          std::vector<std::string> args = {}) {
    std::ofstream(Path("script.jsonl"), std::ios::binary | std::ios::trunc) << script;
    std::string command = "cd / && " + prefix + " " + ShellQuote(VELLUMINE_CLI) + " --data " +
                          ShellQuote(data.string()) + " --today 2026-12-07 --seed 7";
    for (const std::string& a : args) command += " " + ShellQuote(a);
    command += " " + ShellQuote(Path("script.jsonl").string()) + " >" +
               ShellQuote(Path("out").string()) + " 2>" + ShellQuote(Path("err").string());
    Ran ran;
    ran.raw = std::system(command.c_str());
    ran.out = ReadAll(Path("out"));
    ran.err = ReadAll(Path("err"));
    return ran;
  }

  // Ten memos, three menus with a link each, two wallpapers (one current),
  // window places and an option changed.
  void MakeSample(const fs::path& data) {
    fs::create_directories(Path("files"));
    for (const char* name : {"a.jpg", "b.jpg", "c.jpg", "doc.txt"}) {
      std::ofstream(Path("files") / name) << name;
    }
    const std::string doc = Path("files/doc.txt").string();
    std::string script = "[\"InitPage\"]\n" + Memos(0, 10, "m");
    for (const char* name : {"Docs", "Tools", "Misc"}) {
      script += std::string("[\"MakeLinkMenu\", \"") + name + "\", -1]\n";
    }
    for (int i = 0; i < 3; ++i) {
      script += "[\"AddLink\", \"" + doc + "\", " + std::to_string(i) + "]\n";
    }
    script += "[\"AddWallPaper\", \"" + Path("files/a.jpg").string() + "\"]\n";
    script += "[\"AddWallPaper\", \"" + Path("files/b.jpg").string() + "\"]\n";
    script +=
        "[\"SetBG\", 0]\n[\"SetWndPos\", \"calender\", 300, 40, 1]\n"
        "[\"SetWndPos\", \"memo\", 10, 20, 0]\n[\"ChangeOption\", \"MemoItemNum\", 2]\n";
    const Ran ran = Run(data, script);
    ASSERT_TRUE(ran.exited()) << ran.err;
    ASSERT_EQ(ran.out, "");
  }

  void Copy(const fs::path& from, const fs::path& to) {
    fs::remove_all(to);
    fs::copy(from, to, fs::copy_options::recursive);
  }

  testing::TempDir dir_;
};

TEST_F(RunnerSharing, AScriptWithoutInitPageActsOnWhatIsSaved) {
  const fs::path sample = Path("sample");
  MakeSample(sample);
  const Listed before = LoadListed(sample);
  const std::vector<std::u16string> config = Records(sample / "config");
  ASSERT_EQ(before.memos.size(), 10u);
  const std::string picture = Path("files/c.jpg").string();
  struct Case {
    std::string line;
    std::size_t memos, menus, wallpapers;
    std::u16string changed;  // the key of the one config record that may change; "*": any
  };
  const std::vector<Case> cases = {
      {R"(["AddMemo", "new", "text"])", 11, 3, 2, u""},
      {R"(["MakeLinkMenu", "new", -1])", 10, 4, 2, u""},
      {"[\"AddWallPaper\", \"" + picture + "\"]", 10, 3, 3, u""},
      {R"(["ChangeOption", "LinkItemNum", 1])", 10, 3, 2, u"LinkItemNum"},
      {R"(["ChangeWindowOption", "calender", "TextColor", 1])", 10, 3, 2, u"WndTextColor0"},
      {R"(["SetWndPos", "schedule", 5, 6, 1])", 10, 3, 2, u""},
      // Another wallpaper brings its own window places.
      {R"(["SetBG", 1])", 10, 3, 2, u"*"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    Copy(sample, Data());
    const Ran ran =
        Run(Data(), c.line + "\n", "", {"--trace", "--out", Path("page.html").string()});
    ASSERT_TRUE(ran.exited()) << ran.err;
    const Listed after = LoadListed(Data());
    EXPECT_EQ(after.memos.size(), c.memos);
    EXPECT_EQ(after.menus.size(), c.menus);
    EXPECT_EQ(after.wallpapers.size(), c.wallpapers);
    EXPECT_TRUE(std::equal(before.memos.begin(), before.memos.end(), after.memos.begin()));
    EXPECT_EQ(after.missing_files, 0);
    // Every setting and window place stays; a new one may come.
    const std::vector<std::u16string> now = Records(Data() / "config");
    for (const std::u16string& record : config) {
      if (c.changed == u"*") break;
      const bool kept = std::find(now.begin(), now.end(), record) != now.end();
      const bool changed = !c.changed.empty() && record.substr(0, record.find(u'=')) == c.changed;
      EXPECT_TRUE(kept || changed) << testing::U8(record);
    }
    if (c.changed == u"*") {
      EXPECT_NE(std::find(now.begin(), now.end(), u"WPNo=1"), now.end());
    }
    // Nothing of InitPage's own drawing was written: the calendar, the
    // schedule and the wallpaper list stay as the page had them, unless
    // the call draws them itself.
    for (const std::string& line : Lines(ran.out)) {
      if (c.line.find("SetBG") == std::string::npos &&
          c.line.find("ChangeWindowOption") == std::string::npos) {
        EXPECT_EQ(line.find(R"("op":"innerHTML","id":"calender")"), std::string::npos) << line;
      }
      EXPECT_EQ(line.find(R"("op":"innerHTML","id":"schedule")"), std::string::npos) << line;
      if (c.line.find("AddWallPaper") == std::string::npos) {
        EXPECT_EQ(line.find(R"("id":"wplist")"), std::string::npos) << line;
      }
    }
    const std::string page = ReadAll(Path("page.html"));
    EXPECT_EQ(page.find("の予定"), std::string::npos);  // ChangeDate never ran
  }
}

TEST_F(RunnerSharing, TwoRunnersAddingInParallelLoseNothing) {
  // On a memory file system when there is one: the saves are durable, and
  // hundreds of them on a disk would only make the test slow.
  std::error_code ec;
  const fs::path root = fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : dir_.path();
  const fs::path data = root / ("vellumine-parallel-" + std::to_string(getpid()));
  fs::remove_all(data);
  std::ofstream(Path("a.jsonl")) << Memos(0, 300, "a");
  std::ofstream(Path("b.jsonl")) << Memos(0, 300, "b");
  // A page without memo windows: the runs spend their time on the folder.
  std::ofstream(Path("plain.html")) << "<!DOCTYPE html><html><head></head><body></body></html>";
  const std::string cli = ShellQuote(VELLUMINE_CLI) + " --page " +
                          ShellQuote(Path("plain.html").string()) + " --data " +
                          ShellQuote(data.string());
  const std::string command = "(" + cli + " " + ShellQuote(Path("a.jsonl").string()) + " & " + cli +
                              " " + ShellQuote(Path("b.jsonl").string()) +
                              " & wait) >/dev/null 2>" + ShellQuote(Path("err").string());
  const int raw = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(raw) && WEXITSTATUS(raw) == 0) << ReadAll(Path("err"));
  const Listed listed = LoadListed(data);
  fs::remove_all(data);
  ASSERT_EQ(listed.memos.size(), 600u);
  EXPECT_EQ(listed.missing_files, 0);
  // Each runner's memos in its own order, all of them.
  for (const char* prefix : {"a", "b"}) {
    int next = 0;
    for (const std::u16string& memo : listed.memos) {
      const std::string text = testing::U8(memo);
      if (text.find(std::string(":") + prefix) != 16) continue;
      EXPECT_EQ(text.substr(17, text.find(':', 17) - 17), prefix + std::to_string(next));
      ++next;
    }
    EXPECT_EQ(next, 300) << prefix;
  }
}

TEST_F(RunnerSharing, TheRunnerWaitsForTheLock) {
  fs::create_directories(Data());
  // Another writer holds the lock until the marker file is removed.
  const std::string holder = "flock " + ShellQuote((Data() / ".lock").string()) + " sh -c 'touch " +
                             ShellQuote(Path("held").string()) + "; while [ -e " +
                             ShellQuote(Path("held").string()) + " ]; do sleep 0.02; done' &";
  ASSERT_EQ(std::system(holder.c_str()), 0);
  for (int i = 0; i < 500 && !fs::exists(Path("held")); ++i) usleep(10000);
  ASSERT_TRUE(fs::exists(Path("held")));
  // The runner starts while the lock is held; the marker goes a moment
  // later, from a process of its own.
  const std::string release = "(sleep 0.3; rm -f " + ShellQuote(Path("held").string()) + ") &";
  ASSERT_EQ(std::system(release.c_str()), 0);
  const Ran ran = Run(Data(), R"(["AddMemo", "waited", "w"])"
                              "\n");
  EXPECT_TRUE(ran.exited()) << ran.err;
  EXPECT_FALSE(fs::exists(Path("held")));  // it ran only once the holder let go
  EXPECT_EQ(LoadListed(Data()).memos.size(), 1u);
}

TEST_F(RunnerSharing, AKillAtAnyStepOfASaveLeavesTheOldOrTheNewLists) {
  // Needs strace (scripts/deps installs it).
  ASSERT_EQ(std::system("strace -V >/dev/null 2>&1"), 0) << "strace is missing";
  const fs::path sample = Path("sample");
  MakeSample(sample);
  const Listed before = LoadListed(sample);
  const std::string picture = Path("files/c.jpg").string();
  const std::vector<std::pair<std::string, std::string>> commands = {
      {"AddMemo", R"(["AddMemo", "new", "text"])"},
      {"RemoveMemo", R"(["RemoveMemo", 3])"},
      {"MakeLinkMenu", R"(["MakeLinkMenu", "new", -1])"},
      {"RemoveLinkMenu", "[\"@answer\", \"yes\"]\n[\"RemoveLinkMenu\", 1]"},
      {"AddWallPaper", "[\"AddWallPaper\", \"" + picture + "\"]"},
  };
  int kills = 0;
  for (const auto& [name, line] : commands) {
    Copy(sample, Data());
    const Ran clean = Run(Data(), line + "\n");
    ASSERT_TRUE(clean.exited()) << name << clean.err;
    const Listed after = LoadListed(Data());
    ASSERT_NE(after, before) << name;
    for (const char* syscall : {"write", "pwrite64", "fsync", "rename", "unlink"}) {
      for (int n = 1;; ++n) {
        SCOPED_TRACE(name + ": " + syscall + " #" + std::to_string(n));
        ASSERT_LT(n, 50);
        Copy(sample, Data());
        // A sanitizer's leak check can't run under a tracer; it is not what
        // is tested here.
        const std::string strace =
            "ASAN_OPTIONS=detect_leaks=0 strace -f -qq -o /dev/null -e trace=" +
            std::string(syscall) + " -e inject=" + syscall +
            ":signal=KILL:when=" + std::to_string(n);
        const Ran ran = Run(Data(), line + "\n", strace);
        if (!ran.killed()) {
          ASSERT_TRUE(ran.exited()) << ran.raw << ran.err;
          break;  // past the last call of this kind
        }
        ++kills;
        const Listed now = LoadListed(Data());
        EXPECT_TRUE(now == before || now == after)
            << Show(now) << "\nbefore " << Show(before) << "\nafter " << Show(after);
        EXPECT_EQ(now.missing_files, 0) << Show(now);
        // The next run's load sweeps what the killed save left.
        const Ran next = Run(Data(), "[\"ChangeMemoPage\", 0]\n");
        EXPECT_TRUE(next.exited()) << next.err;
        EXPECT_FALSE(testing::HasTemporaries(Data()));
        EXPECT_EQ(LoadListed(Data()), now);
      }
    }
  }
  EXPECT_GE(kills, 30);
}

mode_t ModeOf(const fs::path& p) {
  struct stat st {};
  return stat(p.c_str(), &st) == 0 ? st.st_mode & 07777 : 0;
}

TEST_F(RunnerSharing, ReadOnlyFilesStayAndPrivateOnesStayPrivate) {
  const std::string saved =
      R"({"event":"message","text":"保存できませんでした","caption":"","buttons":"ok"})";
  Run(Data(), Memos(0, 2, "m"));
  const std::string list = ReadAll(Data() / "memolist");
  ASSERT_EQ(chmod((Data() / "memolist").c_str(), 0444), 0);
  Ran ran = Run(Data(), R"(["AddMemo", "new", "n"])"
                        "\n");
  EXPECT_TRUE(ran.exited()) << ran.err;
  EXPECT_EQ(Lines(ran.out), std::vector<std::string>{saved});
  EXPECT_EQ(ReadAll(Data() / "memolist"), list);
  EXPECT_EQ(ModeOf(Data() / "memolist"), 0444u);
  // The new memo's file went again with the failed list: no orphan.
  EXPECT_EQ(std::distance(fs::directory_iterator(Data() / "memo"), fs::directory_iterator()), 2);

  ASSERT_EQ(chmod((Data() / "memolist").c_str(), 0600), 0);
  ran = Run(Data(), R"(["AddMemo", "new", "n"])"
                    "\n");
  EXPECT_EQ(ran.out, "");
  EXPECT_EQ(LoadListed(Data()).memos.size(), 3u);
  EXPECT_EQ(ModeOf(Data() / "memolist"), 0600u);
}

TEST_F(RunnerSharing, ADamagedListIsKeptAndTheUserTold) {
  Run(Data(), Memos(0, 20, "m"));
  std::string list = ReadAll(Data() / "memolist");
  const std::string whole = list;
  // A negative count where the eleventh section begins.
  std::size_t at = 0;
  for (int record = 0; record < 20; ++record) {
    const std::uint32_t n =
        static_cast<unsigned char>(list[at]) | static_cast<unsigned char>(list[at + 1]) << 8;
    at += 4 + 2 * n;
  }
  list.replace(at, 4, "\xfe\xff\xff\xff");
  std::ofstream(Data() / "memolist", std::ios::binary | std::ios::trunc) << list;
  const Ran ran = Run(Data(),
                      R"(["AddMemo", "new", "n"])"
                      "\n",
                      "", {});
  ASSERT_TRUE(ran.exited()) << ran.err;
  const std::string copy = "memolist.damaged-";
  std::string kept;
  for (const auto& entry : fs::directory_iterator(Data())) {
    if (entry.path().filename().string().starts_with(copy)) kept = entry.path().filename();
  }
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(ReadAll(Data() / kept), list);
  EXPECT_EQ(Lines(ran.out), std::vector<std::string>{
                                "{\"event\":\"message\",\"text\":\"ファイルが壊れていたため、元の"
                                "ファイルを " +
                                kept + " として残しました\",\"caption\":\"\",\"buttons\":\"ok\"}"});
  EXPECT_EQ(LoadListed(Data()).memos.size(), 11u);  // ten read, one added
  // Told once: the next save replaces the list it wrote itself.
  EXPECT_EQ(Run(Data(), R"(["AddMemo", "newer", "n"])"
                        "\n")
                .out,
            "");
}

}  // namespace
}  // namespace vellumine::cli
