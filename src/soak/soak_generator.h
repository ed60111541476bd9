// The soak's generator: arguments drawn from pools of valid and invalid
// values, led by the live state (existing numbers, window names) so that
// most calls do something. The same seed draws the same calls from the same
// session.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "model/state.h"
#include "page/text.h"
#include "soak/soak_calls.h"
#include "soak/soak_session.h"

namespace vellumine::soak {

class Generator {
 public:
  explicit Generator(std::uint64_t seed) : rng_(seed) {}

  // Calls that drive every table to its limit and a few past it, one table
  // after the other: the window list without a wallpaper, link menus, the
  // links of one menu, wallpapers, the current wallpaper's window list, and
  // memos last (each memo command draws every memo window). done() answers
  // when every table has been pushed past its limit.
  Call NextFill(const Session& session);
  bool done() const;

  Call Next(const Session& session);

 private:
  bool Chance(double p) { return std::uniform_real_distribution<double>(0, 1)(rng_) < p; }
  std::int32_t Range(std::int32_t lo, std::int32_t hi);
  template <typename T>
  T OneOf(std::initializer_list<T> values);

  M PickMethod(const ControlState& s);

  // Mostly a valid position, sometimes one just outside, sometimes far out.
  std::int32_t Index(std::int32_t count);
  std::int32_t Step();
  std::int32_t Coordinate();
  std::int32_t Year();
  std::int32_t Month();
  std::vector<std::int32_t> Date();
  std::optional<FontChoice> Font();
  TextArg Text();
  TextArg Path(const Session& session);
  TextArg WindowName(const ControlState& s, Call& c);

  enum Fill { kMemos, kMenus, kLinks, kWallPapers, kGlobalWindows, kWallWindows, kFills };
  static constexpr int kPast = 3;  // calls made at the limit, each refused
  static std::u16string Num(std::size_t n) { return Utf8ToUtf16(std::to_string(n)); }

  std::mt19937_64 rng_;
  std::array<int, static_cast<std::size_t>(kFills)> pushed_{};
  std::size_t fill_count_ = 0;
};

}  // namespace vellumine::soak
