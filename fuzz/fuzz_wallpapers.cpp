// "wplist" with the settings files its "Hash=" records name (input: the
// list, then "\n--\n" and each settings file in turn). The reader stays
// within the limits; saving everything and reading it again gives the same
// table, and a second save writes the same bytes.
#include <map>
#include <random>

#include "fuzz/fuzz_support.h"
#include "store/settings.h"
#include "store/store.h"

using namespace vellumine;
using namespace vellumine::fuzz;

namespace {

void SaveAll(Store& store, ControlState& state) {
  FUZZ_CHECK(SaveWallPaperList(store, state));
  for (WallPaperEntry& w : state.wallpapers) FUZZ_CHECK(SaveWallPaperSettings(store, w));
}

std::map<std::u16string, std::string> Files(const MemoryPlatform& platform) {
  return platform.files();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::mt19937 random(7);
  MemoryPlatform platform;
  PutSplit(platform, Split(data, size), u"wplist", u"wp");
  Store store(platform, platform.DataFolder(), &random);

  ControlState first;
  const int count = LoadWallPaperList(store, first);
  FUZZ_CHECK(count >= 0 && count <= kMaxWallPapers);
  FUZZ_CHECK(static_cast<std::size_t>(count) == first.wallpapers.size());
  for (const WallPaperEntry& w : first.wallpapers) {
    FUZZ_CHECK(w.windows.size() <= static_cast<std::size_t>(kMaxWindows));
  }
  // Two sections naming one settings file share it: the last save wins, so
  // a round trip only holds for tables whose keys differ.
  for (std::size_t i = 0; i < first.wallpapers.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (first.wallpapers[i].key == first.wallpapers[j].key) return 0;
    }
  }

  SaveAll(store, first);
  const auto saved = Files(platform);
  ControlState second;
  LoadWallPaperList(store, second);
  FUZZ_CHECK(second.wallpapers.size() == first.wallpapers.size());
  for (std::size_t i = 0; i < first.wallpapers.size(); ++i) {
    const WallPaperEntry& a = first.wallpapers[i];
    const WallPaperEntry& b = second.wallpapers[i];
    FUZZ_CHECK(Saved(a.path) == Saved(b.path));
    FUZZ_CHECK(a.key == b.key);
    FUZZ_CHECK(SameOptions(a.options, b.options));
    FUZZ_CHECK(SameWindows(a.windows, b.windows));
  }
  SaveAll(store, second);
  FUZZ_CHECK(Files(platform) == saved);
  return 0;
}
