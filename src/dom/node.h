// The document's node tree and the memory it lives in: the pool that
// hands out a document's nodes, texts and lists, the node itself, and what
// the HTML rules say of an element (void, raw text) and of an attribute
// name. Inside the document only: the page operations see handles.
#pragma once

#include <gumbo.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <memory_resource>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellumine::html {

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

inline NodePtr NewNode(NodePool* pool, Node::Kind kind) {
  return std::allocate_shared<Node>(PoolAllocator<Node>(pool), kind, pool);
}

inline char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
inline char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
std::string LowerAscii(std::string_view s);

// An element written without an end tag.
bool IsVoid(const Node& n);
// An element whose text is written as it is, unescaped.
bool IsRawText(const Node* n);
// A name an attribute may have when set from script.
bool ValidAttributeName(std::string_view name);

}  // namespace vellumine::html
