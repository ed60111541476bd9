// Stub: replaced by the gumbo-based implementation.
#include "dom/html_document.h"

namespace vellumine {
struct HtmlDocument::Impl {};
std::unique_ptr<HtmlDocument> HtmlDocument::Parse(std::string_view) {
  return std::unique_ptr<HtmlDocument>(new HtmlDocument(std::make_unique<Impl>()));
}
HtmlDocument::HtmlDocument(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
HtmlDocument::~HtmlDocument() = default;
std::unique_ptr<Element> HtmlDocument::FindElementById(std::u16string_view) { return nullptr; }
std::unique_ptr<Element> HtmlDocument::Body() { return nullptr; }
std::string HtmlDocument::Serialize() const { return {}; }
std::optional<std::string> HtmlDocument::OuterHtmlById(std::u16string_view) const {
  return std::nullopt;
}
}  // namespace vellumine
