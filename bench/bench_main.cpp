// vellumine_bench: every command at two data sizes ("tenth" and "full", the
// latter every table at capacity) on the in-memory page, InitPage on both, and
// the yardstick: parsing the page InitPage leaves at full into a fresh
// document.
//
// Every iteration of a command does the same work: state-changing commands
// alternate between two values or are undone with the timer paused. A
// benchmark whose command did not take effect (refused, or not built yet)
// ends with an error, and the program then exits with status 1.
//
// Own flags (before the benchmark library's):
//   --table=FILE   write the results table (times and ratios) as Markdown
//   --raw=FILE     write the fastest time of each benchmark, a line each
//   --table-from=FILE  run nothing: write --table from lines --raw wrote
//                  (runs in several processes, merged)
//   --smoke        one iteration of each benchmark
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "bench/data_gen.h"
#include "bench/results.h"
#include "bench/session.h"
#include "page/text.h"

namespace vellumine::bench {
namespace {

namespace fs = std::filesystem;

// One session lives at a time; a benchmark's repeated runs share it, so its
// setup and InitPage are paid once.
struct Cache {
  std::string key;
  std::unique_ptr<Session> session;
};
Cache& TheCache() {
  static Cache cache;
  return cache;
}

Session& CachedSession(const std::string& key, const Scale& scale,
                       const std::function<void(Session&)>& setup,
                       const std::function<std::string(Session&)>& ready = nullptr) {
  Cache& cache = TheCache();
  if (cache.key != key || !cache.session) {
    cache.session.reset();
    cache.session = std::make_unique<Session>(scale);
    if (ready) cache.session->broken = ready(*cache.session);
    if (setup && cache.session->broken.empty()) setup(*cache.session);
    cache.session->TakeMessages();
    cache.key = key;
  }
  return *cache.session;
}

// A failed check: the message, or empty when the command took effect.
using Check = std::string;

struct Command {
  std::string name;
  // Once per session, untimed: e.g. make room for an add at capacity.
  std::function<void(Session&)> setup;
  // The measured call; step counts iterations, for alternation.
  std::function<void(Session&, std::int64_t step)> run;
  // Untimed, after each run: undo the change and check it took effect.
  std::function<Check(Session&, std::int64_t step)> after;
  // Before the runs: whether the data the command works on was loaded.
  std::function<Check(Session&)> ready = nullptr;
};

Check MemosLoaded(Session& s) {
  return s.state().memos.size() + 1 < 3 ? "the memos were not loaded" : "";
}
Check LinksLoaded(Session& s) {
  return s.state().menus.empty() || s.state().menus[0].links.size() < 3
             ? "the link menus were not loaded"
             : "";
}

std::u16string Text(const char* head, char16_t fill, std::size_t units) {
  std::u16string out = Utf8ToUtf16(head);
  out.resize(units, fill);
  return out;
}

// Texts of the generated sizes.
const TextArg kSubject = Text("Benchmark subject ", u's', 20);
const TextArg kMessage = Text("Benchmark message ", u'm', 500);
const TextArg kSubjectB = Text("Other subject ", u't', 20);
const TextArg kMessageB = Text("Other message ", u'n', 500);
const TextArg kScheduleA = Text("予定A ", u'a', 200);
const TextArg kScheduleB = Text("予定B ", u'b', 200);

std::string Count(const char* what, std::size_t got, std::size_t want) {
  if (got == want) return {};
  return std::string(what) + ": " + std::to_string(got) + " instead of " + std::to_string(want);
}

// A real file for AddLink, which checks that its path exists.
const std::u16string& LinkTarget() {
  static const std::u16string path = [] {
    const fs::path file = WorkRoot() / "link-target.txt";
    std::ofstream(file) << "target\n";
    return Utf8ToUtf16(file.string());
  }();
  return path;
}

std::vector<Command> Commands() {
  std::vector<Command> c;

  // Memos. At full the table holds 1000 memos: the add runs on 999 (one
  // removed at setup) so it is not refused.
  c.push_back({"AddMemo",
               [](Session& s) {
                 s.control().RemoveMemo(s.doc(), static_cast<int>(s.state().memos.size()) - 1);
               },
               [](Session& s, std::int64_t) { s.control().AddMemo(s.doc(), kSubject, kMessage); },
               [](Session& s, std::int64_t) {
                 const std::size_t n = s.state().memos.size();
                 Check bad =
                     Count("memos after AddMemo", n, static_cast<std::size_t>(s.scale().memos));
                 s.control().RemoveMemo(s.doc(), static_cast<int>(n) - 1);
                 return bad;
               }});
  c.push_back({"RenewMemo", nullptr,
               [](Session& s, std::int64_t i) {
                 const int num = static_cast<int>(s.state().memos.size()) / 2;
                 if (i % 2 == 0) {
                   s.control().RenewMemo(s.doc(), kSubjectB, kMessageB, num);
                 } else {
                   s.control().RenewMemo(s.doc(), kSubject, kMessage, num);
                 }
               },
               [](Session& s, std::int64_t i) -> Check {
                 const auto& memo = s.state().memos[s.state().memos.size() / 2];
                 if (memo.subject != (i % 2 == 0 ? kSubjectB : kSubject))
                   return "RenewMemo had no effect";
                 return {};
               }});
  // The last memo is removed and added again, so the table stays full.
  c.push_back({"RemoveMemo", nullptr,
               [](Session& s, std::int64_t) {
                 s.control().RemoveMemo(s.doc(), static_cast<int>(s.state().memos.size()) - 1);
               },
               [](Session& s, std::int64_t) {
                 const std::size_t n = s.state().memos.size();
                 Check bad = Count("memos after RemoveMemo", n,
                                   static_cast<std::size_t>(s.scale().memos - 1));
                 s.control().AddMemo(s.doc(), kSubject, kMessage);
                 return bad;
               }});
  c.push_back({"ChangeMemoPage", nullptr,
               [](Session& s, std::int64_t i) { s.control().ChangeMemoPage(s.doc(), 1 + i % 2); },
               [](Session& s, std::int64_t i) {
                 return Count("memo page", static_cast<std::size_t>(s.state().memo_page),
                              static_cast<std::size_t>(1 + i % 2));
               }});

  // Link menus. At full the table holds 100 menus (one removed at setup) and
  // menu 0 holds 1000 links (one removed at setup).
  c.push_back(
      {"MakeLinkMenu",
       [](Session& s) {
         s.ui().QueueAnswer(Answer::kYes);
         s.control().RemoveLinkMenu(s.doc(), static_cast<int>(s.state().menus.size()) - 1);
       },
       [](Session& s, std::int64_t) { s.control().MakeLinkMenu(s.doc(), u"新しいメニュー", -1); },
       [](Session& s, std::int64_t) {
         const std::size_t n = s.state().menus.size();
         Check bad =
             Count("menus after MakeLinkMenu", n, static_cast<std::size_t>(s.scale().menus));
         s.ui().QueueAnswer(Answer::kYes);
         s.control().RemoveLinkMenu(s.doc(), static_cast<int>(n) - 1);
         return bad;
       }});
  c.push_back({"AddLink",
               [](Session& s) {
                 const int last = static_cast<int>(s.state().menus.at(0).links.size()) - 1;
                 s.control().RemoveLink(s.doc(), last, 0);
               },
               [](Session& s, std::int64_t) { s.control().AddLink(s.doc(), LinkTarget(), 0); },
               [](Session& s, std::int64_t) {
                 const std::size_t n = s.state().menus[0].links.size();
                 Check bad = Count("links after AddLink", n,
                                   static_cast<std::size_t>(s.scale().links_per_menu));
                 s.control().RemoveLink(s.doc(), static_cast<int>(n) - 1, 0);
                 return bad;
               }});
  c.push_back({"PermuteLink", nullptr,
               [](Session& s, std::int64_t) {
                 const int last = static_cast<int>(s.state().menus[0].links.size()) - 1;
                 s.control().PermuteLink(s.doc(), 0, last, 0);
               },
               [](Session& s, std::int64_t i) -> Check {
                 const auto& links = s.state().menus[0].links;
                 const bool swapped = links.front().path.find(u"file0000") == std::u16string::npos;
                 if (swapped != (i % 2 == 0)) return "PermuteLink had no effect";
                 return {};
               }});
  c.push_back(
      {"ChangeLinkPage", nullptr,
       [](Session& s, std::int64_t i) { s.control().ChangeLinkPage(s.doc(), 0, 1 + i % 2); },
       [](Session& s, std::int64_t i) {
         return Count("link page", static_cast<std::size_t>(s.state().menus[0].page_num),
                      static_cast<std::size_t>(1 + i % 2));
       }});

  // Windows and options. The last global record makes the search longest.
  c.push_back({"SetWndPos", nullptr,
               [](Session& s, std::int64_t i) {
                 s.control().SetWndPos(s.data().global_window_names.back(), 100 + i % 2, 200, 1);
               },
               [](Session& s, std::int64_t i) -> Check {
                 const auto& w = s.state().windows;
                 if (w.empty() || w.back().x != 100 + i % 2) return "SetWndPos had no effect";
                 return {};
               }});
  c.push_back({"ChangeOption(MenuTextColor)", nullptr,
               [](Session& s, std::int64_t i) {
                 s.control().ChangeOption(s.doc(), u"MenuTextColor", i % 2 == 0 ? 1 : -1);
               },
               [](Session& s, std::int64_t i) {
                 return Count("MenuTextColor",
                              static_cast<std::size_t>(s.state().options.menu_text_color),
                              i % 2 == 0 ? 4 : 3);
               }});
  c.push_back({"ChangeOption(LinkItemNum)", nullptr,
               [](Session& s, std::int64_t i) {
                 s.control().ChangeOption(s.doc(), u"LinkItemNum", i % 2 == 0 ? 1 : -1);
               },
               [](Session& s, std::int64_t i) {
                 return Count("LinkItemNum",
                              static_cast<std::size_t>(s.state().options.link_item_num),
                              i % 2 == 0 ? 11 : 10);
               }});
  // Memo 0's window has a record of its own in the global list; setup notes
  // its colour.
  c.push_back({"ChangeWindowOption(TextColor)",
               [](Session& s) {
                 const std::u16string name = MemoWindowName(s.data().memo_keys[0]);
                 for (const WndRecord& r : s.state().windows) {
                   if (r.name == name) s.base = r.text_color;
                 }
               },
               [](Session& s, std::int64_t i) {
                 s.control().ChangeWindowOption(s.doc(), MemoWindowName(s.data().memo_keys[0]),
                                                u"TextColor", i % 2 == 0 ? 1 : -1);
               },
               [](Session& s, std::int64_t i) -> Check {
                 const std::u16string name = MemoWindowName(s.data().memo_keys[0]);
                 const std::int64_t want = (s.base + (i % 2 == 0 ? 1 : 0)) % kColorCount;
                 for (const WndRecord& r : s.state().windows) {
                   if (r.name != name) continue;
                   if (r.text_color != want) return "ChangeWindowOption had no effect";
                   return {};
                 }
                 return "no window record for memo 0";
               }});
  // Wallpaper 0 is made current at setup; the runs alternate 1 and 0.
  c.push_back({"SetBG", [](Session& s) { s.control().SetBG(s.doc(), 0); },
               [](Session& s, std::int64_t i) { s.control().SetBG(s.doc(), i % 2 == 0 ? 1 : 0); },
               [](Session& s, std::int64_t i) {
                 return Count("current wallpaper",
                              static_cast<std::size_t>(s.state().current_wallpaper),
                              i % 2 == 0 ? 1 : 0);
               }});

  // Calendar and schedule: January 1 and 2 have schedules at both scales.
  c.push_back(
      {"SetCalender", nullptr,
       [](Session& s, std::int64_t i) { s.control().SetCalender(s.doc(), 2026, 1 + i % 2); },
       [](Session& s, std::int64_t i) {
         return Count("shown month", static_cast<std::size_t>(s.state().shown_month),
                      static_cast<std::size_t>(1 + i % 2));
       }});
  c.push_back(
      {"ChangeDate", nullptr,
       [](Session& s, std::int64_t i) { s.control().ChangeDate(s.doc(), 2026, 1, 1 + i % 2); },
       nullptr});
  c.push_back({"ChangeSchedule", nullptr,
               [](Session& s, std::int64_t i) {
                 s.control().ChangeSchedule(s.doc(), i % 2 == 0 ? kScheduleB : kScheduleA, 2026, 1,
                                            1);
               },
               nullptr});

  for (Command& command : c) {
    for (const char* name : {"AddMemo", "RenewMemo", "RemoveMemo", "ChangeMemoPage",
                             "ChangeWindowOption(TextColor)"}) {
      if (command.name == name) command.ready = MemosLoaded;
    }
    for (const char* name : {"MakeLinkMenu", "AddLink", "PermuteLink", "ChangeLinkPage"}) {
      if (command.name == name) command.ready = LinksLoaded;
    }
  }
  return c;
}

void RunCommand(benchmark::State& state, const Command& command, const Scale& scale) {
  Session& s = CachedSession(command.name + "/" + scale.name, scale, command.setup, command.ready);
  if (!s.broken.empty()) {
    state.SkipWithError(s.broken.c_str());
    for (auto _ : state) {
    }
    return;
  }
  std::int64_t step = s.step;
  for (auto _ : state) {
    command.run(s, step);
    if (command.after || s.ui().events().size() > 0) {
      state.PauseTiming();
      Check bad = command.after ? command.after(s, step) : Check();
      if (bad.empty() && s.TakeMessages() > 0) bad = "a message was shown";
      state.ResumeTiming();
      if (!bad.empty()) {
        state.SkipWithError(bad.c_str());
        break;
      }
    }
    ++step;
  }
  s.step = step;
}

// A new control and page for every run; only InitPage is timed.
void RunInitPage(benchmark::State& state, const Scale& scale) {
  Session& s = CachedSession("InitPage/" + scale.name, scale, nullptr);
  for (auto _ : state) {
    state.PauseTiming();
    s.Restart();
    state.ResumeTiming();
    s.control().InitPage(s.doc());
  }
  state.counters["page_bytes"] = static_cast<double>(s.doc().Serialize().size());
}

// The page InitPage leaves at full, parsed into a fresh document.
void RunYardstick(benchmark::State& state) {
  static const std::string page = [] {
    Session s(FullScale());
    return s.doc().Serialize();
  }();
  for (auto _ : state) {
    auto doc = HtmlDocument::Parse(page);
    benchmark::DoNotOptimize(doc.get());
    state.PauseTiming();
    doc.reset();
    state.ResumeTiming();
  }
  state.counters["page_bytes"] = static_cast<double>(page.size());
}

void Register(bool smoke) {
  static const std::vector<Command> commands = Commands();
  const Scale scales[] = {TenthScale(), FullScale()};
  auto tune = [smoke](benchmark::internal::Benchmark* b) {
    b->Unit(benchmark::kMillisecond);
    if (smoke) b->Iterations(1);
  };
  tune(benchmark::RegisterBenchmark("Yardstick/ParseFinalPage/full", RunYardstick));
  for (const Scale& scale : scales) {
    tune(benchmark::RegisterBenchmark(("InitPage/" + scale.name).c_str(),
                                      [scale](benchmark::State& st) { RunInitPage(st, scale); }));
  }
  for (const Command& command : commands) {
    for (const Scale& scale : scales) {
      tune(benchmark::RegisterBenchmark(
          (command.name + "/" + scale.name).c_str(),
          [&command, scale](benchmark::State& st) { RunCommand(st, command, scale); }));
    }
  }
}

}  // namespace

void DropSession() { TheCache().session.reset(); }

}  // namespace vellumine::bench

int main(int argc, char** argv) {
  using namespace vellumine::bench;
  std::string table;
  std::string raw;
  std::string table_from;
  bool smoke = false;
  std::vector<char*> rest;
  for (int i = 0; i < argc; ++i) {
    if (i > 0 && std::strncmp(argv[i], "--table=", 8) == 0) {
      table = argv[i] + 8;
    } else if (i > 0 && std::strncmp(argv[i], "--raw=", 6) == 0) {
      raw = argv[i] + 6;
    } else if (i > 0 && std::strncmp(argv[i], "--table-from=", 13) == 0) {
      table_from = argv[i] + 13;
    } else if (i > 0 && std::strcmp(argv[i], "--smoke") == 0) {
      smoke = true;
    } else {
      rest.push_back(argv[i]);
    }
  }
  if (!table_from.empty()) {
    // No runs: the table of the times other runs wrote with --raw.
    ResultsReporter merged;
    std::ifstream in(table_from, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      const std::size_t tab = line.find('\t');
      if (tab == std::string::npos) continue;
      merged.Add(line.substr(0, tab), std::strtod(line.c_str() + tab + 1, nullptr));
    }
    std::ofstream out(table, std::ios::binary | std::ios::trunc);
    out << merged.Table();
    return in.bad() || !out ? 2 : 0;
  }
  int count = static_cast<int>(rest.size());
  rest.push_back(nullptr);
  benchmark::Initialize(&count, rest.data());
  if (benchmark::ReportUnrecognizedArguments(count, rest.data())) return 2;
  Register(smoke);
  ResultsReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  DropSession();
  if (!raw.empty()) {
    std::ofstream out(raw, std::ios::binary | std::ios::trunc);
    out << reporter.Raw();
  }
  if (!table.empty()) {
    std::ofstream out(table, std::ios::binary | std::ios::trunc);
    out << reporter.Table();
    if (!out) {
      std::fprintf(stderr, "cannot write %s\n", table.c_str());
      return 2;
    }
  }
  return reporter.failed() ? 1 : 0;
}
