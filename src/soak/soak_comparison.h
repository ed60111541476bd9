// What the soak compares: the live state with the state read back from the
// files, and two pages' markup with the styles taken out.
#pragma once

#include <string>
#include <vector>

#include "model/state.h"

namespace vellumine::soak {

// Differences between the live state and the state read back from the
// files, one line each ("options.MenuFontSize: live 14, stored 13"). Left
// out: what is never stored (a window record's ItemNum, a link menu's
// PageNum), and a fixed panel's record that InitPage cut to its first unit
// in a wallpaper that is not current.
std::vector<std::string> CompareState(const ControlState& live, const ControlState& stored);

// Removes every style="..." attribute (the serializer quotes with '"').
std::string StripStyles(const std::string& html);
// Removes the style attribute of the outermost tag only.
std::string StripOwnStyle(const std::string& html);
// Where two texts first differ, with some context.
std::string FirstDifference(const std::string& a, const std::string& b);

}  // namespace vellumine::soak
