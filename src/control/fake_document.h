// A tiny page for the window and option tests: a tree of nodes that records
// every style and markup write, so tests can read back exactly what the
// control set on each element.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
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
