// The record encoding shared by every data file, its grammar and helpers.
//
// A file is a plain sequence of CountedText records: a 32-bit little-endian
// signed count N, then N UTF-16LE units; nothing before, between or after.
// The bytes are identical on every platform.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "model/state.h"

namespace vellumine {

// Records longer than this (or with a negative count) end the file for the
// reader: no stored text comes near it, and it bounds what a corrupt count can
// make a reader allocate.
inline constexpr std::int32_t kMaxRecordUnits = 1 << 24;

// Reads records one after another from a file's bytes.
class RecordReader {
 public:
  explicit RecordReader(std::string_view bytes) : bytes_(bytes) {}
  // The next record; false at the end of the file, at an incomplete record
  // or at a count that is negative or past kMaxRecordUnits (each ends it).
  bool Next(std::u16string* record);
  // True when the file ended in something that is no record (an incomplete
  // one, an impossible count): what followed could not be read.
  bool damaged() const { return ended_ && pos_ != bytes_.size(); }
  // True when every byte has been read as records.
  bool at_end() const { return pos_ == bytes_.size(); }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
  bool ended_ = false;
};

// Appends one record to a file's bytes.
void AppendRecord(std::string& out, std::u16string_view text);

// Key tables: a record is recognised by the first key it matches with
// KeyPrefixEqual.
enum SettingsKey : int {
  kKeyWPNo = 0,
  kKeyWeekDayColor,
  kKeySatDayColor,
  kKeySunDayColor,
  kKeyShadowColor,
  kKeyMenuTextColor,
  kKeyWndName,
  kKeyWndPosX,
  kKeyWndPosY,
  kKeyVisibility,
  kKeyCalenderFontSize,
  kKeyLinkItemNum,
  kKeyMemoItemNum,
  kKeyFaceName,
  kKeyFontSize,
  kKeyCalenderFaceName,
  kKeyWndDefault,
  kKeyWndTextColor,
  kKeyWndFaceName,
  kKeyWndFontSize,
};
extern const std::u16string_view kSettingsKeys[20];
extern const std::u16string_view kLinkIndexKeys[2];  // "Hash", "PageNum"
extern const std::u16string_view kMemoKeys[2];       // "Subject", "Message"

struct KeyMatch {
  int index = -1;          // -1: no key matched
  std::size_t length = 0;  // the key's length in units
};
KeyMatch LookupKey(std::span<const std::u16string_view> table, std::u16string_view record);
// LookupKey's answer for one table, tried only against the keys a record's
// first unit, and one more unit where the keys it begins differ, leave
// possible: a settings file at capacity holds hundreds of thousands of
// records, most of them one of seven keys that all begin "Wnd". The table
// must outlive it.
class KeyTable {
 public:
  explicit KeyTable(std::span<const std::u16string_view> keys);
  KeyMatch Find(std::u16string_view record) const;

 private:
  // The keys a record beginning with one ASCII unit may match, in order.
  struct Bucket {
    std::vector<int> all;
    // Where these keys are told apart (0: they are not), and for each
    // ASCII unit there, the keys still possible: those that have it there
    // and those that end before. For a record that has another unit there,
    // only the latter.
    std::size_t at = 0;
    std::array<std::uint8_t, 128> list_of{};  // unit -> index into lists; 0: the latter only
    std::vector<std::vector<int>> lists;
  };
  std::span<const std::u16string_view> keys_;
  std::array<Bucket, 128> buckets_;
};
// Value of a plain setting: the text from unit length + 1 on ("" when the
// record is shorter).
std::u16string_view PlainValue(std::u16string_view record, const KeyMatch& match);
// Index and value of an indexed setting: index = ParseDecimal from unit
// length; value = the text after the first "=" at or after unit length.
struct IndexedValue {
  std::int32_t index = 0;
  std::u16string_view value;
};
IndexedValue ParseIndexed(std::u16string_view record, const KeyMatch& match);

// Eight hex digits, most significant first; any other unit c counts c - 55.
// Units past the end of the text count as "0".
std::uint32_t ParseHex8(std::u16string_view text);
std::uint32_t ParseHex8(std::string_view text);
// h = h * 1429 + unit, wrapping at 32 bits.
std::uint32_t StringHash(std::u16string_view text);
// Exactly an ASCII letter followed by ":".
bool IsDriveRoot(std::u16string_view text);
// "%08x%08x" of a key.
std::u16string KeyHex(const ItemKey& key);
// ItemKey from "Hash=" followed by 16 hex digits (units 5..12 and 13..20).
ItemKey ParseHashRecord(std::u16string_view record);

}  // namespace vellumine
