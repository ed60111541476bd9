// The in-memory document: gumbo parses, and its read-only output is copied
// into a mutable node tree that the page operations edit.
#include "dom/html_document.h"

#include <gumbo.h>

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

#include "page/text.h"

namespace vellumine {
namespace {

// Under the address sanitizer the pools below hand every block out on its
// own, so that it still sees each overrun and each use after release.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kCheckedHeap = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kCheckedHeap = true;
#else
constexpr bool kCheckedHeap = false;
#endif
#else
constexpr bool kCheckedHeap = false;
#endif

// The memory of one document's nodes and of their texts and lists. Blocks
// freed by a torn-down content go on a list per size and are the first
// handed out again, still in the cache, to the content that replaces it;
// the general heap would merge and sort them, reading memory all over the
// page, and a rewrite of a large content would wait on it. The pool lives
// while the document or any node (or handle to one) is left.
class NodePool final : public std::pmr::memory_resource {
 public:
  static NodePool* Create() { return new NodePool(); }
  void Ref() { ++refs_; }
  // Out of line: inlined into every allocator copy, the compiler can't see
  // that only the last release deletes.
  [[gnu::noinline]] void Unref() {
    if (--refs_ == 0) delete this;
  }

 private:
  static constexpr std::size_t kGrain = 16;
  static constexpr std::size_t kMaxPooled = 512;
  static constexpr std::size_t kChunk = 64 * 1024;

  struct FreeBlock {
    FreeBlock* next;
  };

  NodePool() = default;
  ~NodePool() override = default;

  static bool Pooled(std::size_t bytes, std::size_t align) {
    return !kCheckedHeap && bytes <= kMaxPooled && align <= kGrain;
  }
  static std::size_t SizeClass(std::size_t bytes) { return bytes == 0 ? 0 : (bytes - 1) / kGrain; }

  void* do_allocate(std::size_t bytes, std::size_t align) override {
    if (!Pooled(bytes, align)) return ::operator new(bytes, std::align_val_t(align));
    const std::size_t c = SizeClass(bytes);
    if (FreeBlock* b = free_[c]) {
      free_[c] = b->next;
      return b;
    }
    const std::size_t size = (c + 1) * kGrain;
    if (size > left_) {
      chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(kChunk));
      bump_ = chunks_.back().get();
      left_ = kChunk;
    }
    void* out = bump_;
    bump_ += size;
    left_ -= size;
    return out;
  }

  void do_deallocate(void* p, std::size_t bytes, std::size_t align) override {
    if (!Pooled(bytes, align)) {
      ::operator delete(p, std::align_val_t(align));
      return;
    }
    const std::size_t c = SizeClass(bytes);
    free_[c] = ::new (p) FreeBlock{free_[c]};
  }

  bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
    return this == &other;
  }

  std::array<FreeBlock*, kMaxPooled / kGrain> free_{};
  std::vector<std::unique_ptr<std::byte[]>> chunks_;
  std::byte* bump_ = nullptr;
  std::size_t left_ = 0;
  std::size_t refs_ = 0;
};

// Allocates a node together with its shared count from the pool, holding the
// pool for as long as that count lives.
template <typename T>
class PoolAllocator {
 public:
  using value_type = T;

  explicit PoolAllocator(NodePool* pool) : pool_(pool) { pool_->Ref(); }
  PoolAllocator(const PoolAllocator& other) : pool_(other.pool_) { pool_->Ref(); }
  template <typename U>
  PoolAllocator(const PoolAllocator<U>& other) : pool_(other.pool()) {  // NOLINT: rebinding
    pool_->Ref();
  }
  PoolAllocator& operator=(const PoolAllocator&) = delete;
  ~PoolAllocator() { pool_->Unref(); }

  T* allocate(std::size_t n) { return static_cast<T*>(pool_->allocate(n * sizeof(T), alignof(T))); }
  void deallocate(T* p, std::size_t n) { pool_->deallocate(p, n * sizeof(T), alignof(T)); }
  NodePool* pool() const { return pool_; }
  friend bool operator==(const PoolAllocator& a, const PoolAllocator& b) {
    return a.pool_ == b.pool_;
  }

 private:
  NodePool* pool_;
};

using PString = std::pmr::string;

struct Node {
  enum class Kind : std::uint8_t { kDocument, kElement, kText, kComment };

  Node(Kind k, std::pmr::memory_resource* pool) : kind(k), str(pool), attrs(pool), children(pool) {}
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  // Children are released without recursion: a garbage page may nest
  // elements far deeper than the stack allows.
  ~Node() {
    std::pmr::vector<std::shared_ptr<Node>> pending = std::move(children);
    while (!pending.empty()) {
      std::shared_ptr<Node> n = std::move(pending.back());
      pending.pop_back();
      if (n.use_count() == 1) {
        for (auto& c : n->children) pending.push_back(std::move(c));
        n->children.clear();
      }
    }
  }

  // Packed tight: a large page holds hundreds of thousands of nodes, and
  // rewriting a large content reads all of the old ones and writes the new.
  Kind kind;
  // Set when the node leaves the document; handles to it then do nothing.
  bool detached = false;
  // In the id index: only such nodes need a lookup when they leave.
  bool indexed = false;
  GumboTag tag = GUMBO_TAG_UNKNOWN;
  GumboNamespaceEnum ns = GUMBO_NAMESPACE_HTML;
  std::uint32_t index = 0;  // position among the parent's children
  // Element: its name as serialized (lower case for HTML elements). Text
  // and comment: their data.
  PString str;
  // Element: qualified attribute names with their values, in order.
  std::pmr::vector<std::pair<PString, PString>> attrs;
  Node* parent = nullptr;
  std::pmr::vector<std::shared_ptr<Node>> children;

  const PString* Attr(std::string_view attr) const {
    for (const auto& a : attrs) {
      if (a.first == attr) return &a.second;
    }
    return nullptr;
  }
};

using NodePtr = std::shared_ptr<Node>;

NodePtr NewNode(NodePool* pool, Node::Kind kind) {
  return std::allocate_shared<Node>(PoolAllocator<Node>(pool), kind, pool);
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
std::string LowerAscii(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

bool IsVoid(const Node& n) {
  if (n.ns != GUMBO_NAMESPACE_HTML) return false;
  switch (n.tag) {
    case GUMBO_TAG_AREA:
    case GUMBO_TAG_BASE:
    case GUMBO_TAG_BASEFONT:
    case GUMBO_TAG_BGSOUND:
    case GUMBO_TAG_BR:
    case GUMBO_TAG_COL:
    case GUMBO_TAG_EMBED:
    case GUMBO_TAG_FRAME:
    case GUMBO_TAG_HR:
    case GUMBO_TAG_IMG:
    case GUMBO_TAG_INPUT:
    case GUMBO_TAG_KEYGEN:
    case GUMBO_TAG_LINK:
    case GUMBO_TAG_META:
    case GUMBO_TAG_PARAM:
    case GUMBO_TAG_SOURCE:
    case GUMBO_TAG_TRACK:
    case GUMBO_TAG_WBR:
      return true;
    default:
      return false;
  }
}

bool IsRawText(const Node* n) {
  if (n == nullptr || n->kind != Node::Kind::kElement || n->ns != GUMBO_NAMESPACE_HTML) {
    return false;
  }
  switch (n->tag) {
    case GUMBO_TAG_SCRIPT:
    case GUMBO_TAG_STYLE:
    case GUMBO_TAG_XMP:
    case GUMBO_TAG_IFRAME:
    case GUMBO_TAG_NOEMBED:
    case GUMBO_TAG_NOFRAMES:
    case GUMBO_TAG_PLAINTEXT:
      return true;
    default:
      return false;
  }
}

// ---- Conversion from gumbo's tree ----------------------------------------

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

NodePtr ParseInto(std::string_view html, GumboTag context, bool* has_doctype, NodePool* pool);

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

// Parses html as a whole page (context GUMBO_TAG_LAST) or as a fragment in
// the context of an element with that tag. The fragment's nodes become the
// children of the returned holder node.
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

// ---- Serialization --------------------------------------------------------

void AppendEscaped(std::string& out, std::string_view s, bool attribute) {
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '&') {
      out += "&amp;";
    } else if (c == '\xC2' && i + 1 < s.size() && s[i + 1] == '\xA0') {
      out += "&nbsp;";
      ++i;
    } else if (attribute && c == '"') {
      out += "&quot;";
    } else if (!attribute && c == '<') {
      out += "&lt;";
    } else if (!attribute && c == '>') {
      out += "&gt;";
    } else {
      out.push_back(c);
    }
  }
}

void AppendStartTag(std::string& out, const Node& n) {
  out.push_back('<');
  out += n.str;
  for (const auto& [name, value] : n.attrs) {
    out.push_back(' ');
    out += name;
    out += "=\"";
    AppendEscaped(out, value, true);
    out.push_back('"');
  }
  out.push_back('>');
}

// Serializes node itself (outer) or only its children; iterative for the
// same reason as ~Node.
void SerializeNode(std::string& out, const Node& root, bool include_self) {
  struct Step {
    const Node* node;
    bool close;  // write the end tag of node
  };
  std::vector<Step> pending;
  auto push_children = [&pending](const Node& n) {
    for (auto it = n.children.rbegin(); it != n.children.rend(); ++it) {
      pending.push_back({it->get(), false});
    }
  };
  if (include_self) {
    pending.push_back({&root, false});
  } else {
    push_children(root);
  }
  while (!pending.empty()) {
    const Step step = pending.back();
    pending.pop_back();
    const Node& n = *step.node;
    if (step.close) {
      out += "</";
      out += n.str;
      out.push_back('>');
      continue;
    }
    switch (n.kind) {
      case Node::Kind::kElement:
        AppendStartTag(out, n);
        if (IsVoid(n)) break;
        pending.push_back({&n, true});
        push_children(n);
        break;
      case Node::Kind::kText:
        if (IsRawText(n.parent)) {
          out += n.str;
        } else {
          AppendEscaped(out, n.str, false);
        }
        break;
      case Node::Kind::kComment:
        out += "<!--";
        out += n.str;
        out += "-->";
        break;
      case Node::Kind::kDocument:
        push_children(n);
        break;
    }
  }
}

// ---- Inline style -----------------------------------------------------------

std::string_view Trim(std::string_view s) {
  const auto is_space = [](char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
  };
  while (!s.empty() && is_space(s.front())) s.remove_prefix(1);
  while (!s.empty() && is_space(s.back())) s.remove_suffix(1);
  return s;
}

// The declarations of a style text, split at ";" outside quotes and brackets.
std::vector<std::string_view> Declarations(std::string_view style) {
  std::vector<std::string_view> out;
  auto push = [&out](std::string_view d) {
    d = Trim(d);
    if (!d.empty()) out.push_back(d);
  };
  std::size_t start = 0;
  int depth = 0;
  char quote = 0;
  for (std::size_t i = 0; i < style.size(); ++i) {
    const char c = style[i];
    if (quote != 0) {
      if (c == '\\') {
        ++i;
      } else if (c == quote) {
        quote = 0;
      }
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (depth > 0) --depth;
    } else if (c == ';' && depth == 0) {
      push(style.substr(start, i - start));
      start = i + 1;
    }
  }
  push(style.substr(std::min(start, style.size())));
  return out;
}

std::string PropertyOf(std::string_view declaration) {
  const std::size_t colon = declaration.find(':');
  return LowerAscii(Trim(declaration.substr(0, colon)));
}

// The style text with property set to value (removed when value is empty),
// other declarations kept in their order.
std::string WithProperty(std::string_view style, std::string_view property,
                         std::string_view value) {
  std::string out;
  bool placed = false;
  auto add = [&out](std::string_view d) {
    if (!out.empty()) out += "; ";
    out += d;
  };
  const std::string declaration = std::string(property) + ": " + std::string(value);
  for (std::string_view d : Declarations(style)) {
    if (PropertyOf(d) != property) {
      add(d);
    } else if (!placed) {
      if (!value.empty()) add(declaration);
      placed = true;
    }
  }
  if (!placed && !value.empty()) add(declaration);
  return out;
}

std::optional<std::string_view> PropertyValue(std::string_view style, std::string_view property) {
  std::optional<std::string_view> found;
  for (std::string_view d : Declarations(style)) {
    if (PropertyOf(d) == property) {
      const std::size_t colon = d.find(':');
      found = colon == std::string_view::npos ? std::string_view() : Trim(d.substr(colon + 1));
    }
  }
  return found;  // the last declaration wins, as in CSS
}

// A value that would end its declaration early (";" outside quotes), open a
// block, or leave a quote, a bracket or an escape open (swallowing the
// declarations after it) is one the page refuses.
bool AcceptableStyleValue(std::string_view v) {
  char quote = 0;
  int depth = 0;
  for (std::size_t i = 0; i < v.size(); ++i) {
    const char c = v[i];
    if (c == '{' || c == '}' || static_cast<unsigned char>(c) < 0x20) return false;
    if (c == '\\') {
      if (++i >= v.size()) return false;
    } else if (quote != 0) {
      if (c == quote) quote = 0;
    } else if (c == ';') {
      return false;
    } else if (c == '"' || c == '\'') {
      quote = c;
    } else if (c == '(') {
      ++depth;
    } else if (c == ')' && --depth < 0) {
      return false;
    }
  }
  return quote == 0 && depth == 0;
}

bool ValidAttributeName(std::string_view name) {
  if (name.empty()) return false;
  for (char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (u <= 0x20 || u == 0x7F || c == '"' || c == '\'' || c == '>' || c == '/' || c == '=' ||
        c == '<') {
      return false;
    }
  }
  return true;
}

}  // namespace

// ---- The document ------------------------------------------------------------

// The attached elements carrying an id, found by the id's hash: one flat
// table of (hash, element) slots, probed linearly. Nothing is allocated per
// id, so taking a large content out of the index and putting its successor
// in touches the table and the elements only. An id's text is read from its
// element when a lookup has to tell ids with the same hash apart.
class IdIndex {
 public:
  static std::size_t Hash(std::string_view id) { return std::hash<std::string_view>()(id); }

  void Add(std::size_t hash, Node* n) {
    if ((count_ + 1) * 2 > slots_.size()) Grow();
    std::size_t i = hash & Mask();
    while (slots_[i].node != nullptr) i = (i + 1) & Mask();
    slots_[i] = {hash, n};
    ++count_;
  }

  void Remove(std::size_t hash, const Node* n) {
    if (slots_.empty()) return;
    std::size_t i = hash & Mask();
    while (slots_[i].node != n) {
      if (slots_[i].node == nullptr) return;
      i = (i + 1) & Mask();
    }
    // Later slots of the same run move up, so that no probe meets a hole
    // before what it looks for.
    for (std::size_t j = (i + 1) & Mask(); slots_[j].node != nullptr; j = (j + 1) & Mask()) {
      const std::size_t home = slots_[j].hash & Mask();
      const bool stays = i <= j ? (i < home && home <= j) : (i < home || home <= j);
      if (stays) continue;
      slots_[i] = slots_[j];
      i = j;
    }
    slots_[i] = {};
    --count_;
  }

  // Calls f with every element whose id has this hash; f checks the text.
  template <typename F>
  void ForHash(std::size_t hash, F&& f) const {
    if (slots_.empty()) return;
    for (std::size_t i = hash & Mask(); slots_[i].node != nullptr; i = (i + 1) & Mask()) {
      if (slots_[i].hash == hash) f(slots_[i].node);
    }
  }

 private:
  struct Slot {
    std::size_t hash = 0;
    Node* node = nullptr;
  };

  std::size_t Mask() const { return slots_.size() - 1; }

  void Grow() {
    std::vector<Slot> old =
        std::exchange(slots_, std::vector<Slot>(std::max<std::size_t>(64, slots_.size() * 2)));
    count_ = 0;
    for (const Slot& s : old) {
      if (s.node != nullptr) Add(s.hash, s.node);
    }
  }

  std::vector<Slot> slots_;
  std::size_t count_ = 0;
};

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
