// The host page's contract: the element ids the control writes into and the
// names the generated markup refers to. A missing element only silences the
// output meant for it.
#pragma once

#include <array>
#include <string_view>

namespace vellumine::ids {

// Window contents and lists.
inline constexpr std::u16string_view kCalender = u"calender";
inline constexpr std::u16string_view kSchedule = u"schedule";
inline constexpr std::u16string_view kMemo = u"memo";
inline constexpr std::u16string_view kMemoField = u"memofield";
inline constexpr std::u16string_view kLink = u"link";
inline constexpr std::u16string_view kLinkField = u"linkfield";
inline constexpr std::u16string_view kWpList = u"wplist";
inline constexpr std::u16string_view kLinkList = u"linklist";
inline constexpr std::u16string_view kBgImg = u"bgimg";
inline constexpr std::u16string_view kSchdlLst = u"schdllst";
inline constexpr std::u16string_view kSchdlLstSubmit = u"schdllstsubmit";
inline constexpr std::u16string_view kLinkFileName = u"linkfilename";
inline constexpr std::u16string_view kLinkMenuNum = u"linkmenunum";

// Option texts.
inline constexpr std::u16string_view kMenuTextColor = u"MenuTextColor";
inline constexpr std::u16string_view kWeekDayColor = u"WeekDayColor";
inline constexpr std::u16string_view kSatDayColor = u"SatDayColor";
inline constexpr std::u16string_view kSunDayColor = u"SunDayColor";
inline constexpr std::u16string_view kShadowColor = u"ShadowColor";
inline constexpr std::u16string_view kCalenderFont = u"CalenderFont";
inline constexpr std::u16string_view kCalenderFontSize = u"CalenderFontSize";
inline constexpr std::u16string_view kLinkItemNum = u"LinkItemNum";
inline constexpr std::u16string_view kMemoItemNum = u"MemoItemNum";
inline constexpr std::u16string_view kMenuFont = u"MenuFont";
inline constexpr std::u16string_view kMenuFontSize = u"MenuFontSize";

// Panels placed by the page itself, never by stored records.
inline constexpr std::array<std::u16string_view, 5> kFixedPanels = {
    u"menumini", u"menunormal", u"option", u"option_calender", u"option_menu"};

// Forms, fields and input panels named by generated markup.
inline constexpr std::u16string_view kMemoForm = u"memofrm";
inline constexpr std::u16string_view kLinkForm = u"linkfrm";
inline constexpr std::u16string_view kScheduleForm = u"schdlfrm";
inline constexpr std::u16string_view kMemoInput = u"memoinput";
inline constexpr std::u16string_view kLinkInput = u"linkinput";
inline constexpr std::u16string_view kScheduleInput = u"schdlinput";

}  // namespace vellumine::ids
