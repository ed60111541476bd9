// HtmlDocument: an in-memory HTML document on a real HTML5 parser, with the
// page operations of Document. Tests and the headless runner use it.
//
// Fragments written as inner or outer HTML are parsed as a browser parses
// them in the context of the element they go into. Lookup by id answers
// exactly as a document-order scan would; an index may serve it, kept right
// across every write. Serialize() writes the whole document as HTML.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "page/document.h"

namespace vellumine {

class HtmlDocument : public Document {
 public:
  // Parses a whole page (UTF-8).
  static std::unique_ptr<HtmlDocument> Parse(std::string_view html);
  ~HtmlDocument() override;

  std::unique_ptr<Element> FindElementById(std::u16string_view id) override;
  std::unique_ptr<Element> Body() override;

  // The whole document as HTML (UTF-8), "<!DOCTYPE html>" first when the page
  // had one.
  std::string Serialize() const;
  // The outer HTML of the first element with this id; nullopt when none.
  std::optional<std::string> OuterHtmlById(std::u16string_view id) const;

  struct Impl;

 private:
  explicit HtmlDocument(std::unique_ptr<Impl> impl);
  std::unique_ptr<Impl> impl_;
};

}  // namespace vellumine
