// Context: what a feature command works with, and nothing more: the state in
// memory, the data folder's store, the platform, the random engine item keys
// and the random wallpaper are drawn from, and the path of the messages the
// user must see. It holds references only and forwards every call; the
// control makes one over its own members and hands it to each feature, and a
// test may make one over parts of its own. A feature given a Context cannot
// reach the control's calls, locks or reloads: those stay with the control.
#pragma once

#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "model/state.h"
#include "platform/platform.h"
#include "store/store.h"

namespace vellumine {

// Where the messages of a command go. The control shows them through its
// platform.
class MessagePath {
 public:
  virtual ~MessagePath() = default;
  // A modal message; caption nullopt is the system's default caption.
  virtual Answer ShowMessage(std::u16string_view text, const std::optional<std::u16string>& caption,
                             Buttons buttons) = 0;
  // The OK-only refusal with an empty caption used by most commands.
  virtual void Refuse(std::u16string_view text) = 0;
};

class Context {
 public:
  Context(ControlState& state, Store& store, Platform& platform, std::mt19937& random,
          MessagePath& messages)
      : state_(state), store_(store), platform_(platform), random_(random), messages_(messages) {}
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  ControlState& state() { return state_; }
  Store& store() { return store_; }
  Platform& platform() { return platform_; }
  std::mt19937& random() { return random_; }
  Answer ShowMessage(std::u16string_view text, const std::optional<std::u16string>& caption,
                     Buttons buttons) {
    return messages_.ShowMessage(text, caption, buttons);
  }
  void Refuse(std::u16string_view text) { messages_.Refuse(text); }

 private:
  ControlState& state_;
  Store& store_;
  Platform& platform_;
  std::mt19937& random_;
  MessagePath& messages_;
};

}  // namespace vellumine
