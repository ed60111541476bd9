#include "links/link_commands.h"

#include <optional>
#include <string>
#include <utility>

#include "control/context.h"
#include "control/windows.h"
#include "links/link_store.h"
#include "links/link_windows.h"
#include "model/messages.h"
#include "page/escape.h"
#include "page/page_ids.h"
#include "page/wide_format.h"
#include "store/records.h"

namespace vellumine::links {
namespace {

// New menu windows fan out from their default place (low on the page) up and
// to the left.
constexpr std::int32_t kNewWindowStep = -28;

LinkMenu* MenuAt(ControlState& state, std::int32_t no) {
  if (no < 0 || no >= static_cast<std::int32_t>(state.menus.size())) return nullptr;
  return &state.menus[static_cast<std::size_t>(no)];
}

bool IsLinkPosition(const LinkMenu& menu, std::int32_t no) {
  return no >= 0 && no < static_cast<std::int32_t>(menu.links.size());
}

// The path as it is to be stored, or nullopt (after telling the user) when
// nothing is there. Wildcards are refused outright: a probe would answer for
// whatever first matches. One trailing separator is cut, except from the
// root itself.
std::optional<std::u16string> CheckPath(Context& context, std::u16string path) {
  // A zero unit would end the path early at the file system and in every
  // record; no file name holds one.
  if (path.find_first_of(std::u16string_view(u"*?\0", 3)) != std::u16string::npos) {
    context.Refuse(msg::kNoFileOrFolder);
    return std::nullopt;
  }
  const char16_t separator = context.platform().Separator();
  if (path.size() > 1 && path.back() == separator) {
    path.pop_back();
  } else if (path.size() == 3 && path.back() == u'\\' && IsDriveRoot(path.substr(0, 2))) {
    // A drive's root (D:\ as folder pickers name it) is the drive itself
    // wherever the platform separator differs.
    path.pop_back();
  }
  // A drive ("E:") is accepted as it is, without asking the file system.
  if (IsDriveRoot(path)) return path;
  const int kind = path.empty() ? 0 : context.platform().PathKind(path);
  if (kind != 1 && kind != 2) {
    context.Refuse(msg::kNoFileOrFolder);
    return std::nullopt;
  }
  return path;
}

// True (after telling the user) when another link of the menu has this exact
// path; skip is the position of the link being changed, or -1.
bool IsDuplicate(Context& context, const LinkMenu& menu, std::u16string_view path,
                 std::uint32_t hash, std::int32_t skip) {
  for (std::size_t i = 0; i < menu.links.size(); ++i) {
    if (static_cast<std::int32_t>(i) == skip) continue;
    const LinkEntry& link = menu.links[i];
    if (link.path_hash == hash && link.path == path) {
      context.Refuse(msg::kSameItem);
      return true;
    }
  }
  return false;
}

// Writes the menu's file; when that fails, the menu's links go back to
// before (what the file still holds) and false is answered.
bool SaveLinks(Context& context, LinkMenu& menu, std::vector<LinkEntry>& before) {
  if (SaveMenuLinks(context.store(), menu)) return true;
  menu.links = std::move(before);
  return false;
}

// Writes the menu's file and shows the change, then refreshes the edit
// form's list as ChangeLinkMenu does. Nothing is shown when the file could
// not be written.
void SaveAndShow(Context& context, Document& document, LinkMenu& menu, std::int32_t menu_no,
                 std::vector<LinkEntry>& before) {
  if (!SaveLinks(context, menu, before)) return;
  RedrawLinkWindows(context, document);
  ChangeLinkMenu(context, document, menu_no);
}

}  // namespace

void MakeLinkMenu(Context& context, Document& document, const TextArg& menu_name,
                  std::int32_t menu_no) {
  if (!menu_name) {
    context.Refuse(msg::kNoMenuName);
    return;
  }
  ControlState& state = context.state();
  Store& store = context.store();
  LinkMenu* menu = MenuAt(state, menu_no);
  const bool is_new = menu == nullptr;
  if (menu != nullptr) {
    // A new name only: key, links and page stay, so files and ids do too.
    std::u16string before = std::move(menu->name);
    menu->name = EscapeMarkup(std::u16string_view(*menu_name));
    if (!SaveMenuLinks(store, *menu) || !SaveLinkIndex(store, state)) {
      menu->name = std::move(before);
      return;
    }
  } else {
    if (static_cast<int>(state.menus.size()) >= kMaxLinkMenus) {
      context.Refuse(msg::kTableFull);
      return;
    }
    LinkMenu fresh;
    fresh.key.first = StringHash(UpToZero(*menu_name));
    fresh.name = EscapeMarkup(std::u16string_view(*menu_name));
    state.menus.push_back(std::move(fresh));
    menu = &state.menus.back();
    // The menu file first: it fixes a new key that the index must carry, and
    // the index never names a menu whose file isn't saved.
    if (!SaveMenuLinks(store, *menu)) {
      state.menus.pop_back();
      return;
    }
    if (!SaveLinkIndex(store, state)) {
      store.Remove(u"linkmenu/" + KeyHex(menu->key));
      state.menus.pop_back();
      return;
    }
    const auto position = static_cast<std::int32_t>(state.menus.size() - 1);
    if (std::unique_ptr<Element> field = document.FindElementById(ids::kLinkMenuNum)) {
      field->SetAttribute(u"value", position, 0);
    }
  }
  RedrawLinkWindows(context, document);
  if (is_new)
    windows::KeepOffOthers(context, document, u"link" + KeyHex(menu->key), kNewWindowStep);
}

void RemoveLinkMenu(Context& context, Document& document, std::int32_t menu_no) {
  ControlState& state = context.state();
  LinkMenu* menu = MenuAt(state, menu_no);
  if (menu == nullptr) return;
  if (context.ShowMessage(msg::kConfirmRemoveMenu, std::nullopt, Buttons::kYesNo) != Answer::kYes) {
    return;
  }
  const std::u16string key = KeyHex(menu->key);
  // Out of the index first; the menu's file goes only once the index is
  // saved without it, so that a failure loses nothing.
  LinkMenu removed = std::move(*menu);
  state.menus.erase(state.menus.begin() + menu_no);
  if (!SaveLinkIndex(context.store(), state)) {
    state.menus.insert(state.menus.begin() + menu_no, std::move(removed));
    return;
  }
  windows::ForgetWindow(context, u"link" + key);
  windows::ForgetWindow(context, u"menuname" + key);
  context.store().Remove(u"linkmenu/" + key);
  RedrawLinkWindows(context, document);
  windows::ApplyWndLayout(context, document);
}

void AddLink(Context& context, Document& document, const TextArg& path, std::int32_t menu_no) {
  LinkMenu* menu = MenuAt(context.state(), menu_no);
  if (!path || menu == nullptr) return;
  if (static_cast<int>(menu->links.size()) >= kMaxLinks) {
    context.Refuse(msg::kTableFull);
    return;
  }
  std::optional<std::u16string> checked = CheckPath(context, *path);
  if (!checked) return;
  const std::uint32_t hash = StringHash(*checked);
  if (IsDuplicate(context, *menu, *checked, hash, -1)) return;
  std::vector<LinkEntry> before = menu->links;
  menu->links.push_back(LinkEntry{std::move(*checked), hash});
  SaveAndShow(context, document, *menu, menu_no, before);
}

void ChangeLink(Context& context, Document& document, std::int32_t link_no, const TextArg& path,
                std::int32_t menu_no) {
  LinkMenu* menu = MenuAt(context.state(), menu_no);
  if (menu == nullptr || !IsLinkPosition(*menu, link_no) || !path) return;
  std::optional<std::u16string> checked = CheckPath(context, *path);
  if (!checked) return;
  const std::uint32_t hash = StringHash(*checked);
  if (IsDuplicate(context, *menu, *checked, hash, link_no)) return;
  std::vector<LinkEntry> before = menu->links;
  menu->links[static_cast<std::size_t>(link_no)] = LinkEntry{std::move(*checked), hash};
  SaveAndShow(context, document, *menu, menu_no, before);
}

void RemoveLink(Context& context, Document& document, std::int32_t link_no, std::int32_t menu_no) {
  LinkMenu* menu = MenuAt(context.state(), menu_no);
  if (menu == nullptr || !IsLinkPosition(*menu, link_no)) return;
  std::vector<LinkEntry> before = menu->links;
  menu->links.erase(menu->links.begin() + link_no);
  SaveAndShow(context, document, *menu, menu_no, before);
}

void PermuteLink(Context& context, Document& document, std::int32_t link_no1, std::int32_t link_no2,
                 std::int32_t menu_no) {
  LinkMenu* menu = MenuAt(context.state(), menu_no);
  if (menu == nullptr || !IsLinkPosition(*menu, link_no1) || !IsLinkPosition(*menu, link_no2)) {
    return;
  }
  std::vector<LinkEntry> before = menu->links;
  std::swap(menu->links[static_cast<std::size_t>(link_no1)],
            menu->links[static_cast<std::size_t>(link_no2)]);
  if (!SaveLinks(context, *menu, before)) return;
  ChangeLinkMenu(context, document, menu_no);
  RedrawLinkWindows(context, document);
}

}  // namespace vellumine::links
