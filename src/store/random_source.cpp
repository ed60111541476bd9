#include "store/random_source.h"

namespace vellumine {
namespace {
constexpr int kN = 624;
constexpr int kM = 397;
constexpr std::uint32_t kMatrixA = 0x9908b0dfu;
constexpr std::uint32_t kUpperMask = 0x80000000u;
constexpr std::uint32_t kLowerMask = 0x7fffffffu;
}  // namespace

RandomSource& RandomSource::Instance() {
  static RandomSource source;
  return source;
}

void RandomSource::Seed(std::uint32_t seed) {
  mt_[0] = seed;
  for (int i = 1; i < kN; ++i) {
    mt_[i] = 1812433253u * (mt_[i - 1] ^ (mt_[i - 1] >> 30)) + static_cast<std::uint32_t>(i);
  }
  index_ = kN;
}

void RandomSource::Twist() {
  for (int k = 0; k < kN; ++k) {
    const std::uint32_t y = (mt_[k] & kUpperMask) | (mt_[(k + 1) % kN] & kLowerMask);
    mt_[k] = mt_[(k + kM) % kN] ^ (y >> 1) ^ ((y & 1u) ? kMatrixA : 0u);
  }
  index_ = 0;
}

std::uint32_t RandomSource::Next() {
  if (index_ >= kN) {
    if (index_ > kN) Seed(5489u);  // drawn before any seeding
    Twist();
  }
  std::uint32_t y = mt_[index_++];
  y ^= y >> 11;
  y ^= (y << 7) & 0x9d2c5680u;
  y ^= (y << 15) & 0xefc60000u;
  y ^= y >> 18;
  return y;
}

double RandomSource::NextFraction() { return Next() * (1.0 / 4294967296.0); }

}  // namespace vellumine
