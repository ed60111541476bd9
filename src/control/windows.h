// Window placement and the common window frame.
//
// Every page window has a WndRecord in the global list; while a wallpaper is
// current its own list mirrors the global one record for record.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "model/state.h"
#include "page/document.h"
#include "page/text.h"

namespace vellumine {
class Context;
}

namespace vellumine::windows {

// The record of name (hash first, then exact name), or nullptr.
WndRecord* FindRecord(WndList& list, std::u16string_view name);
// Index of the record of name, or -1.
int FindRecordIndex(const WndList& list, std::u16string_view name);
// Removes the record of name; true when one was removed.
bool RemoveRecord(WndList& list, std::u16string_view name);
// For a window that is gone for good: removes its record from the global
// list and from every wallpaper's list, saving only the lists that changed.
void ForgetWindow(Context& context, std::u16string_view name);

// The interface method: remembers a window's position and visibility in the
// global list (and the current wallpaper's), then saves.
void SetWndPos(Context& context, const TextArg& name, std::int32_t x, std::int32_t y,
               std::int32_t visibility);
// Puts the global list's positions and visibility onto the page.
void ApplyWndLayout(Context& context, Document& document);
// Colours, fonts and sizes onto the page's windows, then redraws the calendar.
void RestyleWindows(Context& context, Document& document);
// Styles windows as RestyleWindows would leave them: the menu options once
// the page has been restyled, then a window's own when its record says so.
// For windows a command has just drawn afresh; linear in the records and the
// windows' elements.
void RestyleRedrawn(Context& context, Document& document, const std::vector<std::u16string>& names);
// A window that has just appeared at its default place, without a record,
// must not cover another window exactly: when a recorded window stands at
// that very place, the new one is recorded (and shown) step pixels further
// along both axes (a negative step goes up and left, but never past 0), as
// often as that place is taken too. Otherwise nothing changes.
void KeepOffOthers(Context& context, Document& document, std::u16string_view name,
                   std::int32_t step);
// ApplyWndLayout, then RestyleWindows.
void Refresh(Context& context, Document& document);
// Drops the records whose window is not on the page; returns the new count.
int PruneWndList(Document& document, WndList& list);
// Cuts the names of the fixed panels' records (global list and every
// wallpaper's) to their first unit so they match no window.
void ForgetFixedPanels(ControlState& state);
// A window's frame around body: view, main and option panels.
std::u16string WindowFrame(const ControlState& state, std::u16string_view name,
                           std::u16string_view body, bool with_close);

}  // namespace vellumine::windows
