// The page operations: everything the control does to the host page.
//
// The control never holds an element between calls: every method looks its
// elements up afresh. An Element handle is valid until the next structural
// write to the document (inner or outer HTML); callers never keep one across
// such a write. A write the page refuses is ignored; no operation reports an
// error.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace vellumine {

class Element {
 public:
  virtual ~Element() = default;

  virtual std::u16string Id() = 0;       // "" when the element has none
  virtual std::u16string TagName() = 0;  // upper case: "DIV", "PRE"

  virtual void SetInnerHtml(std::u16string_view html) = 0;
  virtual void SetOuterHtml(std::u16string_view html) = 0;
  virtual void SetInnerText(std::u16string_view text) = 0;
  virtual void SetAttribute(std::u16string_view name, std::u16string_view value,
                            std::int32_t flags) = 0;
  virtual void SetAttribute(std::u16string_view name, std::int32_t value, std::int32_t flags) = 0;

  // Inline style. Numbers for left, top and font size are pixels.
  virtual void SetStyleLeft(std::int32_t px) = 0;
  virtual void SetStyleTop(std::int32_t px) = 0;
  virtual void SetStyleVisibility(std::u16string_view value) = 0;
  virtual void SetStyleColor(std::u16string_view value) = 0;
  virtual void SetStyleFontFamily(std::u16string_view value) = 0;
  virtual void SetStyleFontSize(std::int32_t px) = 0;
  // The element's current position; nullopt when its style can't be read.
  virtual std::optional<std::int32_t> PixelLeft() = 0;
  virtual std::optional<std::int32_t> PixelTop() = 0;

  // Every element inside this one, in document order. The callback may set
  // styles but must not change the document's structure.
  virtual void ForEachDescendant(const std::function<void(Element&)>& fn) = 0;
};

class Document {
 public:
  virtual ~Document() = default;
  // The first element in document order whose id equals id exactly
  // (case-sensitive); nullptr when none does.
  virtual std::unique_ptr<Element> FindElementById(std::u16string_view id) = 0;
  virtual std::unique_ptr<Element> Body() = 0;
};

}  // namespace vellumine
