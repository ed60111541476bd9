#include "dom/tree_building.h"

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace vellumine::html {
namespace {

std::string ElementName(const GumboElement& e) {
  GumboStringPiece original = e.original_tag;
  if (original.data != nullptr && original.length > 0) gumbo_tag_from_original_text(&original);
  if (e.tag_namespace == GUMBO_NAMESPACE_SVG && original.data != nullptr && original.length > 0) {
    if (const char* svg = gumbo_normalize_svg_tagname(&original)) return svg;
  }
  if (e.tag != GUMBO_TAG_UNKNOWN && e.tag != GUMBO_TAG_LAST) {
    const char* known = gumbo_normalized_tagname(e.tag);
    if (known != nullptr && *known != '\0') return known;
  }
  if (original.data != nullptr && original.length > 0) {
    return LowerAscii(std::string_view(original.data, original.length));
  }
  return "span";  // never seen: gumbo names every element it inserts
}

std::string AttributeName(const GumboAttribute& a) {
  const std::string name = a.name != nullptr ? a.name : "";
  switch (a.attr_namespace) {
    case GUMBO_ATTR_NAMESPACE_XLINK:
      return "xlink:" + name;
    case GUMBO_ATTR_NAMESPACE_XML:
      return "xml:" + name;
    case GUMBO_ATTR_NAMESPACE_XMLNS:
      return name == "xmlns" ? name : "xmlns:" + name;
    default:
      return name;
  }
}

NodePtr ConvertOne(const GumboNode* g, NodePool* pool) {
  switch (g->type) {
    case GUMBO_NODE_ELEMENT:
    case GUMBO_NODE_TEMPLATE: {
      NodePtr n = NewNode(pool, Node::Kind::kElement);
      const GumboElement& e = g->v.element;
      n->tag = e.tag;
      n->ns = e.tag_namespace;
      n->str = ElementName(e);
      n->attrs.reserve(e.attributes.length);
      for (unsigned i = 0; i < e.attributes.length; ++i) {
        const auto* a = static_cast<const GumboAttribute*>(e.attributes.data[i]);
        if (a == nullptr) continue;
        n->attrs.emplace_back(AttributeName(*a), a->value != nullptr ? a->value : "");
      }
      return n;
    }
    case GUMBO_NODE_TEXT:
    case GUMBO_NODE_CDATA:
    case GUMBO_NODE_WHITESPACE: {
      NodePtr n = NewNode(pool, Node::Kind::kText);
      n->str = g->v.text.text != nullptr ? g->v.text.text : "";
      return n;
    }
    case GUMBO_NODE_COMMENT: {
      NodePtr n = NewNode(pool, Node::Kind::kComment);
      n->str = g->v.text.text != nullptr ? g->v.text.text : "";
      return n;
    }
    default:
      return nullptr;
  }
}

const GumboVector* ChildrenOf(const GumboNode* g) {
  if (g->type == GUMBO_NODE_ELEMENT || g->type == GUMBO_NODE_TEMPLATE) {
    return &g->v.element.children;
  }
  if (g->type == GUMBO_NODE_DOCUMENT) return &g->v.document.children;
  return nullptr;
}

// Where "</form" starts an end tag inside region; npos when it doesn't.
std::size_t FormEndTag(std::string_view region) {
  for (std::size_t i = 0; i + 6 < region.size(); ++i) {
    if (region[i] != '<' || region[i + 1] != '/') continue;
    if (LowerAscii(region.substr(i + 2, 4)) != "form") continue;
    const char next = region[i + 6];
    if (next == '>' || next == '/' || next == ' ' || next == '\t' || next == '\n' || next == '\r' ||
        next == '\f') {
      return i;
    }
  }
  return std::string_view::npos;
}

// gumbo takes a form off the stack at "</form>" without first writing out the
// text it has buffered, so the form's last text lands after the form, merged
// with whatever text follows it. Given such a form and the text node after
// it, returns the part of the text that was written before "</form>".
std::string FormTail(const GumboNode* form, const GumboNode* text, std::string_view buffer,
                     NodePool* pool) {
  const GumboElement& f = form->v.element;
  if (f.tag != GUMBO_TAG_FORM || f.tag_namespace != GUMBO_NAMESPACE_HTML ||
      f.original_end_tag.length != 0) {
    return {};
  }
  const GumboStringPiece& raw = text->v.text.original_text;
  const char* begin = buffer.data();
  if (raw.data == nullptr || raw.data < begin || raw.data > begin + buffer.size() ||
      raw.length > static_cast<std::size_t>(begin + buffer.size() - raw.data) ||
      raw.data - begin < static_cast<std::ptrdiff_t>(f.start_pos.offset)) {
    return {};
  }
  // The form must still have been open where the text began: no "</form"
  // between its last content and the text.
  const char* open_from = f.original_tag.data;
  std::size_t open_len = f.original_tag.length;
  if (f.children.length > 0) {
    const auto* last = static_cast<const GumboNode*>(f.children.data[f.children.length - 1]);
    if (last->type == GUMBO_NODE_ELEMENT || last->type == GUMBO_NODE_TEMPLATE) {
      const GumboElement& e = last->v.element;
      const bool closed = e.original_end_tag.data != nullptr && e.original_end_tag.length > 0;
      open_from = closed ? e.original_end_tag.data : e.original_tag.data;
      open_len = closed ? e.original_end_tag.length : e.original_tag.length;
    } else {
      open_from = last->v.text.original_text.data;
      open_len = last->v.text.original_text.length;
    }
  }
  if (open_from == nullptr || open_from < begin || open_from + open_len > raw.data) return {};
  if (FormEndTag(std::string_view(open_from + open_len,
                                  static_cast<std::size_t>(raw.data - open_from) - open_len)) !=
      std::string_view::npos) {
    return {};
  }
  const std::string_view region(raw.data, raw.length);
  const std::size_t end_tag = FormEndTag(region);
  if (end_tag == std::string_view::npos || end_tag == 0) return {};
  // Any tag before the form's own would have written the text out already,
  // so the prefix is character data; decode it as the parser did.
  const NodePtr decoded = ParseInto(region.substr(0, end_tag), GUMBO_TAG_DIV, nullptr, pool);
  std::string prefix;
  for (const NodePtr& c : decoded->children) {
    if (c->kind != Node::Kind::kText) return {};
    prefix += c->str;
  }
  const std::string_view all = text->v.text.text != nullptr ? text->v.text.text : "";
  return all.substr(0, prefix.size()) == prefix ? prefix : std::string();
}

// Copies the children of gumbo node `from` under `to`, without recursion.
void ConvertChildren(const GumboNode* from, Node* to, std::string_view buffer, NodePool* pool) {
  std::vector<std::pair<const GumboNode*, Node*>> pending{{from, to}};
  std::vector<std::pair<Node*, std::string>> form_tails;
  while (!pending.empty()) {
    auto [g, n] = pending.back();
    pending.pop_back();
    const GumboVector* kids = ChildrenOf(g);
    if (kids == nullptr) continue;
    n->children.reserve(kids->length);
    const GumboNode* previous = nullptr;
    for (unsigned i = 0; i < kids->length; ++i) {
      const auto* gc = static_cast<const GumboNode*>(kids->data[i]);
      if (gc == nullptr) continue;
      NodePtr c = ConvertOne(gc, pool);
      if (!c) continue;
      if (c->kind == Node::Kind::kText && previous != nullptr &&
          previous->type == GUMBO_NODE_ELEMENT && !n->children.empty()) {
        std::string tail = FormTail(previous, gc, buffer, pool);
        if (!tail.empty()) {
          c->str.erase(0, tail.size());
          form_tails.emplace_back(n->children.back().get(), std::move(tail));
        }
      }
      previous = gc;
      if (c->kind == Node::Kind::kText && c->str.empty()) continue;
      c->parent = n;
      c->index = static_cast<std::uint32_t>(n->children.size());
      n->children.push_back(c);
      if (c->kind == Node::Kind::kElement) pending.emplace_back(gc, c.get());
    }
  }
  for (auto& [form, tail] : form_tails) {
    NodePtr t = NewNode(pool, Node::Kind::kText);
    t->str = tail;
    t->parent = form;
    t->index = static_cast<std::uint32_t>(form->children.size());
    form->children.push_back(std::move(t));
  }
}

// Holds everything the parser allocates for one parse and releases it at
// once: its tree is copied and dropped straight away, and a heap full of the
// page's own nodes makes each of its many small allocations and frees slow.
class ParseArena {
 public:
  ParseArena() = default;
  ParseArena(const ParseArena&) = delete;
  ParseArena& operator=(const ParseArena&) = delete;

  static void* Allocate(void* arena, std::size_t size) {
    return static_cast<ParseArena*>(arena)->Take(size);
  }
  static void Release(void*, void*) {}  // everything goes with the arena

 private:
  static constexpr std::size_t kAlign = alignof(std::max_align_t);
  static constexpr std::size_t kFirstBlock = 16 * 1024;
  static constexpr std::size_t kMaxBlock = 1024 * 1024;

  void* Take(std::size_t size) {
    if (kCheckedHeap) {
      exact_.push_back(std::make_unique<char[]>(std::max<std::size_t>(size, 1)));
      return exact_.back().get();
    }
    size = (std::max<std::size_t>(size, 1) + kAlign - 1) & ~(kAlign - 1);
    // Blocks are zeroed: the parser reads some bytes of its buffers before
    // writing them, and must find the same there every time.
    if (size > left_) {
      if (size > next_block_ / 4) {  // a large buffer gets a block of its own
        blocks_.push_back(std::make_unique<Chunk[]>(size / kAlign));
        return blocks_.back().get();
      }
      blocks_.push_back(std::make_unique<Chunk[]>(next_block_ / kAlign));
      free_ = reinterpret_cast<char*>(blocks_.back().get());
      left_ = next_block_;
      next_block_ = std::min(next_block_ * 2, kMaxBlock);
    }
    void* out = free_;
    free_ += size;
    left_ -= size;
    return out;
  }

  struct alignas(kAlign) Chunk {
    char bytes[kAlign];
  };
  std::vector<std::unique_ptr<Chunk[]>> blocks_;
  std::vector<std::unique_ptr<char[]>> exact_;
  char* free_ = nullptr;
  std::size_t left_ = 0;
  std::size_t next_block_ = kFirstBlock;
};

}  // namespace

NodePtr ParseInto(std::string_view html, GumboTag context, bool* has_doctype, NodePool* pool) {
  ParseArena arena;
  GumboOptions options = kGumboDefaultOptions;
  options.allocator = &ParseArena::Allocate;
  options.deallocator = &ParseArena::Release;
  options.userdata = &arena;
  options.max_errors = 0;  // errors are not reported; don't collect them
  options.fragment_context = context;
  options.fragment_namespace = GUMBO_NAMESPACE_HTML;
  GumboOutput* out = gumbo_parse_with_options(&options, html.data(), html.size());
  NodePtr holder = NewNode(pool, Node::Kind::kDocument);
  if (out == nullptr) return holder;
  if (context == GUMBO_TAG_LAST) {
    if (out->document != nullptr) {
      if (has_doctype != nullptr) *has_doctype = out->document->v.document.has_doctype;
      ConvertChildren(out->document, holder.get(), html, pool);
    }
  } else if (out->root != nullptr) {
    ConvertChildren(out->root, holder.get(), html, pool);
  }
  // The arena's end releases the parser's output; walking it to free it node
  // by node would be wasted.
  return holder;
}

}  // namespace vellumine::html
