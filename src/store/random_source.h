// The process-wide random source: one 32-bit Mersenne Twister (MT19937 with
// the reference single-seed initialisation) shared by every control in the
// process. Drawn before any seeding, it seeds itself with 5489.
#pragma once

#include <cstdint>

namespace vellumine {

class RandomSource {
 public:
  static RandomSource& Instance();

  void Seed(std::uint32_t seed);
  std::uint32_t Next();   // the next 32-bit output
  double NextFraction();  // Next() * 2^-32, in [0, 1)

 private:
  RandomSource() = default;
  void Twist();

  std::uint32_t mt_[624] = {};
  int index_ = 625;  // 625: never seeded
};

}  // namespace vellumine
