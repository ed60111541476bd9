// The window's process end of the private channel: a unix socket in a
// private folder (mode 0700), served from the GTK main loop. A client must
// first present the token handed to the page's process; then each request is
// answered by showing the dialog (modal, on this process's loop) and writing
// the answer back while the page's process waits.
#pragma once

#include <glib.h>

#include <string>

#include "hosts/desktop/dialogs.h"

namespace vellumine::desktop {

class DialogServer {
 public:
  explicit DialogServer(Dialogs& dialogs) : dialogs_(dialogs) {}
  ~DialogServer();
  DialogServer(const DialogServer&) = delete;
  DialogServer& operator=(const DialogServer&) = delete;

  // Creates the socket and starts serving; false when it can't.
  bool Start();
  const std::string& socket_path() const { return socket_path_; }
  const std::string& token() const { return token_; }
  Dialogs& dialogs() { return dialogs_; }

 private:
  struct Client;
  static gboolean OnAccept(gint fd, GIOCondition condition, gpointer self);
  static gboolean OnClientReady(gint fd, GIOCondition condition, gpointer client);
  // The answer to one request, or nullptr to drop the client.
  GVariant* Answer(Client& client, const char* name, GVariant* args);

  Dialogs& dialogs_;
  std::string dir_;
  std::string socket_path_;
  std::string token_;
  int listen_fd_ = -1;
  guint listen_source_ = 0;
  Client* clients_ = nullptr;
};

}  // namespace vellumine::desktop
