// Pages for tests that need no parser: each implements the page operations
// over plain data and records what the control wrote.
//
// - control_test::FakeDocument: a tree of nodes that records every style and
//   markup write, so tests read back exactly what was set on each element
//   (window and option tests).
// - testing::RecordingDocument: a flat set of ids that keeps every write
//   verbatim, so markup is compared byte for byte as composed (a parsed
//   document would re-serialize it).
// - testing::MemoRecordingPage: keeps the markup written into each element
//   and counts lookups; elements written as markup become findable by their
//   ids (memo tests, which check lookups per render).
#pragma once

#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "page/document.h"

namespace vellumine::control_test {

struct FakeNode {
  std::u16string id;
  std::u16string tag = u"DIV";
  std::vector<std::unique_ptr<FakeNode>> children;
  // Written by the control; nullopt until written.
  std::optional<std::int32_t> left, top, font_size;
  std::optional<std::u16string> visibility, color, font_family, inner_html;
  // What PixelLeft/PixelTop answer; nullopt: the style can't be read.
  std::optional<std::int32_t> pixel_left = 0, pixel_top = 0;
  int writes = 0;  // every write of any kind

  FakeNode& Add(std::u16string child_tag, std::u16string child_id = u"") {
    children.push_back(std::make_unique<FakeNode>());
    children.back()->tag = std::move(child_tag);
    children.back()->id = std::move(child_id);
    return *children.back();
  }
  void Walk(const std::function<void(FakeNode&)>& fn) {
    for (auto& c : children) {
      fn(*c);
      c->Walk(fn);
    }
  }
};

class FakeElement : public Element {
 public:
  explicit FakeElement(FakeNode& node) : n_(node) {}
  std::u16string Id() override { return n_.id; }
  std::u16string TagName() override { return n_.tag; }
  void SetInnerHtml(std::u16string_view html) override { Set(n_.inner_html, html); }
  void SetOuterHtml(std::u16string_view html) override { Set(n_.inner_html, html); }
  void SetInnerText(std::u16string_view text) override { Set(n_.inner_html, text); }
  void SetAttribute(std::u16string_view, std::u16string_view, std::int32_t) override {
    ++n_.writes;
  }
  void SetAttribute(std::u16string_view, std::int32_t, std::int32_t) override { ++n_.writes; }
  void SetStyleLeft(std::int32_t px) override { Set(n_.left, px); }
  void SetStyleTop(std::int32_t px) override { Set(n_.top, px); }
  void SetStyleVisibility(std::u16string_view v) override { Set(n_.visibility, v); }
  void SetStyleColor(std::u16string_view v) override { Set(n_.color, v); }
  void SetStyleFontFamily(std::u16string_view v) override { Set(n_.font_family, v); }
  void SetStyleFontSize(std::int32_t px) override { Set(n_.font_size, px); }
  std::optional<std::int32_t> PixelLeft() override { return n_.pixel_left; }
  std::optional<std::int32_t> PixelTop() override { return n_.pixel_top; }
  void ForEachDescendant(const std::function<void(Element&)>& fn) override {
    n_.Walk([&](FakeNode& node) {
      FakeElement e(node);
      fn(e);
    });
  }

 private:
  template <typename T, typename V>
  void Set(std::optional<T>& field, const V& v) {
    field = T(v);
    ++n_.writes;
  }
  FakeNode& n_;
};

class FakeDocument : public Document {
 public:
  FakeNode body = [] {
    FakeNode n;
    n.tag = u"BODY";
    return n;
  }();

  FakeNode* Node(std::u16string_view id) {
    FakeNode* found = nullptr;
    body.Walk([&](FakeNode& n) {
      if (!found && n.id == id) found = &n;
    });
    return found;
  }
  std::unique_ptr<Element> FindElementById(std::u16string_view id) override {
    ++lookups;
    FakeNode* n = Node(id);
    return n ? std::make_unique<FakeElement>(*n) : nullptr;
  }
  std::unique_ptr<Element> Body() override { return std::make_unique<FakeElement>(body); }
  int TotalWrites() {
    int total = body.writes;
    body.Walk([&](FakeNode& n) { total += n.writes; });
    return total;
  }
  int lookups = 0;
};

}  // namespace vellumine::control_test

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
