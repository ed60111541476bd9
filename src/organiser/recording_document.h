// A page for tests that keeps every write verbatim, so markup can be compared
// byte for byte as the control produced it (a parsed document would
// re-serialize it).
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "page/document.h"

namespace vellumine::testing {

struct RecordedElement {
  std::optional<std::u16string> inner_html;
  std::optional<std::u16string> outer_html;
  std::optional<std::u16string> inner_text;
  std::optional<std::u16string> font_family;
  std::map<std::u16string, std::u16string> attributes;
  int writes = 0;  // every call that changed something
};

class RecordingDocument : public Document {
 public:
  explicit RecordingDocument(std::vector<std::u16string> ids) {
    for (auto& id : ids) elements_[id];
  }

  RecordedElement& operator[](const std::u16string& id) { return elements_.at(id); }
  int TotalWrites() const {
    int n = 0;
    for (const auto& [id, e] : elements_) n += e.writes;
    return n;
  }

  std::unique_ptr<Element> FindElementById(std::u16string_view id) override {
    auto it = elements_.find(std::u16string(id));
    if (it == elements_.end()) return nullptr;
    return std::make_unique<Handle>(it->first, it->second);
  }
  // The body holds every recorded element.
  std::unique_ptr<Element> Body() override { return std::make_unique<Handle>(u"", body_, this); }

 private:
  class Handle : public Element {
   public:
    Handle(std::u16string id, RecordedElement& e, RecordingDocument* owner = nullptr)
        : id_(std::move(id)), e_(e), owner_(owner) {}
    std::u16string Id() override { return id_; }
    std::u16string TagName() override { return u"DIV"; }
    void SetInnerHtml(std::u16string_view html) override { Set(e_.inner_html, html); }
    void SetOuterHtml(std::u16string_view html) override { Set(e_.outer_html, html); }
    void SetInnerText(std::u16string_view text) override { Set(e_.inner_text, text); }
    void SetAttribute(std::u16string_view name, std::u16string_view value, std::int32_t) override {
      e_.attributes[std::u16string(name)] = std::u16string(value);
      ++e_.writes;
    }
    void SetAttribute(std::u16string_view name, std::int32_t value, std::int32_t) override {
      std::u16string text;
      for (char c : std::to_string(value)) text.push_back(static_cast<char16_t>(c));
      e_.attributes[std::u16string(name)] = text;
      ++e_.writes;
    }
    void SetStyleLeft(std::int32_t) override { ++e_.writes; }
    void SetStyleTop(std::int32_t) override { ++e_.writes; }
    void SetStyleVisibility(std::u16string_view) override { ++e_.writes; }
    void SetStyleColor(std::u16string_view) override { ++e_.writes; }
    void SetStyleFontFamily(std::u16string_view value) override { Set(e_.font_family, value); }
    void SetStyleFontSize(std::int32_t) override { ++e_.writes; }
    std::optional<std::int32_t> PixelLeft() override { return std::nullopt; }
    std::optional<std::int32_t> PixelTop() override { return std::nullopt; }
    void ForEachDescendant(const std::function<void(Element&)>& fn) override {
      if (!owner_) return;
      for (auto& [id, e] : owner_->elements_) {
        Handle child(id, e);
        fn(child);
      }
    }

   private:
    void Set(std::optional<std::u16string>& slot, std::u16string_view value) {
      slot = std::u16string(value);
      ++e_.writes;
    }
    std::u16string id_;
    RecordedElement& e_;
    RecordingDocument* owner_;
  };

  RecordedElement body_;
  std::map<std::u16string, RecordedElement> elements_;
};

}  // namespace vellumine::testing
