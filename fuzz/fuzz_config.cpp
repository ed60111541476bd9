// "config": whatever the file holds, the reader stays within the table
// limits, and what it read survives a save and a second read unchanged.
#include "fuzz/fuzz_support.h"
#include "store/settings.h"
#include "store/store.h"

using namespace vellumine;
using namespace vellumine::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  MemoryPlatform platform;
  platform.Put(u"config", std::string(reinterpret_cast<const char*>(data), size));
  Store store(platform, platform.DataFolder());

  ControlState first;
  LoadConfig(store, first);
  FUZZ_CHECK(first.windows.size() <= static_cast<std::size_t>(kMaxWindows));
  for (const WndRecord& w : first.windows) FUZZ_CHECK(w.hash == StringHash(w.name));

  FUZZ_CHECK(SaveConfig(store, first));
  const std::string saved = *platform.Get(u"config");
  ControlState second;
  LoadConfig(store, second);
  FUZZ_CHECK(SameOptions(second.options, first.options));
  FUZZ_CHECK(second.current_wallpaper == first.current_wallpaper);
  FUZZ_CHECK(SameWindows(second.windows, first.windows));
  FUZZ_CHECK(SaveConfig(store, second));
  FUZZ_CHECK(*platform.Get(u"config") == saved);
  return 0;
}
