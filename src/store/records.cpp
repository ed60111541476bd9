// Stub: replaced by the store's implementation.
#include "store/records.h"

namespace vellumine {
bool RecordReader::Next(std::u16string*) { return false; }
void AppendRecord(std::string&, std::u16string_view) {}
const std::u16string_view kSettingsKeys[20] = {
    u"WPNo",       u"WeekDayColor",     u"SatDayColor", u"SunDayColor",  u"ShadowColor",
    u"MenuTextColor", u"WndName",       u"WndPos.x",    u"WndPos.y",     u"Visibility",
    u"CalenderFontSize", u"LinkItemNum", u"MemoItemNum", u"FaceName",    u"FontSize",
    u"CalenderFaceName", u"WndDefault", u"WndTextColor", u"WndFaceName", u"WndFontSize"};
const std::u16string_view kLinkIndexKeys[2] = {u"Hash", u"PageNum"};
const std::u16string_view kMemoKeys[2] = {u"Subject", u"Message"};
KeyMatch LookupKey(std::span<const std::u16string_view>, std::u16string_view) { return {}; }
std::u16string_view PlainValue(std::u16string_view, const KeyMatch&) { return {}; }
IndexedValue ParseIndexed(std::u16string_view, const KeyMatch&) { return {}; }
std::uint32_t ParseHex8(std::u16string_view) { return 0; }
std::uint32_t ParseHex8(std::string_view) { return 0; }
std::uint32_t StringHash(std::u16string_view) { return 0; }
bool IsDriveRoot(std::u16string_view) { return false; }
std::u16string KeyHex(const ItemKey&) { return u"0000000000000000"; }
ItemKey ParseHashRecord(std::u16string_view) { return {}; }
}  // namespace vellumine
