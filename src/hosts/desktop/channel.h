// The private channel between the page's process and the window's process.
//
// The control runs in the page's process, but dialogs and launches belong to
// the process that owns the window. Each request is one frame: a 32-bit
// little-endian length followed by a serialised GVariant of type "(sv)"
// (request name, arguments); the answer is one frame holding a "v". The page's
// process writes a request and blocks on the answer without running any loop,
// so no page script runs in the middle of a control method.
#pragma once

#include <glib.h>

#include <cstdint>
#include <optional>
#include <string>

namespace vellumine::desktop {

// Frames above this size are refused: no request or answer comes near it.
inline constexpr std::uint32_t kMaxFrame = 16u * 1024u * 1024u;

// Request names.
inline constexpr char kHelloRequest[] = "hello";      // s token -> b
inline constexpr char kMessageRequest[] = "message";  // (s text, ms caption, b yes_no) -> s
inline constexpr char kFontRequest[] = "font";        // (s face, i size) -> m(si)
inline constexpr char kFileRequest[] = "file";        // () -> ms
inline constexpr char kPictureRequest[] = "picture";  // () -> ms, a picture file
inline constexpr char kFolderRequest[] = "folder";    // () -> ms
inline constexpr char kLaunchRequest[] = "launch";    // s path -> b

// Blocking frame I/O on a stream socket; false on any failure, end of stream
// or oversized frame.
bool WriteFrame(int fd, GVariant* value);
// A floating-free reference to a value of exactly `type`, or nullptr.
GVariant* ReadFrame(int fd, const GVariantType* type);

// The client end, used in the page's process. Not thread-safe: the control
// calls it from the page's thread only.
class ChannelClient {
 public:
  ChannelClient() = default;
  ~ChannelClient();
  ChannelClient(const ChannelClient&) = delete;
  ChannelClient& operator=(const ChannelClient&) = delete;

  // Connects to the unix socket at path and introduces itself with token.
  bool Connect(const std::string& path, const std::string& token);
  bool connected() const { return fd_ >= 0; }

  // Sends one request (name, args) and waits for its answer. args is
  // consumed if floating. nullptr when the channel is down; the channel then
  // stays down.
  GVariant* Call(const char* name, GVariant* args);

 private:
  void Close();
  int fd_ = -1;
};

}  // namespace vellumine::desktop
