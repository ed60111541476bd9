#include "organiser/memo_store.h"

#include <map>
#include <string>
#include <string_view>

#include "page/wide_format.h"
#include "store/records.h"

namespace vellumine::memos {
namespace {

constexpr std::u16string_view kMemoFolder = u"memo";
constexpr std::u16string_view kMemoList = u"memolist";
constexpr std::u16string_view kHashPrefix = u"Hash=";

bool OpensSection(std::u16string_view record) { return record.starts_with(u'['); }

}  // namespace

int LoadMemoList(Store& store, ControlState& state) {
  // What the last load made of each memo's file, by key: kept for a file
  // still as read then.
  std::map<ItemKey, MemoEntry> before;
  for (MemoEntry& entry : state.memos) {
    if (entry.key.second != 0) before.emplace(entry.key, std::move(entry));
  }
  state.memos.clear();
  const std::optional<std::string> bytes = store.Read(kMemoList);
  if (!bytes) return 0;
  RecordReader reader(*bytes);
  std::u16string record;
  // The first record opens the first section whatever it says; the section
  // numbers are not read, the order of the sections gives the positions.
  bool more = reader.Next(&record);
  while (more && static_cast<int>(state.memos.size()) < kMaxMemos) {
    MemoEntry entry;
    while ((more = reader.Next(&record)) && !OpensSection(record)) {
      // A section without "Hash=" keeps the key 0/0; the last one counts.
      if (record.starts_with(kHashPrefix)) entry.key = ParseHashRecord(record);
    }
    const auto it = entry.key.second != 0 ? before.find(entry.key) : before.end();
    if (it != before.end() && store.StillAsRead(store.MakeItemKeyPath(kMemoFolder, entry.key))) {
      entry.subject = std::move(it->second.subject);
      entry.message = std::move(it->second.message);
      before.erase(it);
    } else {
      LoadMemoFile(store, entry);
    }
    state.memos.push_back(std::move(entry));
  }
  // A broken end, or sections past the table's capacity: the next save
  // would drop what could not be read, so the file is kept first.
  if (more || !reader.at_end()) store.MarkDamaged(kMemoList);
  return static_cast<int>(state.memos.size());
}

bool LoadMemoFile(Store& store, MemoEntry& entry) {
  entry.subject.reset();
  entry.message.reset();
  const std::u16string path = store.MakeItemKeyPath(kMemoFolder, entry.key);
  const std::optional<std::string> bytes = store.ReadNoted(path);
  if (!bytes) return false;
  RecordReader reader(*bytes);
  std::u16string record;
  std::optional<std::u16string> subject;
  std::optional<std::u16string> message;
  while (reader.Next(&record) && !OpensSection(record)) {
    for (int k = 0; k < 2; ++k) {
      const std::u16string_view key = kMemoKeys[k];
      // The value follows the key and its "=".
      if (record.size() > key.size() && record.starts_with(key)) {
        (k == 0 ? subject : message) = record.substr(key.size() + 1);
        break;
      }
    }
  }
  if (reader.damaged()) store.MarkDamaged(path);
  if (!subject || !message) return false;
  entry.subject = std::move(subject);
  entry.message = std::move(message);
  return true;
}

bool SaveMemoFile(Store& store, MemoEntry& entry) {
  // Drawing the key happens before the write, so the entry keeps its key
  // even when the file can't be written.
  const std::u16string path = store.MakeItemKeyPath(kMemoFolder, entry.key);
  std::string bytes;
  AppendRecord(bytes, WideFormatted(u"Subject=%s", {entry.subject}));
  AppendRecord(bytes, WideFormatted(u"Message=%s", {entry.message}));
  return store.Write(path, bytes);
}

bool SaveMemoList(Store& store, const ControlState& state) {
  std::string bytes;
  for (std::size_t i = 0; i < state.memos.size(); ++i) {
    const ItemKey& key = state.memos[i].key;
    AppendRecord(bytes, WideFormatted(u"[memo%d]", {static_cast<std::int32_t>(i)}));
    AppendRecord(bytes, WideFormatted(u"Hash=%08x%08x", {key.first, key.second}));
  }
  return store.Write(kMemoList, bytes);
}

bool DeleteMemoFile(Store& store, const MemoEntry& entry) {
  return store.Remove(std::u16string(kMemoFolder) + u"/" + KeyHex(entry.key));
}

}  // namespace vellumine::memos
