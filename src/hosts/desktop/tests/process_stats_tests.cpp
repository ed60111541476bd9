// Reading what the app's processes cost from /proc: the stat and status
// lines, and CPU time between two samples.
#include <gtest/gtest.h>
#include <unistd.h>

#include "hosts/desktop/process_stats.h"

namespace vellumine::desktop {
namespace {

TEST(ProcessStats, ReadsNameParentAndCpuTimeOfAStatLine) {
  // A name may hold spaces and parentheses; the fields count from its end.
  auto line = ParseStatLine(
      "4242 (Web (Content) 1) S 17 4242 4242 0 -1 4194560 100 0 0 0 250 31 0 0 20 0 12 0 "
      "1234 5678 99 18446744073709551615\n");
  ASSERT_TRUE(line);
  EXPECT_EQ(line->name, "Web (Content) 1");
  EXPECT_EQ(line->parent, 17);
  EXPECT_EQ(line->cpu_ticks, 281u);
  EXPECT_FALSE(ParseStatLine(""));
  EXPECT_FALSE(ParseStatLine("4242 no parentheses S 17"));
  EXPECT_FALSE(ParseStatLine("4242 (short) S 17 1 2"));
  EXPECT_FALSE(ParseStatLine("4242 (bad) S x 1 2 3 4 5 6 7 8 9 10 11 12 13"));
}

TEST(ProcessStats, ReadsSizesOfAStatusInBytes) {
  const char status[] =
      "Name:\tWebKitWebProces\nVmPeak:\t  900 kB\nVmHWM:\t   1234 kB\nVmRSS:\t    17 kB\n"
      "Threads:\t21\n";
  EXPECT_EQ(StatusBytes(status, "VmHWM"), 1234u * 1024);
  EXPECT_EQ(StatusBytes(status, "VmRSS"), 17u * 1024);
  EXPECT_EQ(StatusBytes(status, "Threads"), 21u);
  // A key is matched whole, not as the start of another.
  EXPECT_FALSE(StatusBytes(status, "Vm"));
  EXPECT_FALSE(StatusBytes(status, "VmSwap"));
  EXPECT_FALSE(StatusBytes("VmHWM:\tlots kB\n", "VmHWM"));
  EXPECT_FALSE(StatusBytes("VmHWM:\t12 MB\n", "VmHWM"));
}

TEST(ProcessStats, SamplesThisProcessAndCountsCpuPerCore) {
  std::vector<ProcessSample> now = SampleAppProcesses();
  ASSERT_FALSE(now.empty());
  EXPECT_EQ(now.front().pid, getpid());
  EXPECT_GT(now.front().peak_rss, 0u);
  EXPECT_GE(now.front().peak_rss, now.front().rss);

  const double hz = static_cast<double>(sysconf(_SC_CLK_TCK));
  std::vector<ProcessSample> before = {{1, "a", 100, 0, 0}, {2, "b", 50, 0, 0}};
  // One process used a second's worth of ticks, one was gone, one is new:
  // it counts from nothing.
  std::vector<ProcessSample> after = {{1, "a", 100 + static_cast<std::uint64_t>(hz), 0, 0},
                                      {3, "c", static_cast<std::uint64_t>(hz / 2), 0, 0}};
  EXPECT_NEAR(CpuPercent(before, after, 2.0), 75.0, 0.01);
  EXPECT_EQ(CpuPercent(before, before, 2.0), 0.0);
  EXPECT_EQ(CpuPercent(before, after, 0.0), 0.0);
}

}  // namespace
}  // namespace vellumine::desktop
