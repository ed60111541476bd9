// Stub: replaced by the store's implementation.
#include "store/random_source.h"

namespace vellumine {
RandomSource& RandomSource::Instance() {
  static RandomSource source;
  return source;
}
void RandomSource::Seed(std::uint32_t) {}
std::uint32_t RandomSource::Next() { return 1; }
double RandomSource::NextFraction() { return 0; }
void RandomSource::Twist() {}
}  // namespace vellumine
