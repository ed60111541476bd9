// Which monitor the desktop covers.
#include <gtest/gtest.h>

#include "hosts/desktop/monitors.h"

namespace vellumine::desktop {
namespace {

const std::vector<MonitorInfo> kThree = {{"eDP-1", false}, {"DP-2", true}, {"HDMI-A-1", false}};
const std::vector<MonitorInfo> kNoPrimary = {{"HEADLESS-1", false}, {"HEADLESS-2", false}};

TEST(Monitors, ByNameOrNumber) {
  EXPECT_EQ(FindMonitor(kThree, "HDMI-A-1"), 2);
  EXPECT_EQ(FindMonitor(kThree, "hdmi-a-1"), 2);  // case does not matter
  EXPECT_EQ(FindMonitor(kThree, "0"), 0);
  EXPECT_EQ(FindMonitor(kThree, "2"), 2);
  EXPECT_EQ(FindMonitor(kThree, "3"), -1);
  EXPECT_EQ(FindMonitor(kThree, "99999999999999999999"), -1);  // no overflow
  EXPECT_EQ(FindMonitor(kThree, "-1"), -1);
  EXPECT_EQ(FindMonitor(kThree, "DP"), -1);  // no partial names
  EXPECT_EQ(FindMonitor(kThree, ""), -1);
  EXPECT_EQ(FindMonitor({}, "0"), -1);
  // An exact name beats one that differs in case only.
  EXPECT_EQ(FindMonitor({{"dp-1", false}, {"DP-1", false}}, "DP-1"), 1);
  // A monitor whose name is not known yet matches no name.
  EXPECT_EQ(FindMonitor({{"", false}}, ""), -1);
}

TEST(Monitors, ThePrimaryOrTheFirstByDefault) {
  EXPECT_EQ(DefaultMonitor(kThree), 1);
  EXPECT_EQ(DefaultMonitor(kNoPrimary), 0);
  EXPECT_EQ(DefaultMonitor({}), -1);
  bool found = true;
  EXPECT_EQ(ChooseMonitor(kThree, "", &found), 1);
  EXPECT_FALSE(found);
  EXPECT_EQ(ChooseMonitor(kThree, "eDP-1", &found), 0);
  EXPECT_TRUE(found);
  // A monitor that is gone: the default until it comes back.
  EXPECT_EQ(ChooseMonitor(kNoPrimary, "HEADLESS-3", &found), 0);
  EXPECT_FALSE(found);
  EXPECT_EQ(ChooseMonitor({}, "HEADLESS-3", &found), -1);
  EXPECT_EQ(ChooseMonitor(kNoPrimary, "1", nullptr), 1);
}

}  // namespace
}  // namespace vellumine::desktop
