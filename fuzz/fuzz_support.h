// Shared pieces of the fuzz targets: an in-memory platform (no disk, no
// dialogs), splitting one input into several data files, and a check that
// aborts with a message (the fuzzer then keeps the input).
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "model/state.h"
#include "page/text.h"
#include "platform/memory_platform.h"
#include "platform/platform.h"
#include "store/records.h"

namespace vellumine::fuzz {

[[noreturn]] inline void Fail(const char* what) {
  std::fprintf(stderr, "fuzz check failed: %s\n", what);
  std::abort();
}

#define FUZZ_CHECK(cond)                         \
  do {                                           \
    if (!(cond)) ::vellumine::fuzz::Fail(#cond); \
  } while (0)

// Bytes read as UTF-16LE units, as the data files hold them; an odd last
// byte is dropped.
inline std::u16string LittleEndianUnits(std::string_view bytes) {
  std::u16string out;
  out.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                        (static_cast<unsigned char>(bytes[i + 1]) << 8)));
  }
  return out;
}

// Splits an input into an index file and the item files it names: the first
// part (up to the first "\n--\n") is the index file; each later part is the
// file of the index's n-th "Hash=" record (its key as the loaders read it,
// "folder/%08x%08x"). So the fuzzer reaches item files without guessing keys.
struct SplitInput {
  std::string index;
  std::vector<std::string> items;
};

inline SplitInput Split(const std::uint8_t* data, std::size_t size) {
  const std::string_view all(reinterpret_cast<const char*>(data), size);
  const std::string_view sep = "\n--\n";
  SplitInput out;
  std::size_t pos = all.find(sep);
  out.index = std::string(all.substr(0, pos));
  while (pos != std::string_view::npos) {
    const std::size_t from = pos + sep.size();
    pos = all.find(sep, from);
    out.items.emplace_back(all.substr(from, pos == std::string_view::npos ? pos : pos - from));
  }
  return out;
}

// The item file names an index file's "Hash=" records give, in file order.
inline std::vector<std::u16string> HashedNames(const std::string& index,
                                               std::u16string_view folder) {
  std::vector<std::u16string> out;
  RecordReader reader(index);
  std::u16string record;
  while (reader.Next(&record)) {
    if (KeyPrefixEqual(record, u"Hash=") == 0) {
      out.push_back(std::u16string(folder) + u"/" + KeyHex(ParseHashRecord(record)));
    }
  }
  return out;
}

// Puts the split input into the platform.
inline void PutSplit(MemoryPlatform& platform, const SplitInput& input, std::u16string_view index,
                     std::u16string_view folder) {
  platform.Put(index, input.index);
  const std::vector<std::u16string> names = HashedNames(input.index, folder);
  for (std::size_t i = 0; i < input.items.size() && i < names.size(); ++i) {
    platform.Put(names[i], input.items[i]);
  }
}

// Texts as a save keeps them: every writer formats with WideFormat, whose %s
// ends a text at its first zero unit, while the readers keep what follows a
// zero read from a file. A round trip is compared up to the first zero.
inline std::u16string_view Saved(std::u16string_view text) { return UpToZero(text); }

// Window lists equal in every stored field (ItemNum is never stored).
inline bool SameWindows(const WndList& a, const WndList& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const WndRecord& x = a[i];
    const WndRecord& y = b[i];
    if (Saved(x.name) != Saved(y.name) || Saved(x.font) != Saved(y.font) || x.x != y.x ||
        x.y != y.y || x.visibility != y.visibility || x.individual != y.individual ||
        x.text_color != y.text_color || x.font_size != y.font_size) {
      return false;
    }
  }
  return true;
}

inline bool SameOptions(const PageOptions& a, const PageOptions& b) {
  PageOptions x = a;
  PageOptions y = b;
  x.calender_font = std::u16string(Saved(x.calender_font));
  y.calender_font = std::u16string(Saved(y.calender_font));
  x.menu_font = std::u16string(Saved(x.menu_font));
  y.menu_font = std::u16string(Saved(y.menu_font));
  return x == y;
}

}  // namespace vellumine::fuzz
