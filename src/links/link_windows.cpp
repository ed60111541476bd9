#include "links/link_windows.h"

#include <algorithm>
#include <string>
#include <vector>

#include "control/context.h"
#include "control/windows.h"
#include "page/page_ids.h"
#include "page/safe_markup.h"
#include "page/wide_format.h"

namespace vellumine::links {
namespace {

constexpr std::int32_t kDefaultLinksPerPage = 10;

std::int32_t LastPage(const ControlState& state, const LinkMenu& menu) {
  const auto count = static_cast<std::int32_t>(menu.links.size());
  return (count - 1) / LinksPerPage(state);  // truncates: no links gives 0
}

std::u16string WindowId(const LinkMenu& menu) {
  return WideFormatted(u"link%08x%08x", {menu.key.first, menu.key.second});
}

}  // namespace

std::int32_t LinksPerPage(const ControlState& state) {
  // An edited settings file may hold 0 or less; never divide by it.
  const std::int32_t n = state.options.link_item_num;
  return n < 1 ? kDefaultLinksPerPage : n;
}

void ClampPageNum(const ControlState& state, LinkMenu& menu) {
  const std::int32_t last = LastPage(state, menu);
  if (menu.page_num < 0) {
    menu.page_num = 0;
  } else if (menu.page_num > last) {
    menu.page_num = last;
  }
}

std::u16string_view LinkDisplayName(std::u16string_view path, char16_t separator) {
  if (path.size() < 2) return path;
  // The last unit never counts, so "C:/Docs/" shows whole rather than empty.
  const std::size_t pos = path.substr(0, path.size() - 1).rfind(separator);
  if (pos == std::u16string_view::npos) return path;
  return path.substr(pos + 1);
}

std::u16string ComposeLinkMenuBody(const ControlState& state, LinkMenu& menu, std::int32_t no) {
  // The data folder ends with the platform separator.
  const char16_t separator = state.data_folder.empty() ? u'/' : state.data_folder.back();
  return ComposeLinkMenuBody(state, menu, no, separator);
}

std::u16string ComposeLinkMenuBody(const ControlState& state, LinkMenu& menu, std::int32_t no,
                                   char16_t separator) {
  ClampPageNum(state, menu);
  const std::int32_t per_page = LinksPerPage(state);
  const auto count = static_cast<std::int32_t>(menu.links.size());
  const std::int32_t page = menu.page_num;
  const std::int32_t last = LastPage(state, menu);
  const std::uint32_t first = menu.key.first;
  const std::uint32_t second = menu.key.second;

  std::u16string out;
  WideFormat(out, u"<pre id=\"menuname%08x%08x\"onmouseup=movewnd(\"link%08x%08x\")>%s</pre>",
             {first, second, first, second, StoredTextMarkup(menu.name)});
  // page <= last <= (count - 1) / per_page, so these products stay in range.
  const std::int32_t begin = page * per_page;
  const auto end =
      static_cast<std::int32_t>(std::min<std::int64_t>(std::int64_t{page + 1} * per_page, count));
  for (std::int32_t k = begin; k < end; ++k) {
    // A file name may hold "<", "&" or a quote: escape it for the markup.
    const std::u16string shown =
        PlainTextMarkup(LinkDisplayName(menu.links[static_cast<std::size_t>(k)].path, separator));
    WideFormat(out, u"<pre onmouseup=Skerrow.Open(%d,%d)>%s</pre>", {no, k, shown});
  }
  if (page > 0) {
    WideFormat(out, u"<pre onmouseup=Skerrow.ChangeLinkPage(document,%d,%d)>前のページ</pre>",
               {no, page - 1});
  }
  if (page < last) {
    WideFormat(out, u"<pre onmouseup=Skerrow.ChangeLinkPage(document,%d,%d)>次のページ</pre>",
               {no, page + 1});
  }
  WideFormat(out,
             u"<pre onmouseup=\"linkfrm.linkmenunum.value=%d;Skerrow.ChangeLinkMenu(document,%d);"
             u"trinputfield('menuname%08x%08x','linkmenuname');show('linkinput')\">変更</pre>",
             {no, no, first, second});
  return out;
}

std::u16string ComposeLinkList(const LinkMenu* menu) {
  std::u16string out = u"<select id=\"linklist\" size=\"8\">";
  if (menu != nullptr) {
    for (std::size_t k = 0; k < menu->links.size(); ++k) {
      // Paths are stored as given; a file name may hold "<", "&" or a quote.
      const std::u16string shown = PlainTextMarkup(menu->links[k].path);
      WideFormat(out, u"<option value=\"%d\">%s</option>", {static_cast<std::int32_t>(k), shown});
    }
  }
  out += u"</select>";
  return out;
}

void RenderLinkMenuWindow(Context& context, Document& document, LinkMenu& menu, std::int32_t no) {
  const std::u16string id = WindowId(menu);
  std::unique_ptr<Element> window = document.FindElementById(id);
  if (!window) return;
  const std::u16string body =
      ComposeLinkMenuBody(context.state(), menu, no, context.platform().Separator());
  window->SetInnerHtml(windows::WindowFrame(context.state(), id, body, false));
}

void RenderLinkWindows(Context& context, Document& document) {
  ControlState& state = context.state();
  if (std::unique_ptr<Element> list = document.FindElementById(ids::kLink)) {
    std::u16string html = u"<pre onmouseup=movewnd(\"link\")>移動</pre>";
    for (const LinkMenu& menu : state.menus) {
      WideFormat(html, u"<pre onmouseup=\"change('link%08x%08x')\">%s</pre>",
                 {menu.key.first, menu.key.second, StoredTextMarkup(menu.name)});
    }
    html +=
        u"<pre onmouseup=\"linkfrm.linkmenunum.value=-1;Skerrow.ChangeLinkMenu(document,-1);"
        u"linkfrm.linkmenuname.value='';show('linkinput');\">リンクメニューの追加</pre>";
    list->SetInnerHtml(html);
  }
  if (std::unique_ptr<Element> field = document.FindElementById(ids::kLinkField)) {
    std::u16string html;
    for (const LinkMenu& menu : state.menus) {
      WideFormat(html,
                 u"<div id=\"link%08x%08x\" style=\"position:absolute;left:65%%;top:80%%;"
                 u"margin:0px;border:0px;visibility:visible\">test</div>",
                 {menu.key.first, menu.key.second});
    }
    field->SetInnerHtml(html);
    field.reset();  // the write above may invalidate handles
    for (std::size_t i = 0; i < state.menus.size(); ++i) {
      RenderLinkMenuWindow(context, document, state.menus[i], static_cast<std::int32_t>(i));
    }
  }
  // Fresh containers stand at the default place until their records apply.
  windows::ApplyWndLayout(context, document);
}

void RedrawLinkWindows(Context& context, Document& document) {
  RenderLinkWindows(context, document);
  std::vector<std::u16string> drawn = {std::u16string(ids::kLink)};
  drawn.reserve(context.state().menus.size() + 1);
  for (const LinkMenu& menu : context.state().menus) drawn.push_back(WindowId(menu));
  windows::RestyleRedrawn(context, document, drawn);
}

void ChangeLinkPage(Context& context, Document& document, std::int32_t menu_no,
                    std::int32_t page_no) {
  ControlState& state = context.state();
  if (page_no < 0 || menu_no < 0 || menu_no >= static_cast<std::int32_t>(state.menus.size())) {
    return;
  }
  LinkMenu& menu = state.menus[static_cast<std::size_t>(menu_no)];
  if (page_no > LastPage(state, menu)) return;
  menu.page_num = page_no;
  RedrawLinkWindows(context, document);
}

void ChangeLinkMenu(Context& context, Document& document, std::int32_t menu_no) {
  std::unique_ptr<Element> list = document.FindElementById(ids::kLinkList);
  if (!list) return;
  const ControlState& state = context.state();
  const LinkMenu* menu = nullptr;
  if (menu_no >= 0 && menu_no < static_cast<std::int32_t>(state.menus.size())) {
    menu = &state.menus[static_cast<std::size_t>(menu_no)];
  }
  list->SetOuterHtml(ComposeLinkList(menu));
}

}  // namespace vellumine::links
