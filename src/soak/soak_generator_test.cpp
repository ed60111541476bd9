#include "soak/soak_generator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "tests/support.h"

namespace vellumine::soak {
namespace {

// The generator's calls carry what the table's methods take: as many texts
// and numbers as each method has parameters of that kind.
TEST(Soak, CallsCarryTheArgumentsTheirMethodsTake) {
  ASSERT_EQ(Methods().size(), static_cast<std::size_t>(M::kCount));
  EXPECT_EQ(MethodOf(M::SetBG_Random).name, "SetBG_Random");
  EXPECT_EQ(MethodOf(M::ChangeWindowOption).name, "ChangeWindowOption");
  EXPECT_EQ(MethodOf(M::ChangeMemoPage).name, "ChangeMemoPage");
  Session session(testing::BundledPage(), 1000, 0);
  Generator gen(7);
  std::vector<bool> seen(static_cast<std::size_t>(M::kCount));
  for (int i = 0; i < 600; ++i) {
    const Call c = gen.Next(session);
    seen[static_cast<std::size_t>(c.method)] = true;
    const Method& method = MethodOf(c.method);
    std::size_t texts = 0;
    for (const MethodParam& p : method.params) texts += p.kind == ParamKind::kText ? 1 : 0;
    EXPECT_EQ(c.t.size(), texts) << method.name;
    EXPECT_EQ(c.n.size(), method.params.size() - texts) << method.name;
  }
  EXPECT_EQ(std::count(seen.begin(), seen.end(), false), 0);
}

}  // namespace
}  // namespace vellumine::soak
