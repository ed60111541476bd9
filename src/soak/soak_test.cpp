// Randomised soak: long seeded sequences of every control method, with valid
// and invalid arguments, against the in-memory page. After every call the
// state the files hold must be the state the control holds, and every K calls
// (and at the end) a fresh control that starts on a copy of the data folder
// must render the same page as the live one.
// (soak_session.h says what is compared, and why).
//
// Knobs (environment): VELLUMINE_SOAK_CALLS (default 300), VELLUMINE_SOAK_SEED,
// VELLUMINE_SOAK_EVERY (page check interval, default 25, up to 100 for long runs),
// VELLUMINE_SOAK_TRACE=1 prints every call before it runs (for a crash, with the seed),
// VELLUMINE_SOAK_AS_DRAWN=1 or 2 (soak_session.h), VELLUMINE_SOAK_SHRINK_SECONDS (default
// 300). A failure prints the seed and the shortest call sequence found in
// that time that still fails.
//
// Soak.TablesFillToTheirLimitsAndNoFurther is a mode of its own: it drives
// each table (memos, link menus, one menu's links, wallpapers, both window
// lists) to its limit and a few calls past it, checking the limits after
// every call and the files every 100 calls.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "soak/soak_calls.h"
#include "soak/soak_generator.h"
#include "soak/soak_session.h"
#include "tests/support.h"

namespace vellumine::soak {
namespace {

// ---------------------------------------------------------------------------
// Running and shrinking

struct Options {
  std::uint64_t seed = 20261207;
  std::size_t calls = 300;
  std::size_t every = 25;
  bool trace = false;
  int as_drawn = 0;  // 1, 2: compare the live page as its calls left it
  double shrink_seconds = 300;
};

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
  const char* v = std::getenv(name);
  if (!v || !*v) return fallback;
  return std::strtoull(v, nullptr, 10);
}

Options FromEnvironment() {
  Options o;
  o.seed = EnvNumber("VELLUMINE_SOAK_SEED", o.seed);
  o.calls = EnvNumber("VELLUMINE_SOAK_CALLS", o.calls);
  // A page check costs about as much as fifty calls: long runs check every
  // hundredth call, short ones every 25th.
  o.every = std::clamp<std::size_t>(o.calls / 200, 25, 100);
  o.every = std::max<std::uint64_t>(1, EnvNumber("VELLUMINE_SOAK_EVERY", o.every));
  o.trace = EnvNumber("VELLUMINE_SOAK_TRACE", 0) != 0;
  o.as_drawn = static_cast<int>(EnvNumber("VELLUMINE_SOAK_AS_DRAWN", 0));
  o.shrink_seconds = static_cast<double>(EnvNumber("VELLUMINE_SOAK_SHRINK_SECONDS", 300));
  return o;
}

// Replays a fixed sequence; the fault it shows, if any.
std::optional<Fault> Replay(const std::string& page, const std::vector<Call>& calls,
                            const Options& o, CheckMode mode) {
  Session session(page, o.every, o.as_drawn);
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (auto fault = session.Step(calls[i], i, i + 1 == calls.size(), mode)) return fault;
  }
  return std::nullopt;
}

// Removes calls while the sequence still fails in the same way: chunks of
// halving size, then single calls, until no removal keeps the fault. fails()
// answers whether a candidate still shows the fault.
std::vector<Call> Shrink(std::vector<Call> calls,
                         const std::function<bool(const std::vector<Call>&)>& fails,
                         std::size_t budget) {
  std::size_t chunk = std::max<std::size_t>(1, calls.size() / 2);
  for (;;) {
    bool removed = false;
    for (std::size_t start = 0; start < calls.size() && budget > 0;) {
      // Never drop the last call: it is where the fault shows.
      const std::size_t end = std::min(start + chunk, calls.size() - 1);
      if (end <= start) break;
      std::vector<Call> candidate;
      candidate.reserve(calls.size() - (end - start));
      candidate.insert(candidate.end(), calls.begin(), calls.begin() + start);
      candidate.insert(candidate.end(), calls.begin() + end, calls.end());
      --budget;
      if (fails(candidate)) {
        calls = std::move(candidate);
        removed = true;
      } else {
        start = end;
      }
    }
    if (budget == 0) break;
    if (chunk == 1 && !removed) break;
    if (!removed) chunk = std::max<std::size_t>(1, chunk / 2);
  }
  return calls;
}

std::string Report(const Options& o, const Fault& fault, const std::vector<Call>& minimal,
                   CheckMode mode) {
  std::ostringstream out;
  out << "Soak fault with VELLUMINE_SOAK_SEED=" << o.seed << " after call " << fault.call << ": "
      << fault.kind << fault.detail << "\n";
  out << "Shortest sequence found (" << minimal.size() << " calls after InitPage, checked "
      << (mode == CheckMode::kLastOnly ? "after the last call only"
                                       : "after every call, page every " + std::to_string(o.every))
      << "):\n";
  for (std::size_t i = 0; i < minimal.size(); ++i) {
    out << "  " << i << ": " << Describe(minimal[i]) << "\n";
  }
  return out.str();
}

TEST(Soak, RandomCallsKeepFilesAndPageInStep) {
  const Options o = FromEnvironment();
  std::cout << "[soak] seed " << o.seed << ", " << o.calls << " calls, page check every " << o.every
            << std::endl;
  const std::string page = testing::BundledPage();
  Generator gen(o.seed);
  std::vector<Call> calls;
  std::optional<Fault> fault;
  const auto started = std::chrono::steady_clock::now();
  {
    Session session(page, o.every, o.as_drawn);
    for (std::size_t i = 0; i < o.calls && !fault; ++i) {
      calls.push_back(gen.Next(session));
      if (o.trace) std::cout << "[soak] " << i << ": " << Describe(calls.back()) << std::endl;
      fault = session.Step(calls.back(), i, i + 1 == o.calls, CheckMode::kEvery);
    }
    std::cout << "[soak] " << session.Summary() << std::endl;
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::cout << "[soak] " << calls.size() << " calls in " << seconds << " s" << std::endl;
  if (!fault) return;

  // Shrink: first try checking the last call only (cheaper, and it shows
  // the fault's cause without the checks in between); else replay as run.
  const auto shrink_start = std::chrono::steady_clock::now();
  CheckMode mode = CheckMode::kLastOnly;
  auto same = [&](const std::optional<Fault>& f) { return f && f->kind == fault->kind; };
  if (!same(Replay(page, calls, o, mode))) mode = CheckMode::kEvery;
  std::vector<Call> minimal = calls;
  if (same(Replay(page, calls, o, mode))) {
    minimal = Shrink(
        calls,
        [&](const std::vector<Call>& candidate) {
          // Past the time allowed, stop removing and show what is left.
          const auto spent = std::chrono::steady_clock::now() - shrink_start;
          if (std::chrono::duration<double>(spent).count() > o.shrink_seconds) return false;
          return same(Replay(page, candidate, o, mode));
        },
        2000);
  }
  const std::optional<Fault> shown = Replay(page, minimal, o, mode);
  ADD_FAILURE() << Report(o, shown && same(shown) ? *shown : *fault, minimal, mode);
}

// Every table is driven to its limit and past it: the limits hold, the
// refused calls change nothing that is saved, and the files still match.
TEST(Soak, TablesFillToTheirLimitsAndNoFurther) {
  const Options o = FromEnvironment();
  Generator gen(o.seed);
  Session session(testing::BundledPage(), 100, 0);
  std::optional<Fault> fault;
  std::size_t i = 0;
  for (; i < 20000 && !gen.done() && !fault; ++i) {
    const Call c = gen.NextFill(session);
    if (o.trace) std::cout << "[soak fill] " << i << ": " << Describe(c) << std::endl;
    fault = session.Step(c, i, false, CheckMode::kSparse);
  }
  ASSERT_FALSE(fault) << fault->kind << fault->detail << " at call " << fault->call;
  EXPECT_TRUE(gen.done()) << session.Summary();
  Call last;
  last.method = M::InitPage;
  fault = session.Step(last, i, true, CheckMode::kSparse);
  EXPECT_FALSE(fault) << fault->kind << fault->detail;
  const ControlState& s = session.state();
  EXPECT_EQ(s.memos.size(), static_cast<std::size_t>(kMaxMemos));
  EXPECT_EQ(s.menus.size(), static_cast<std::size_t>(kMaxLinkMenus));
  ASSERT_FALSE(s.menus.empty());
  EXPECT_EQ(s.menus[0].links.size(), static_cast<std::size_t>(kMaxLinks));
  EXPECT_EQ(s.wallpapers.size(), static_cast<std::size_t>(kMaxWallPapers));
  std::cout << "[soak fill] " << i << " calls: " << session.Summary() << std::endl;
}

// The shrinker keeps exactly what a failure needs.
TEST(Soak, ShrinkKeepsOnlyTheCallsAFaultNeeds) {
  std::vector<Call> calls;
  for (int i = 0; i < 40; ++i) {
    Call c;
    c.method = M::EditMemo;
    c.n = {i};
    calls.push_back(c);
  }
  // Fails when calls 7 and 23 are both present, and the last call (39) ends it.
  auto fails = [](const std::vector<Call>& cs) {
    bool a = false, b = false;
    for (const Call& c : cs) {
      a = a || c.n[0] == 7;
      b = b || c.n[0] == 23;
    }
    return a && b && !cs.empty() && cs.back().n[0] == 39;
  };
  const std::vector<Call> minimal = Shrink(calls, fails, 1000);
  ASSERT_EQ(minimal.size(), 3u);
  EXPECT_EQ(minimal[0].n[0], 7);
  EXPECT_EQ(minimal[1].n[0], 23);
  EXPECT_EQ(minimal[2].n[0], 39);
}

}  // namespace
}  // namespace vellumine::soak
