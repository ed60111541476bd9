#include <gtest/gtest.h>

#include <cstdint>

#include "control/skerrow.h"
#include "platform/scripted_platform.h"
#include "platform/memory_platform.h"

namespace vellumine {
namespace {


std::uint32_t DrawKey(CSkerrow& control) {
  ItemKey key{1, 0};
  control.store().MakeItemKeyPath(u"memo", key);
  return key.second;
}

TEST(ControlRandomEngine, SeededWithTheTickCountAndOwnedByEachControl) {
  MemoryPlatform files;
  ScriptedPlatform ui(files, files.DataFolder());
  ui.set_tick_count(5489);
  CSkerrow first(ui);
  EXPECT_EQ(DrawKey(first), 0xd091bb5cu);

  // A second control made with the same tick count starts its own sequence
  // and leaves the first one's where it was.
  CSkerrow second(ui);
  EXPECT_EQ(DrawKey(first), 0x22ae9ef6u);
  EXPECT_EQ(DrawKey(second), 0xd091bb5cu);
  EXPECT_EQ(DrawKey(first), 0xe7e1faeeu);

  ui.set_tick_count(20261207);
  CSkerrow third(ui);
  EXPECT_EQ(DrawKey(third), 0xce9b8ff1u);
}

}  // namespace
}  // namespace vellumine
