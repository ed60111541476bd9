// The in-memory document: gumbo parses, and its read-only output is copied
// into a mutable node tree that the page operations edit.
#include "dom/html_document.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <memory_resource>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

#include "dom/id_index.h"
#include "dom/inline_style.h"
#include "dom/node.h"
#include "dom/serialization.h"
#include "dom/tree_building.h"
#include "page/text.h"

namespace vellumine {

using html::AcceptableStyleValue;
using html::AsciiUpper;
using html::IdIndex;
using html::LowerAscii;
using html::NewNode;
using html::Node;
using html::NodePool;
using html::NodePtr;
using html::ParseInto;
using html::PropertyValue;
using html::PString;
using html::SerializeNode;
using html::ValidAttributeName;
using html::WithProperty;

// ---- The document ------------------------------------------------------------

struct HtmlDocument::Impl {
  Impl() : pool(NodePool::Create()) {
    pool->Ref();
    root = NewNode(pool, Node::Kind::kDocument);
  }
  Impl(const Impl&) = delete;
  Impl& operator=(const Impl&) = delete;
  ~Impl() {
    retired_.clear();
    root.reset();
    pool->Unref();  // nodes still held by handles keep it until they go
  }

  NodePool* pool;
  NodePtr root;
  bool has_doctype = false;
  IdIndex ids;
  // Replaced contents not yet released, oldest first (see Retire).
  std::deque<NodePtr> retired_;
  std::vector<Node*> walk_;  // ForSubtree's, kept to spare an allocation per walk

  static const PString* IdOf(const Node& n) {
    if (n.kind != Node::Kind::kElement) return nullptr;
    const PString* id = n.Attr("id");
    return id != nullptr && !id->empty() ? id : nullptr;
  }

  void AddId(Node* n) {
    const PString* id = IdOf(*n);
    if (id == nullptr) return;
    ids.Add(IdIndex::Hash(*id), n);
    n->indexed = true;
  }
  void RemoveId(Node* n) {
    if (!n->indexed) return;
    n->indexed = false;
    if (const PString* id = IdOf(*n)) ids.Remove(IdIndex::Hash(*id), n);
  }

  // Visits a subtree. The children of a node are asked for from memory
  // together: a large old content is no longer in the cache, and one node at
  // a time would wait on each in turn.
  template <typename F>
  void ForSubtree(Node* top, F&& f) {
    std::vector<Node*>& pending = walk_;
    pending.assign(1, top);
    while (!pending.empty()) {
      Node* n = pending.back();
      pending.pop_back();
      f(n);
      for (auto& c : n->children) {
        __builtin_prefetch(c.get());
        pending.push_back(c.get());
      }
    }
  }
  void Attach(Node* top) {
    ForSubtree(top, [this](Node* n) {
      n->detached = false;
      AddId(n);
    });
  }
  // Returns the number of nodes taken out.
  std::size_t Detach(Node* top) {
    std::size_t count = 0;
    ForSubtree(top, [this, &count](Node* n) {
      RemoveId(n);
      n->detached = true;
      ++count;
    });
    return count;
  }

  // True while the node is in the document: neither it nor an ancestor has
  // left. A replaced content waiting to be released is marked at its top
  // only.
  static bool Alive(const Node* n) {
    for (; n != nullptr; n = n->parent) {
      if (n->detached) return false;
    }
    return true;
  }

  static void Renumber(Node* parent) {
    for (std::size_t i = 0; i < parent->children.size(); ++i) {
      parent->children[i]->parent = parent;
      parent->children[i]->index = static_cast<std::uint32_t>(i);
    }
  }

  // True when a precedes b in document order.
  static bool Before(const Node* a, const Node* b) {
    auto path = [](const Node* n) {
      std::vector<std::size_t> p;
      for (; n->parent != nullptr; n = n->parent) p.push_back(n->index);
      std::reverse(p.begin(), p.end());
      return p;
    };
    return path(a) < path(b);  // an ancestor's path is a prefix: it comes first
  }

  Node* First(std::string_view id_utf8) const {
    if (id_utf8.empty()) return nullptr;
    Node* best = nullptr;
    ids.ForHash(IdIndex::Hash(id_utf8), [&](Node* n) {
      const PString* id = IdOf(*n);
      if (id == nullptr || std::string_view(*id) != id_utf8 || !Alive(n)) return;
      if (best == nullptr || Before(n, best)) best = n;
    });
    return best;
  }

  // A replaced content leaves the document at once, marked at its top, but
  // is released bit by bit: before each write, about as many old nodes as
  // the write will make. Their blocks are then handed straight to the new
  // nodes while still in the cache. Released all at once, a large content
  // would leave its blocks to go cold before they were used again, and a
  // rewrite of every window of a page would wait on memory throughout.
  void Retire(NodePtr top) {
    top->detached = true;
    top->parent = nullptr;  // the old parent may be released first
    retired_.push_back(std::move(top));
  }

  // Releases retired contents, oldest first, until some `nodes` have gone.
  // Each is taken out of the id index and released subtree by subtree, so
  // that it is read once, while in the cache.
  void Reclaim(std::size_t nodes) {
    std::size_t released = 0;
    while (released < nodes && !retired_.empty()) {
      NodePtr top = std::move(retired_.front());
      retired_.pop_front();
      released += Detach(top.get());
      top.reset();  // handles to it now find it gone
    }
  }

  // Replaces the children of parent by those of holder.
  void ReplaceChildren(Node* parent, Node* holder) {
    std::pmr::vector<NodePtr> old = std::move(parent->children);
    for (NodePtr& c : old) Retire(std::move(c));
    parent->children = std::move(holder->children);
    holder->children.clear();
    Renumber(parent);
    for (auto& c : parent->children) Attach(c.get());
  }

  // Replaces node (a child of its parent) by the children of holder.
  void ReplaceNode(Node* node, Node* holder) {
    Node* parent = node->parent;
    const std::size_t at = node->index;
    if (parent == nullptr || at >= parent->children.size() || parent->children[at].get() != node) {
      return;
    }
    NodePtr keep = parent->children[at];  // alive until the swap is done
    std::pmr::vector<NodePtr> next(parent->children.get_allocator());
    next.reserve(parent->children.size() - 1 + holder->children.size());
    for (std::size_t i = 0; i < at; ++i) next.push_back(std::move(parent->children[i]));
    for (auto& c : holder->children) next.push_back(std::move(c));
    for (std::size_t i = at + 1; i < parent->children.size(); ++i) {
      next.push_back(std::move(parent->children[i]));
    }
    const std::size_t added_end = at + holder->children.size();
    holder->children.clear();
    parent->children = std::move(next);
    Renumber(parent);
    for (std::size_t i = at; i < added_end; ++i) Attach(parent->children[i].get());
    Retire(std::move(keep));
  }
};

namespace {

// About how many nodes a markup makes, judged by its length alone: reading
// it for its tags would cost more than the estimate saves.
std::size_t NodesIn(std::u16string_view html) { return 1 + html.size() / 64; }

GumboTag ContextTag(const Node& n) {
  // Any element gumbo does not know parses its content as an ordinary one.
  return n.tag == GUMBO_TAG_UNKNOWN || n.tag == GUMBO_TAG_LAST ? GUMBO_TAG_DIV : n.tag;
}

class HtmlElement : public Element {
 public:
  HtmlElement(HtmlDocument::Impl* doc, const NodePtr& node) : doc_(doc), node_(node) {}

  std::u16string Id() override {
    NodePtr n = Live();
    if (!n) return {};
    const PString* id = n->Attr("id");
    return id != nullptr ? Utf8ToUtf16(*id) : std::u16string();
  }

  std::u16string TagName() override {
    NodePtr n = Live();
    if (!n) return {};
    std::string upper(n->str);
    for (char& c : upper) c = AsciiUpper(c);
    return Utf8ToUtf16(upper);
  }

  void SetInnerHtml(std::u16string_view html) override {
    NodePtr n = Live();
    if (!n) return;
    doc_->Reclaim(NodesIn(html));
    NodePtr holder = ParseInto(Utf16ToUtf8(html), ContextTag(*n), nullptr, doc_->pool);
    doc_->ReplaceChildren(n.get(), holder.get());
  }

  void SetOuterHtml(std::u16string_view html) override {
    NodePtr n = Live();
    // An element directly under the document can't be replaced: the page
    // refuses the write.
    if (!n || n->parent == nullptr || n->parent->kind != Node::Kind::kElement) return;
    doc_->Reclaim(NodesIn(html));
    NodePtr holder = ParseInto(Utf16ToUtf8(html), ContextTag(*n->parent), nullptr, doc_->pool);
    doc_->ReplaceNode(n.get(), holder.get());
  }

  void SetInnerText(std::u16string_view text) override {
    NodePtr n = Live();
    if (!n) return;
    doc_->Reclaim(2);
    NodePtr holder = NewNode(doc_->pool, Node::Kind::kDocument);
    if (!text.empty()) {
      NodePtr t = NewNode(doc_->pool, Node::Kind::kText);
      t->str = Utf16ToUtf8(text);
      holder->children.push_back(std::move(t));
    }
    doc_->ReplaceChildren(n.get(), holder.get());
  }

  void SetAttribute(std::u16string_view name, std::u16string_view value,
                    std::int32_t flags) override {
    NodePtr n = Live();
    if (!n) return;
    std::string key = Utf16ToUtf8(UpToZero(name));
    if (!ValidAttributeName(key)) return;
    if (n->ns == GUMBO_NAMESPACE_HTML) key = LowerAscii(key);
    const bool is_id = key == "id";
    if (is_id) doc_->RemoveId(n.get());
    std::string text = Utf16ToUtf8(UpToZero(value));
    auto it = std::find_if(n->attrs.begin(), n->attrs.end(),
                           [&key](const auto& a) { return std::string_view(a.first) == key; });
    if (it != n->attrs.end()) {
      it->second = text;
    } else {
      n->attrs.emplace_back(key, text);
    }
    if (is_id) doc_->AddId(n.get());
  }

  void SetAttribute(std::u16string_view name, std::int32_t value, std::int32_t flags) override {
    SetAttribute(name, Utf8ToUtf16(std::to_string(value)), flags);
  }

  void SetStyleLeft(std::int32_t px) override { SetStyle("left", Px(px)); }
  void SetStyleTop(std::int32_t px) override { SetStyle("top", Px(px)); }
  void SetStyleVisibility(std::u16string_view v) override {
    SetStyle("visibility", Utf16ToUtf8(UpToZero(v)));
  }
  void SetStyleColor(std::u16string_view v) override {
    SetStyle("color", Utf16ToUtf8(UpToZero(v)));
  }
  void SetStyleFontFamily(std::u16string_view v) override {
    SetStyle("font-family", Utf16ToUtf8(UpToZero(v)));
  }
  void SetStyleFontSize(std::int32_t px) override { SetStyle("font-size", Px(px)); }

  std::optional<std::int32_t> PixelLeft() override { return Pixels("left"); }
  std::optional<std::int32_t> PixelTop() override { return Pixels("top"); }

  void ForEachDescendant(const std::function<void(Element&)>& fn) override {
    NodePtr n = Live();
    if (!n) return;
    // Collected first so the walk stays sound whatever the callback does.
    std::vector<NodePtr> all;
    std::vector<Node*> pending;
    for (auto it = n->children.rbegin(); it != n->children.rend(); ++it) {
      pending.push_back(it->get());
    }
    while (!pending.empty()) {
      Node* d = pending.back();
      pending.pop_back();
      if (d->kind != Node::Kind::kElement) continue;
      all.push_back(d->parent->children[d->index]);
      for (auto it = d->children.rbegin(); it != d->children.rend(); ++it) {
        pending.push_back(it->get());
      }
    }
    for (const NodePtr& d : all) {
      HtmlElement e(doc_, d);
      fn(e);
    }
  }

 private:
  // The node while it is still in the document; null otherwise.
  NodePtr Live() const {
    NodePtr n = node_.lock();
    return n && HtmlDocument::Impl::Alive(n.get()) ? n : nullptr;
  }

  static std::string Px(std::int32_t v) { return std::to_string(v) + "px"; }

  void SetStyle(std::string_view property, const std::string& value) {
    NodePtr n = Live();
    if (!n || !AcceptableStyleValue(value)) return;
    const PString* style = n->Attr("style");
    const std::string next =
        WithProperty(style != nullptr ? std::string_view(*style) : "", property, value);
    for (auto& a : n->attrs) {
      if (a.first == "style") {
        a.second = next;
        return;
      }
    }
    if (!next.empty()) n->attrs.emplace_back("style", next);
  }

  std::optional<std::int32_t> Pixels(std::string_view property) const {
    NodePtr n = Live();
    if (!n) return std::nullopt;
    const PString* style = n->Attr("style");
    if (style == nullptr) return 0;
    const std::optional<std::string_view> v = PropertyValue(*style, property);
    if (!v) return 0;
    return ParseDecimal(Utf8ToUtf16(*v));
  }

  HtmlDocument::Impl* doc_;
  std::weak_ptr<Node> node_;
};

NodePtr Shared(Node* n) { return n->parent->children[n->index]; }

}  // namespace

std::unique_ptr<HtmlDocument> HtmlDocument::Parse(std::string_view html) {
  auto impl = std::make_unique<Impl>();
  impl->root = ParseInto(html, GUMBO_TAG_LAST, &impl->has_doctype, impl->pool);
  Impl::Renumber(impl->root.get());
  impl->Attach(impl->root.get());
  return std::unique_ptr<HtmlDocument>(new HtmlDocument(std::move(impl)));
}

HtmlDocument::HtmlDocument(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
HtmlDocument::~HtmlDocument() = default;

std::unique_ptr<Element> HtmlDocument::FindElementById(std::u16string_view id) {
  Node* n = impl_->First(Utf16ToUtf8(UpToZero(id)));
  if (n == nullptr) return nullptr;
  return std::make_unique<HtmlElement>(impl_.get(), Shared(n));
}

std::unique_ptr<Element> HtmlDocument::Body() {
  for (const NodePtr& html : impl_->root->children) {
    if (html->kind != Node::Kind::kElement) continue;
    for (const NodePtr& c : html->children) {
      if (c->kind == Node::Kind::kElement && c->ns == GUMBO_NAMESPACE_HTML &&
          (c->tag == GUMBO_TAG_BODY || c->tag == GUMBO_TAG_FRAMESET)) {
        return std::make_unique<HtmlElement>(impl_.get(), c);
      }
    }
    break;  // only the document element is looked in
  }
  return nullptr;
}

std::string HtmlDocument::Serialize() const {
  std::string out;
  if (impl_->has_doctype) out += "<!DOCTYPE html>";
  SerializeNode(out, *impl_->root, false);
  return out;
}

std::optional<std::string> HtmlDocument::OuterHtmlById(std::u16string_view id) const {
  Node* n = impl_->First(Utf16ToUtf8(UpToZero(id)));
  if (n == nullptr) return std::nullopt;
  std::string out;
  SerializeNode(out, *n, true);
  return out;
}

}  // namespace vellumine
