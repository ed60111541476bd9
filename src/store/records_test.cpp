#include "store/records.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "tests/support.h"

namespace vellumine {
namespace {

using testing::EncodeRecords;

std::vector<std::u16string> ReadAll(std::string_view bytes) {
  RecordReader reader(bytes);
  std::vector<std::u16string> out;
  std::u16string record;
  while (reader.Next(&record)) out.push_back(record);
  // Once ended, the reader stays ended.
  EXPECT_FALSE(reader.Next(&record));
  return out;
}

std::string Count(std::int32_t n) {
  std::string out;
  const auto u = static_cast<std::uint32_t>(n);
  for (int shift = 0; shift < 32; shift += 8) out.push_back(static_cast<char>(u >> shift));
  return out;
}

TEST(RecordsTest, AppendRecordWritesLittleEndianCountAndUnits) {
  std::string out;
  AppendRecord(out, u"A\u3042");
  AppendRecord(out, u"");
  EXPECT_EQ(out, std::string("\x02\x00\x00\x00"
                             "A\x00\x42\x30"
                             "\x00\x00\x00\x00",
                             12));
}

TEST(RecordsTest, ReaderRoundTripsEveryUnit) {
  std::u16string all;
  for (char32_t u = 0; u < 0x10000; u += 7) all.push_back(static_cast<char16_t>(u));
  const std::vector<std::u16string> records = {u"WPNo=3", u"", all, u"[C:/a]b]", u"\uffff"};
  std::string bytes;
  for (const auto& r : records) AppendRecord(bytes, r);
  EXPECT_EQ(ReadAll(bytes), records);
}

TEST(RecordsTest, ReaderStopsAtShortOrDamagedInput) {
  EXPECT_TRUE(ReadAll("").empty());
  EXPECT_TRUE(ReadAll(std::string("\x01\x00\x00", 3)).empty());
  // The last record promises more units than remain.
  std::string truncated = EncodeRecords({u"one", u"two"}) + Count(5) + std::string("a\0b\0", 4);
  EXPECT_EQ(ReadAll(truncated), (std::vector<std::u16string>{u"one", u"two"}));
  // An odd trailing byte is an incomplete record too.
  EXPECT_EQ(ReadAll(EncodeRecords({u"one"}) + Count(1) + "x"),
            (std::vector<std::u16string>{u"one"}));
  // A zero count is an empty record, and reading goes on after it.
  EXPECT_EQ(ReadAll(EncodeRecords({u"a", u"", u"b"})),
            (std::vector<std::u16string>{u"a", u"", u"b"}));
  // Negative and huge counts end the file, whatever follows.
  for (std::int32_t bad : {-1, -2147483647 - 1, kMaxRecordUnits + 1, 2147483647}) {
    const std::string bytes = EncodeRecords({u"kept"}) + Count(bad) + EncodeRecords({u"lost"});
    EXPECT_EQ(ReadAll(bytes), (std::vector<std::u16string>{u"kept"})) << bad;
  }
}

TEST(RecordsTest, ReaderSurvivesRandomGarbage) {
  std::mt19937 gen(7);
  for (int i = 0; i < 200; ++i) {
    std::string bytes(gen() % 64, '\0');
    for (char& c : bytes) c = static_cast<char>(gen());
    std::size_t total = 0;
    for (const auto& r : ReadAll(bytes)) total += 4 + 2 * r.size();
    EXPECT_LE(total, bytes.size());
  }
}

int Key(std::u16string_view record) { return LookupKey(kSettingsKeys, record).index; }

TEST(RecordsTest, LookupKeyFindsTheFirstPrefixMatch) {
  EXPECT_EQ(Key(u"WPNo=1"), kKeyWPNo);
  EXPECT_EQ(Key(u"FontSize=13"), kKeyFontSize);
  EXPECT_EQ(Key(u"FaceName=x"), kKeyFaceName);
  EXPECT_EQ(Key(u"CalenderFaceName=x"), kKeyCalenderFaceName);
  EXPECT_EQ(Key(u"WndFaceName3=x"), kKeyWndFaceName);
  EXPECT_EQ(Key(u"WndPos.x7=120"), kKeyWndPosX);
  EXPECT_EQ(Key(u"WndPos.y7=120"), kKeyWndPosY);
  EXPECT_EQ(Key(u"Unknown=1"), -1);
  // A record that is a beginning of a key matches it; an empty one matches
  // the first key.
  EXPECT_EQ(Key(u""), kKeyWPNo);
  EXPECT_EQ(Key(u"Font"), kKeyFontSize);
  // A zero unit ends the record, also inside the key's length.
  EXPECT_EQ(Key(std::u16string(u"Font\0Size=1", 11)), kKeyFontSize);
  EXPECT_EQ(Key(std::u16string(u"WPNo=1\0", 7)), kKeyWPNo);
  EXPECT_EQ(LookupKey(kSettingsKeys, u"FontSize=1").length, 8u);
  EXPECT_EQ(LookupKey(kLinkIndexKeys, u"PageNum=2").index, 1);
  EXPECT_EQ(LookupKey(kMemoKeys, u"Message=hi").index, 1);
  EXPECT_EQ(LookupKey(kMemoKeys, u"Other").index, -1);
}

// The indexed lookup gives what trying every key in order gives, for records
// made of pieces of keys, zero units, digits, "=" and units past ASCII.
TEST(RecordsTest, KeyTableFindsWhatLookupKeyFinds) {
  const std::u16string_view extra[] = {u"A", u"", u"AB", u"\u00e9x", u"Zeta"};
  // Keys told apart past their first unit: some end before that place,
  // some are others' beginnings, one is there twice, one differs only in a
  // unit past the ASCII range.
  const std::u16string_view split[] = {u"WndPos",  u"Wn",   u"WndPos.x", u"WndFont",   u"Wnd",
                                       u"WndFace", u"WPNo", u"WndPos",   u"Wnd\u00e9", u"Wx"};
  const std::span<const std::u16string_view> tables[] = {kSettingsKeys, kLinkIndexKeys, kMemoKeys,
                                                         extra, split};
  std::mt19937 random(20261208);
  for (const auto keys : tables) {
    const KeyTable table(keys);
    const std::u16string pieces[] = {u"W",      u"Wnd",    u"=", u"7",    std::u16string(1, u'\0'),
                                     u"\u00e9", u"\uffff", u"x", u"Pos.", u"Size",
                                     u"F",      u"P",      u"n"};
    for (int n = 0; n < 4000; ++n) {
      std::u16string record;
      if (random() % 2) {
        const std::u16string_view key = keys[random() % keys.size()];
        record = std::u16string(key.substr(0, random() % (key.size() + 1)));
      }
      for (int k = static_cast<int>(random() % 4); k > 0; --k) {
        record += pieces[random() % std::size(pieces)];
      }
      const KeyMatch want = LookupKey(keys, record);
      const KeyMatch got = table.Find(record);
      ASSERT_EQ(got.index, want.index) << ::testing::PrintToString(record);
      ASSERT_EQ(got.length, want.length) << ::testing::PrintToString(record);
    }
  }
}

std::int32_t PlainNumber(std::u16string_view record) {
  const KeyMatch m = LookupKey(kSettingsKeys, record);
  return ParseDecimal(PlainValue(record, m));
}

TEST(RecordsTest, PlainValuesParseLikeTheStoredFilesNeed) {
  EXPECT_EQ(PlainNumber(u"FontSize=+12"), 12);
  EXPECT_EQ(PlainNumber(u"FontSize=-3"), -3);
  EXPECT_EQ(PlainNumber(u"FontSize=12px"), 12);
  EXPECT_EQ(PlainNumber(u"FontSize="), 0);
  EXPECT_EQ(PlainNumber(u"FontSize"), 0);
  EXPECT_EQ(PlainNumber(u"Font"), 0);
  EXPECT_EQ(PlainNumber(u"FontSizeX=3"), 0);  // the value starts at the "="
  const std::u16string face = u"FaceName=ＭＳ 明朝";
  EXPECT_EQ(PlainValue(face, LookupKey(kSettingsKeys, face)), u"ＭＳ 明朝");
}

TEST(RecordsTest, IndexedValues) {
  auto parse = [](std::u16string_view record) {
    return ParseIndexed(record, LookupKey(kSettingsKeys, record));
  };
  EXPECT_EQ(parse(u"WndPos.x7=120").index, 7);
  EXPECT_EQ(parse(u"WndPos.x7=120").value, u"120");
  EXPECT_EQ(parse(u"WndPos.x=5").index, 0);
  EXPECT_EQ(parse(u"WndPos.x=5").value, u"5");
  EXPECT_EQ(parse(u"WndName12=a=b").value, u"a=b");
  EXPECT_EQ(parse(u"WndName-4=x").index, -4);
  EXPECT_EQ(parse(u"WndName3").value, u"");
  EXPECT_EQ(parse(u"Wnd").index, 0);
  EXPECT_EQ(parse(u"Wnd").value, u"");
}

TEST(RecordsTest, Hex) {
  EXPECT_EQ(ParseHex8(u"0000ABCD"), 43981u);
  EXPECT_EQ(ParseHex8(u"0000abcd"), 43981u);
  EXPECT_EQ(ParseHex8(std::string_view("0000abcd")), 43981u);
  EXPECT_EQ(ParseHex8(u"ffffffff"), 0xffffffffu);
  EXPECT_EQ(ParseHex8(u"0bd09186trailing"), 0x0bd09186u);
  EXPECT_EQ(ParseHex8(u"12"), 0x12000000u);  // missing units count as "0"
  EXPECT_EQ(ParseHex8(u""), 0u);
  EXPECT_EQ(ParseHex8(u"0000000G"), 16u);  // "G" - 55, not rejected

  const ItemKey key{0x0bd09186u, 0x00000001u};
  EXPECT_EQ(KeyHex(key), u"0bd0918600000001");
  EXPECT_EQ(ParseHashRecord(u"Hash=" + KeyHex(key)), key);
  EXPECT_EQ(ParseHashRecord(u"Hash=0BD09186FFFFFFFF"), (ItemKey{0x0bd09186u, 0xffffffffu}));
  EXPECT_EQ(ParseHashRecord(u"Hash=0bd0"), (ItemKey{0x0bd00000u, 0}));
  EXPECT_EQ(ParseHashRecord(u"Ha"), (ItemKey{}));
}

TEST(RecordsTest, HashAndDriveRoot) {
  EXPECT_EQ(StringHash(u""), 0u);
  EXPECT_EQ(StringHash(u"A"), 65u);
  EXPECT_EQ(StringHash(u"abc"), 198218118u);
  EXPECT_EQ(KeyHex({StringHash(u"abc"), 0}), u"0bd0918600000000");
  EXPECT_EQ(StringHash(u"\uffff\uffff\uffff\uffff"),
            ((0xffffu * 1429u + 0xffffu) * 1429u + 0xffffu) * 1429u + 0xffffu);

  EXPECT_TRUE(IsDriveRoot(u"C:"));
  EXPECT_TRUE(IsDriveRoot(u"z:"));
  EXPECT_FALSE(IsDriveRoot(u"C:\\"));
  EXPECT_FALSE(IsDriveRoot(u"1:"));
  EXPECT_FALSE(IsDriveRoot(u"C"));
  EXPECT_FALSE(IsDriveRoot(u""));
  EXPECT_FALSE(IsDriveRoot(u"[:"));
}

}  // namespace
}  // namespace vellumine
