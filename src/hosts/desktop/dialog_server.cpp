#include "hosts/desktop/dialog_server.h"

#include <fcntl.h>
#include <glib-unix.h>
#include <glib/gstdio.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "hosts/desktop/channel.h"

namespace vellumine::desktop {

struct DialogServer::Client {
  DialogServer* server;
  int fd;
  guint source;
  bool introduced;
  Client* next;
};

namespace {

std::string RandomToken() {
  unsigned char bytes[16] = {};
  int fd = open("/dev/urandom", O_RDONLY | O_CLOEXEC);
  bool ok = fd >= 0 && read(fd, bytes, sizeof bytes) == static_cast<ssize_t>(sizeof bytes);
  if (fd >= 0) close(fd);
  if (!ok) {
    for (unsigned char& b : bytes) b = static_cast<unsigned char>(g_random_int());
  }
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char b : bytes) {
    token += kHex[b >> 4];
    token += kHex[b & 15];
  }
  return token;
}

}  // namespace

DialogServer::~DialogServer() {
  while (clients_ != nullptr) {
    Client* c = clients_;
    clients_ = c->next;
    g_source_remove(c->source);
    close(c->fd);
    delete c;
  }
  if (listen_source_ != 0) g_source_remove(listen_source_);
  if (listen_fd_ >= 0) close(listen_fd_);
  if (!socket_path_.empty()) g_unlink(socket_path_.c_str());
  if (!dir_.empty()) g_rmdir(dir_.c_str());
}

bool DialogServer::Start() {
  // g_dir_make_tmp makes the folder with mode 0700: only this user gets in.
  const char* runtime = g_get_user_runtime_dir();
  std::string pattern =
      std::string(runtime != nullptr ? runtime : g_get_tmp_dir()) + "/vellumine-XXXXXX";
  gchar* dir = g_mkdtemp_full(pattern.data(), 0700);
  if (dir == nullptr) {
    gchar* fallback = g_dir_make_tmp("vellumine-XXXXXX", nullptr);
    if (fallback == nullptr) return false;
    dir_ = fallback;
    g_free(fallback);
  } else {
    dir_ = dir;
  }
  socket_path_ = dir_ + "/channel";
  token_ = RandomToken();

  sockaddr_un addr{};
  addr.sun_family = AF_UNIX;
  if (socket_path_.size() >= sizeof addr.sun_path) return false;
  std::memcpy(addr.sun_path, socket_path_.data(), socket_path_.size());
  listen_fd_ = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listen_fd_ < 0) return false;
  if (bind(listen_fd_, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
      listen(listen_fd_, 8) != 0) {
    return false;
  }
  listen_source_ = g_unix_fd_add(listen_fd_, G_IO_IN, OnAccept, this);
  return true;
}

gboolean DialogServer::OnAccept(gint fd, GIOCondition /*condition*/, gpointer self) {
  auto* server = static_cast<DialogServer*>(self);
  int client_fd = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
  if (client_fd < 0) return G_SOURCE_CONTINUE;
  auto* client = new Client{server, client_fd, 0, false, server->clients_};
  server->clients_ = client;
  client->source =
      g_unix_fd_add(client_fd, GIOCondition(G_IO_IN | G_IO_HUP | G_IO_ERR), OnClientReady, client);
  return G_SOURCE_CONTINUE;
}

gboolean DialogServer::OnClientReady(gint fd, GIOCondition /*condition*/, gpointer data) {
  auto* client = static_cast<Client*>(data);
  DialogServer* server = client->server;
  bool keep = false;
  // The client writes a whole request at once and then waits, so reading
  // the frame here does not stall the loop.
  if (GVariant* request = ReadFrame(fd, G_VARIANT_TYPE("(sv)"))) {
    const char* name = nullptr;
    GVariant* args = nullptr;
    g_variant_get(request, "(&sv)", &name, &args);
    GVariant* answer = server->Answer(*client, name, args);
    if (answer != nullptr) keep = WriteFrame(fd, g_variant_new_variant(answer));
    g_variant_unref(args);
    g_variant_unref(request);
  }
  if (keep) return G_SOURCE_CONTINUE;
  for (Client** p = &server->clients_; *p != nullptr; p = &(*p)->next) {
    if (*p == client) {
      *p = client->next;
      break;
    }
  }
  close(client->fd);
  delete client;
  return G_SOURCE_REMOVE;
}

GVariant* DialogServer::Answer(Client& client, const char* name, GVariant* args) {
  if (!client.introduced) {
    // Nothing is shown to a client that has not proved it was started by us.
    if (std::strcmp(name, kHelloRequest) != 0 ||
        !g_variant_is_of_type(args, G_VARIANT_TYPE_STRING) ||
        token_ != g_variant_get_string(args, nullptr)) {
      return nullptr;
    }
    client.introduced = true;
    return g_variant_new_boolean(TRUE);
  }
  if (std::strcmp(name, kMessageRequest) == 0) {
    std::optional<MessageRequest> request = DecodeMessageRequest(args);
    if (!request) return nullptr;
    return EncodeMessageAnswer(dialogs_.Message(*request));
  }
  if (std::strcmp(name, kFontRequest) == 0) {
    if (!g_variant_is_of_type(args, G_VARIANT_TYPE("(si)"))) return nullptr;
    const char* face = nullptr;
    gint32 size = 0;
    g_variant_get(args, "(&si)", &face, &size);
    return EncodeFontAnswer(dialogs_.Font(face, size));
  }
  if (std::strcmp(name, kFileRequest) == 0) return EncodePathAnswer(dialogs_.File());
  if (std::strcmp(name, kPictureRequest) == 0) {
    return EncodePathAnswer(dialogs_.File(FileKind::kPicture));
  }
  if (std::strcmp(name, kFolderRequest) == 0) return EncodePathAnswer(dialogs_.Folder());
  if (std::strcmp(name, kLaunchRequest) == 0) {
    if (!g_variant_is_of_type(args, G_VARIANT_TYPE_STRING)) return nullptr;
    dialogs_.Launch(g_variant_get_string(args, nullptr));
    return g_variant_new_boolean(TRUE);
  }
  return nullptr;
}

}  // namespace vellumine::desktop
