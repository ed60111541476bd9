#include "store/records.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "page/text.h"
#include "page/wide_format.h"

namespace vellumine {

bool RecordReader::Next(std::u16string* record) {
  if (ended_) return false;
  const std::size_t left = bytes_.size() - pos_;
  if (left < 4) {
    ended_ = true;
    return false;
  }
  const auto byte = [this](std::size_t i) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes_[i]));
  };
  const std::uint32_t raw =
      byte(pos_) | byte(pos_ + 1) << 8 | byte(pos_ + 2) << 16 | byte(pos_ + 3) << 24;
  const auto count = static_cast<std::int32_t>(raw);
  // A negative or absurd count can only come from a damaged file: end it here
  // rather than allocate for it.
  if (count < 0 || count > kMaxRecordUnits || static_cast<std::size_t>(count) * 2 > left - 4) {
    ended_ = true;
    return false;
  }
  pos_ += 4;
  record->resize(static_cast<std::size_t>(count));
  if constexpr (std::endian::native == std::endian::little) {
    // The file's units are in memory order already: InitPage reads every
    // file, and a full data folder holds half a million records.
    std::memcpy(record->data(), bytes_.data() + pos_, static_cast<std::size_t>(count) * 2);
    pos_ += static_cast<std::size_t>(count) * 2;
  } else {
    for (std::int32_t i = 0; i < count; ++i) {
      (*record)[i] = static_cast<char16_t>(byte(pos_) | byte(pos_ + 1) << 8);
      pos_ += 2;
    }
  }
  return true;
}

void AppendRecord(std::string& out, std::u16string_view text) {
  const auto count = static_cast<std::uint32_t>(text.size());
  out.reserve(out.size() + 4 + 2 * text.size());
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(count >> shift));
  for (char16_t unit : text) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
}

const std::u16string_view kSettingsKeys[20] = {
    u"WPNo",        u"WeekDayColor",  u"SatDayColor",      u"SunDayColor",
    u"ShadowColor", u"MenuTextColor", u"WndName",          u"WndPos.x",
    u"WndPos.y",    u"Visibility",    u"CalenderFontSize", u"LinkItemNum",
    u"MemoItemNum", u"FaceName",      u"FontSize",         u"CalenderFaceName",
    u"WndDefault",  u"WndTextColor",  u"WndFaceName",      u"WndFontSize"};
const std::u16string_view kLinkIndexKeys[2] = {u"Hash", u"PageNum"};
const std::u16string_view kMemoKeys[2] = {u"Subject", u"Message"};

namespace {

// KeyPrefixEqual(record, key) == 0 for a key without zero units, stopping at
// the first difference: every record of every settings file is looked up in
// a table of twenty keys, and most differ from a key in the first units.
bool PrefixMatches(std::u16string_view record, std::u16string_view key) {
  for (std::size_t j = 0; j < key.size(); ++j) {
    if (j >= record.size() || record[j] == u'\0') return true;  // the record ended first
    if (record[j] != key[j]) return false;
  }
  return true;
}

}  // namespace

KeyMatch LookupKey(std::span<const std::u16string_view> table, std::u16string_view record) {
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (PrefixMatches(record, table[i])) {
      return {static_cast<int>(i), table[i].size()};
    }
  }
  return {};
}

namespace {

// The keys of list still possible for a record that has unit (an ASCII
// unit, or 0 for any other) at position at: those with it there and those
// that end before.
std::vector<int> Possible(std::span<const std::u16string_view> keys, const std::vector<int>& list,
                          std::size_t at, char16_t unit) {
  std::vector<int> out;
  for (const int i : list) {
    if (keys[i].size() <= at || (unit != 0 && keys[i][at] == unit)) out.push_back(i);
  }
  return out;
}

}  // namespace

KeyTable::KeyTable(std::span<const std::u16string_view> keys) : keys_(keys) {
  for (std::size_t first = 1; first < buckets_.size(); ++first) {
    Bucket& bucket = buckets_[first];
    std::size_t longest = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
      if (keys[i].empty() || keys[i][0] == first) {
        bucket.all.push_back(static_cast<int>(i));
        longest = std::max(longest, keys[i].size());
      }
    }
    if (bucket.all.size() < 3) continue;
    // The position that leaves the fewest keys to try at worst; a key with
    // a non-ASCII unit there keeps the bucket whole.
    std::size_t best = bucket.all.size();
    for (std::size_t at = 1; at < longest; ++at) {
      bool ascii = true;
      std::size_t worst = Possible(keys, bucket.all, at, 0).size();
      for (const int i : bucket.all) {
        if (keys[i].size() <= at) continue;
        if (keys[i][at] >= 128 || keys[i][at] == u'\0') {
          ascii = false;
          break;
        }
        worst = std::max(worst, Possible(keys, bucket.all, at, keys[i][at]).size());
      }
      if (ascii && worst < best) {
        best = worst;
        bucket.at = at;
      }
    }
    if (bucket.at == 0) continue;
    bucket.lists.push_back(Possible(keys, bucket.all, bucket.at, 0));
    for (const int i : bucket.all) {
      if (keys[i].size() <= bucket.at) continue;
      const char16_t unit = keys[i][bucket.at];
      if (bucket.list_of[unit] != 0) continue;
      bucket.list_of[unit] = static_cast<std::uint8_t>(bucket.lists.size());
      bucket.lists.push_back(Possible(keys, bucket.all, bucket.at, unit));
    }
  }
}

KeyMatch KeyTable::Find(std::u16string_view record) const {
  // A key can match a record that has a first unit only if it begins with
  // it (or is empty); a record ended at once matches the first key.
  const char16_t first = record.empty() ? u'\0' : record[0];
  if (first == u'\0' || first >= buckets_.size()) return LookupKey(keys_, record);
  const Bucket& bucket = buckets_[first];
  const std::vector<int>* list = &bucket.all;
  // A record that goes on, without ending, to the position where the keys
  // differ can match only a key with its unit there, or one ended before.
  if (bucket.at != 0 && record.size() > bucket.at &&
      record.substr(0, bucket.at + 1).find(u'\0') == std::u16string_view::npos) {
    const char16_t unit = record[bucket.at];
    list = &bucket.lists[unit < 128 ? bucket.list_of[unit] : 0];
  }
  for (const int i : *list) {
    if (PrefixMatches(record, keys_[i])) return {i, keys_[i].size()};
  }
  return {};
}

std::u16string_view PlainValue(std::u16string_view record, const KeyMatch& match) {
  // The unit at the key's end is taken to be "=" without looking at it.
  if (record.size() <= match.length) return {};
  return record.substr(match.length + 1);
}

IndexedValue ParseIndexed(std::u16string_view record, const KeyMatch& match) {
  IndexedValue out;
  if (record.size() < match.length) return out;
  const std::u16string_view rest = record.substr(match.length);
  out.index = ParseDecimal(rest);
  const std::size_t eq = rest.find(u'=');
  if (eq != std::u16string_view::npos) out.value = rest.substr(eq + 1);
  return out;
}

namespace {

template <typename Unit>
std::uint32_t Hex8(std::basic_string_view<Unit> text) {
  std::uint32_t value = 0;
  for (std::size_t i = 0; i < 8; ++i) {
    const std::uint32_t c =
        i < text.size()
            ? static_cast<std::uint32_t>(static_cast<std::make_unsigned_t<Unit>>(text[i]))
            : static_cast<std::uint32_t>('0');
    std::uint32_t digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'a' && c <= 'f') {
      digit = c - 'a' + 10;
    } else {
      digit = c - 55;  // "A".."F" give 10..15; anything else is not rejected
    }
    value = value * 16 + digit;
  }
  return value;
}

}  // namespace

std::uint32_t ParseHex8(std::u16string_view text) { return Hex8(text); }
std::uint32_t ParseHex8(std::string_view text) { return Hex8(text); }

std::uint32_t StringHash(std::u16string_view text) {
  std::uint32_t h = 0;
  for (char16_t unit : text) {
    if (unit == u'\0') break;  // a text ends at its first zero unit
    h = h * 1429u + unit;
  }
  return h;
}

bool IsDriveRoot(std::u16string_view text) {
  if (text.size() != 2 || text[1] != u':') return false;
  const char16_t c = text[0];
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z');
}

std::u16string KeyHex(const ItemKey& key) {
  return WideFormatted(u"%08x%08x", {key.first, key.second});
}

ItemKey ParseHashRecord(std::u16string_view record) {
  const auto at = [record](std::size_t from) {
    return from < record.size() ? record.substr(from) : std::u16string_view();
  };
  return {ParseHex8(at(5)), ParseHex8(at(13))};
}

}  // namespace vellumine
