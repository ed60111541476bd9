#include "hosts/desktop/channel.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace vellumine::desktop {
namespace {

bool WriteAll(int fd, const void* data, std::size_t size) {
  auto* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = send(fd, p, size, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

bool ReadAll(int fd, void* data, std::size_t size) {
  auto* p = static_cast<char*>(data);
  while (size > 0) {
    ssize_t n = recv(fd, p, size, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    p += n;
    size -= static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace

bool WriteFrame(int fd, GVariant* value) {
  g_variant_ref_sink(value);
  GBytes* bytes = g_variant_get_data_as_bytes(value);
  gsize size = 0;
  const auto* data = static_cast<const unsigned char*>(g_bytes_get_data(bytes, &size));
  bool ok = false;
  if (size <= kMaxFrame) {
    std::vector<unsigned char> frame(4 + size);
    for (int i = 0; i < 4; ++i) frame[i] = static_cast<unsigned char>(size >> (8 * i));
    if (size > 0) std::memcpy(frame.data() + 4, data, size);
    ok = WriteAll(fd, frame.data(), frame.size());
  }
  g_bytes_unref(bytes);
  g_variant_unref(value);
  return ok;
}

GVariant* ReadFrame(int fd, const GVariantType* type) {
  unsigned char head[4];
  if (!ReadAll(fd, head, sizeof head)) return nullptr;
  std::uint32_t size = 0;
  for (int i = 0; i < 4; ++i) size |= static_cast<std::uint32_t>(head[i]) << (8 * i);
  if (size > kMaxFrame) return nullptr;
  // GVariant wants its data aligned; g_malloc gives suitable alignment.
  auto* data = static_cast<unsigned char*>(g_malloc(size > 0 ? size : 1));
  if (!ReadAll(fd, data, size)) {
    g_free(data);
    return nullptr;
  }
  GBytes* bytes = g_bytes_new_take(data, size);
  // Untrusted: GVariant checks the data as it is read, and a value that is
  // not in normal form is refused outright.
  GVariant* value = g_variant_new_from_bytes(type, bytes, FALSE);
  g_bytes_unref(bytes);
  g_variant_ref_sink(value);
  if (!g_variant_is_normal_form(value)) {
    g_variant_unref(value);
    return nullptr;
  }
  return value;
}

ChannelClient::~ChannelClient() { Close(); }

void ChannelClient::Close() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool ChannelClient::Connect(const std::string& path, const std::string& token) {
  Close();
  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (path.empty() || path.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, path.data(), path.size());
  fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd_ < 0) return false;
  if (connect(fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    Close();
    return false;
  }
  GVariant* answer = Call(kHelloRequest, g_variant_new_string(token.c_str()));
  bool welcome = answer != nullptr && g_variant_is_of_type(answer, G_VARIANT_TYPE_BOOLEAN) &&
                 g_variant_get_boolean(answer);
  if (answer != nullptr) g_variant_unref(answer);
  if (!welcome) Close();
  return welcome;
}

GVariant* ChannelClient::Call(const char* name, GVariant* args) {
  g_variant_ref_sink(args);
  GVariant* request = g_variant_new("(sv)", name, args);
  g_variant_unref(args);
  if (fd_ < 0) {
    g_variant_unref(g_variant_ref_sink(request));
    return nullptr;
  }
  if (!WriteFrame(fd_, request)) {
    Close();
    return nullptr;
  }
  GVariant* reply = ReadFrame(fd_, G_VARIANT_TYPE_VARIANT);
  if (reply == nullptr) {
    Close();
    return nullptr;
  }
  GVariant* inner = g_variant_get_variant(reply);
  g_variant_unref(reply);
  return inner;
}

}  // namespace vellumine::desktop
