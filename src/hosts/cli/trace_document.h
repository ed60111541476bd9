// A Document that reports every page write as one JSON line before handing
// it on, so a script run shows exactly what the control wrote, in order.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "page/document.h"

namespace vellumine::cli {

// Receives one complete JSON line (without the newline).
using LineSink = std::function<void(const std::string&)>;

class TracingDocument : public Document {
 public:
  TracingDocument(Document& inner, LineSink sink);

  std::unique_ptr<Element> FindElementById(std::u16string_view id) override;
  std::unique_ptr<Element> Body() override;

 private:
  Document& inner_;
  LineSink sink_;
};

// Wraps one element; owns it when given ownership, else borrows it for the
// length of a ForEachDescendant callback.
class TracingElement : public Element {
 public:
  TracingElement(std::unique_ptr<Element> owned, const LineSink& sink);
  TracingElement(Element& borrowed, const LineSink& sink);

  std::u16string Id() override { return inner_->Id(); }
  std::u16string TagName() override { return inner_->TagName(); }

  void SetInnerHtml(std::u16string_view html) override;
  void SetOuterHtml(std::u16string_view html) override;
  void SetInnerText(std::u16string_view text) override;
  void SetAttribute(std::u16string_view name, std::u16string_view value,
                    std::int32_t flags) override;
  void SetAttribute(std::u16string_view name, std::int32_t value, std::int32_t flags) override;

  void SetStyleLeft(std::int32_t px) override;
  void SetStyleTop(std::int32_t px) override;
  void SetStyleVisibility(std::u16string_view value) override;
  void SetStyleColor(std::u16string_view value) override;
  void SetStyleFontFamily(std::u16string_view value) override;
  void SetStyleFontSize(std::int32_t px) override;
  std::optional<std::int32_t> PixelLeft() override { return inner_->PixelLeft(); }
  std::optional<std::int32_t> PixelTop() override { return inner_->PixelTop(); }

  void ForEachDescendant(const std::function<void(Element&)>& fn) override;

 private:
  // The line's opening up to the id, read before the write: an outer HTML
  // write ends the element's life.
  std::string Begin(const char* op);
  std::string BeginStyle(const char* prop);
  void Finish(std::string& line, std::u16string_view value);
  void Finish(std::string& line, std::int32_t value);

  std::unique_ptr<Element> owned_;
  Element* inner_;
  const LineSink& sink_;
};

}  // namespace vellumine::cli
