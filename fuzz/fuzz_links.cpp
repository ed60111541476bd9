// The link index "link" with the menu files its "Hash=" records name (input:
// the index, then "\n--\n" and each menu file in turn). The reader stays
// within the limits; saving every menu and the index and reading again gives
// the same menus.
#include <random>

#include "fuzz/fuzz_support.h"
#include "links/link_store.h"
#include "store/store.h"

using namespace vellumine;
using namespace vellumine::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::mt19937 random(7);
  MemoryPlatform platform;
  PutSplit(platform, Split(data, size), u"link", u"linkmenu");
  Store store(platform, platform.DataFolder(), &random);

  ControlState first;
  const int count = links::LoadLinkMenus(store, first);
  FUZZ_CHECK(count >= 0 && count <= kMaxLinkMenus);
  FUZZ_CHECK(static_cast<std::size_t>(count) == first.menus.size());
  for (const LinkMenu& m : first.menus) {
    FUZZ_CHECK(m.links.size() <= static_cast<std::size_t>(kMaxLinks));
    for (const LinkEntry& l : m.links) FUZZ_CHECK(l.path_hash == StringHash(l.path));
  }
  // Menus sharing a key share a file: the round trip holds for distinct keys.
  for (std::size_t i = 0; i < first.menus.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (first.menus[i].key == first.menus[j].key) return 0;
    }
  }

  for (LinkMenu& m : first.menus) FUZZ_CHECK(links::SaveMenuLinks(store, m));
  FUZZ_CHECK(links::SaveLinkIndex(store, first));
  ControlState second;
  links::LoadLinkMenus(store, second);
  FUZZ_CHECK(second.menus.size() == first.menus.size());
  for (std::size_t i = 0; i < first.menus.size(); ++i) {
    const LinkMenu& a = first.menus[i];
    const LinkMenu& b = second.menus[i];
    FUZZ_CHECK(Saved(a.name) == Saved(b.name));
    FUZZ_CHECK(a.key == b.key);
    FUZZ_CHECK(a.page_num == b.page_num);
    FUZZ_CHECK(a.links.size() == b.links.size());
    for (std::size_t k = 0; k < a.links.size(); ++k) {
      FUZZ_CHECK(Saved(a.links[k].path) == Saved(b.links[k].path));
    }
  }
  return 0;
}
