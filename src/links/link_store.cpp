#include "links/link_store.h"

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "page/text.h"
#include "page/wide_format.h"
#include "store/records.h"

namespace vellumine::links {
namespace {

constexpr std::u16string_view kIndexFile = u"link";
constexpr std::u16string_view kMenuFolder = u"linkmenu";

// A bracketed record's text without its first and last unit. Records too
// short to hold both brackets give an empty text rather than cutting past
// their start.
std::u16string Unbracket(std::u16string_view record) {
  if (record.size() < 2) return {};
  return std::u16string(record.substr(1, record.size() - 2));
}

bool StartsWithBracket(std::u16string_view record) {
  return !record.empty() && record.front() == u'[';
}

}  // namespace

int LoadMenuLinks(Store& store, LinkMenu& menu) {
  const std::u16string path = store.MakeItemKeyPath(kMenuFolder, menu.key);
  const std::optional<std::string> bytes = store.ReadNoted(path);
  if (!bytes) return 0;

  std::vector<LinkEntry> links;
  RecordReader reader(*bytes);
  std::u16string record;
  // The first record is a link whatever it begins with; later ones only
  // when bracketed.
  bool first = true;
  while (static_cast<int>(links.size()) < kMaxLinks && reader.Next(&record)) {
    if (!first && !StartsWithBracket(record)) continue;
    first = false;
    LinkEntry entry;
    entry.path = Unbracket(record);
    entry.path_hash = StringHash(entry.path);
    links.push_back(std::move(entry));
  }
  // A broken end, or links past the menu's capacity, would be lost by the
  // next save: the file is kept first.
  if (!reader.at_end()) store.MarkDamaged(path);
  menu.links = std::move(links);
  return static_cast<int>(menu.links.size());
}

int LoadLinkMenus(Store& store, ControlState& state) {
  // What the last load made of each menu's file, by key: kept for a file
  // still as read then.
  std::map<ItemKey, std::vector<LinkEntry>> before;
  for (LinkMenu& menu : state.menus) {
    if (menu.key.second != 0) before.emplace(menu.key, std::move(menu.links));
  }
  auto load_links = [&](LinkMenu& menu) {
    const auto it = menu.key.second != 0 ? before.find(menu.key) : before.end();
    if (it != before.end() && store.StillAsRead(store.MakeItemKeyPath(kMenuFolder, menu.key))) {
      menu.links = std::move(it->second);
      before.erase(it);
      return;
    }
    LoadMenuLinks(store, menu);
  };
  state.menus.clear();
  const std::optional<std::string> bytes = store.Read(kIndexFile);
  if (!bytes) return 0;

  RecordReader reader(*bytes);
  std::u16string record;
  if (!reader.Next(&record)) {
    if (reader.damaged()) store.MarkDamaged(kIndexFile);
    return 0;
  }

  // Starts a menu from its name record; the first record always does.
  auto start_menu = [&state](std::u16string_view name_record) {
    LinkMenu menu;
    menu.name = Unbracket(name_record);
    state.menus.push_back(std::move(menu));
  };
  start_menu(record);
  while (reader.Next(&record)) {
    if (StartsWithBracket(record)) {
      load_links(state.menus.back());
      // A table that is full ignores the rest of the file, which the next
      // save would drop: the file is kept first.
      if (static_cast<int>(state.menus.size()) >= kMaxLinkMenus) {
        store.MarkDamaged(kIndexFile);
        return kMaxLinkMenus;
      }
      start_menu(record);
      continue;
    }
    LinkMenu& menu = state.menus.back();
    const KeyMatch match = LookupKey(kLinkIndexKeys, record);
    if (match.index == 0) {
      menu.key = ParseHashRecord(record);
    } else if (match.index == 1) {
      menu.page_num = ParseDecimal(PlainValue(record, match));
    }
  }
  load_links(state.menus.back());
  if (reader.damaged()) store.MarkDamaged(kIndexFile);
  return static_cast<int>(state.menus.size());
}

bool SaveMenuLinks(Store& store, LinkMenu& menu) {
  const std::u16string path = store.MakeItemKeyPath(kMenuFolder, menu.key);
  std::string bytes;
  std::u16string text;
  for (const LinkEntry& link : menu.links) {
    text.clear();
    WideFormat(text, u"[%s]", {link.path});
    AppendRecord(bytes, text);
  }
  return store.Write(path, bytes);
}

bool SaveLinkIndex(Store& store, const ControlState& state) {
  std::string bytes;
  std::u16string text;
  for (const LinkMenu& menu : state.menus) {
    text.clear();
    WideFormat(text, u"[%s]", {menu.name});
    AppendRecord(bytes, text);
    text.clear();
    WideFormat(text, u"Hash=%08x%08x", {menu.key.first, menu.key.second});
    AppendRecord(bytes, text);
    text.clear();
    WideFormat(text, u"PageNum=%d", {menu.page_num});
    AppendRecord(bytes, text);
  }
  return store.Write(kIndexFile, bytes);
}

}  // namespace vellumine::links
