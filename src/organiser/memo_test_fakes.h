// A recording page for the memo tests: keeps the exact markup written into
// each element and counts lookups, so that markup is compared as composed and
// the number of document lookups per render can be checked.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <string_view>

#include "page/document.h"

namespace vellumine::testing {

class MemoRecordingPage : public Document {
 public:
  struct Node {
    std::u16string inner;
    int writes = 0;
  };

  explicit MemoRecordingPage(std::initializer_list<std::u16string_view> ids = {u"memo",
                                                                               u"memofield"}) {
    for (std::u16string_view id : ids) Add(id);
  }

  void Add(std::u16string_view id) { nodes_.try_emplace(std::u16string(id)); }
  bool Has(std::u16string_view id) const { return nodes_.contains(std::u16string(id)); }
  const Node& node(std::u16string_view id) const { return nodes_.at(std::u16string(id)); }
  const std::u16string& Inner(std::u16string_view id) const { return node(id).inner; }
  int lookups() const { return lookups_; }
  void reset_lookups() { lookups_ = 0; }

  std::unique_ptr<Element> FindElementById(std::u16string_view id) override {
    ++lookups_;
    auto it = nodes_.find(std::u16string(id));
    if (it == nodes_.end()) return nullptr;
    return std::make_unique<MemoRecordingElement>(*this, it->first);
  }
  std::unique_ptr<Element> Body() override { return nullptr; }

 private:
  class MemoRecordingElement : public Element {
   public:
    MemoRecordingElement(MemoRecordingPage& doc, std::u16string id)
        : doc_(doc), id_(std::move(id)) {}
    std::u16string Id() override { return id_; }
    std::u16string TagName() override { return u"DIV"; }
    void SetInnerHtml(std::u16string_view html) override {
      Node& n = doc_.nodes_[id_];
      n.inner = std::u16string(html);
      ++n.writes;
      doc_.RegisterIds(html);
    }
    void SetOuterHtml(std::u16string_view) override {}
    void SetInnerText(std::u16string_view) override {}
    void SetAttribute(std::u16string_view, std::u16string_view, std::int32_t) override {}
    void SetAttribute(std::u16string_view, std::int32_t, std::int32_t) override {}
    void SetStyleLeft(std::int32_t) override {}
    void SetStyleTop(std::int32_t) override {}
    void SetStyleVisibility(std::u16string_view) override {}
    void SetStyleColor(std::u16string_view) override {}
    void SetStyleFontFamily(std::u16string_view) override {}
    void SetStyleFontSize(std::int32_t) override {}
    std::optional<std::int32_t> PixelLeft() override { return std::nullopt; }
    std::optional<std::int32_t> PixelTop() override { return std::nullopt; }
    void ForEachDescendant(const std::function<void(Element&)>&) override {}

   private:
    MemoRecordingPage& doc_;
    std::u16string id_;
  };

  // Elements written as markup become findable by their id="..." values.
  void RegisterIds(std::u16string_view html) {
    constexpr std::u16string_view kAttr = u"id=\"";
    for (std::size_t pos = html.find(kAttr); pos != std::u16string_view::npos;
         pos = html.find(kAttr, pos)) {
      pos += kAttr.size();
      const std::size_t end = html.find(u'"', pos);
      if (end == std::u16string_view::npos) break;
      Add(html.substr(pos, end - pos));
      pos = end;
    }
  }

  std::map<std::u16string, Node> nodes_;
  int lookups_ = 0;
};

}  // namespace vellumine::testing
