// The web process extension: gives the bundled page, and nothing else, its
// control object.
#include <webkit2/webkit-web-extension.h>

#include <optional>
#include <string>

#include "hosts/desktop/channel.h"
#include "hosts/desktop/page_policy.h"
#include "hosts/desktop/skerrow_binding.h"
#include "page/text.h"
#include "platform/posix_platform.h"

namespace {

struct ExtensionState {
  std::string page_uri;
  std::u16string data_folder;
  vellumine::desktop::ChannelClient channel;
};

ExtensionState* g_state = nullptr;

void OnWindowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* /*page*/, WebKitFrame* frame,
                           gpointer /*user_data*/) {
  // Only the main frame showing exactly the page the app loaded gets the
  // control: no other page, no frame inside it, no other origin.
  if (g_state == nullptr || !webkit_frame_is_main_frame(frame)) return;
  const char* uri = webkit_frame_get_uri(frame);
  if (uri == nullptr || !vellumine::desktop::IsBundledPage(uri, g_state->page_uri)) return;
  JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, world);
  if (context == nullptr) return;
  vellumine::desktop::InstallSkerrow(context, g_state->data_folder,
                                     g_state->channel.connected() ? &g_state->channel : nullptr);
  g_object_unref(context);
}

// The page reads local files only (itself, its pictures); nothing it shows
// may pull anything from the network or send anything there.
gboolean OnSendRequest(WebKitWebPage* /*page*/, WebKitURIRequest* request,
                       WebKitURIResponse* /*redirected*/, gpointer /*user_data*/) {
  const char* uri = webkit_uri_request_get_uri(request);
  gchar* scheme = uri != nullptr ? g_uri_parse_scheme(uri) : nullptr;
  bool local =
      scheme != nullptr &&
      (g_ascii_strcasecmp(scheme, "file") == 0 || g_ascii_strcasecmp(scheme, "data") == 0 ||
       g_ascii_strcasecmp(scheme, "blob") == 0 || g_ascii_strcasecmp(scheme, "about") == 0);
  g_free(scheme);
  return local ? FALSE : TRUE;  // TRUE cancels the request
}

void OnPageCreated(WebKitWebExtension* /*extension*/, WebKitWebPage* page, gpointer /*data*/) {
  g_signal_connect(page, "send-request", G_CALLBACK(OnSendRequest), nullptr);
}

}  // namespace

extern "C" G_MODULE_EXPORT void webkit_web_extension_initialize_with_user_data(
    WebKitWebExtension* extension, const GVariant* user_data) {
  g_signal_connect(extension, "page-created", G_CALLBACK(OnPageCreated), nullptr);
  auto* data = const_cast<GVariant*>(user_data);
  if (data == nullptr || !g_variant_is_of_type(data, G_VARIANT_TYPE("(ssss)"))) return;
  const char* page_uri = nullptr;
  const char* data_folder = nullptr;
  const char* socket_path = nullptr;
  const char* token = nullptr;
  g_variant_get(data, "(&s&s&s&s)", &page_uri, &data_folder, &socket_path, &token);
  if (*page_uri == '\0' || *data_folder == '\0') return;
  // The folder as its canonical path: the folder watch and the control then
  // name every file one way, however the window's process spelled it. The
  // control's first call would make it; the watch needs it now.
  g_mkdir_with_parents(data_folder, 0777);
  std::u16string folder = vellumine::Utf8ToUtf16(data_folder);
  vellumine::PosixPlatform files;
  if (std::optional<std::u16string> canonical = files.CanonicalPath(folder)) {
    folder = *canonical;
    if (folder.back() != u'/') folder.push_back(u'/');
  }
  g_state = new ExtensionState{page_uri, folder, {}};
  // Without the window's process the control still works; its dialogs then
  // answer as cancelled.
  g_state->channel.Connect(socket_path, token);
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                   G_CALLBACK(OnWindowObjectCleared), nullptr);
}
