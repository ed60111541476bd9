#include "links/launch.h"

#include <memory>
#include <optional>
#include <string>

#include "control/context.h"
#include "page/page_ids.h"

namespace vellumine::links {
namespace {

// The picked path into the edit form's field; no picker without the field,
// and a cancel leaves the field as it was.
template <typename Pick>
void PickInto(Document& document, Pick pick) {
  std::unique_ptr<Element> field = document.FindElementById(ids::kLinkFileName);
  if (!field) return;
  const std::optional<std::u16string> path = pick();
  if (path) field->SetAttribute(u"value", *path, 1);
}

}  // namespace

void OpenFile(Context& context, Document& document) {
  PickInto(document, [&context] { return context.platform().PickFile(); });
}

void OpenFolder(Context& context, Document& document) {
  PickInto(document, [&context] { return context.platform().PickFolder(); });
}

void Open(Context& context, std::int32_t menu_no, std::int32_t link_no) {
  const ControlState& state = context.state();
  if (link_no < 0 || menu_no < 0 || menu_no >= static_cast<std::int32_t>(state.menus.size())) {
    return;
  }
  const LinkMenu& menu = state.menus[static_cast<std::size_t>(menu_no)];
  if (link_no >= static_cast<std::int32_t>(menu.links.size())) return;
  context.platform().Launch(menu.links[static_cast<std::size_t>(link_no)].path);
}

}  // namespace vellumine::links
