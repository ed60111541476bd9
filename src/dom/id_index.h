// The id index of a document.
#pragma once

#include <algorithm>
#include <cstddef>
#include <functional>
#include <string_view>
#include <utility>
#include <vector>

#include "dom/node.h"

namespace vellumine::html {

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

}  // namespace vellumine::html
