// The web process extension: gives the bundled page, and nothing else, its
// control object.
#include <webkit2/webkit-web-extension.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "hosts/desktop/app_bridge.h"
#include "hosts/desktop/channel.h"
#include "hosts/desktop/font_aliases.h"
#include "hosts/desktop/page_policy.h"
#include "hosts/desktop/skerrow_binding.h"
#include "page/text.h"
#include "platform/posix_platform.h"

namespace {

struct ExtensionState {
  std::string page_uri;
  std::u16string data_folder;
  vellumine::desktop::ChannelClient channel;
  vellumine::desktop::StartAtLogin start_at_login;
  // A script world of the extension's own: the page's script can't reach
  // into it, so what it reads of the page (the user's activation, the
  // loads the page's policy refused) is what the engine says.
  WebKitScriptWorld* guard_world = nullptr;
  vellumine::desktop::WritePath write_path = vellumine::desktop::WritePath::kFast;
  std::uint32_t ticks = 0;
  // The data folder read on another thread while the page loads, for the
  // first page's control.
  std::unique_ptr<vellumine::desktop::FolderPreloadTask> preload;
};

ExtensionState* g_state = nullptr;

// A load the page's security policy refused (a frame, a picture from
// elsewhere) goes to the window's process, which hears of the navigations
// it refuses itself in the same way.
void ReportRefusedLoad(const char* uri, gpointer page) {
  WebKitUserMessage* message = webkit_user_message_new(
      vellumine::desktop::kRefusedLoadMessage, g_variant_new_string(uri != nullptr ? uri : ""));
  webkit_web_page_send_message_to_view(WEBKIT_WEB_PAGE(page), message, nullptr, nullptr, nullptr);
}

// Gives the guard world of the page's main frame its listener for refused
// loads; returns the world's context (a new reference) or nullptr.
JSCContext* PrepareGuard(WebKitFrame* frame, WebKitWebPage* page) {
  JSCContext* guard = webkit_frame_get_js_context_for_script_world(frame, g_state->guard_world);
  if (guard == nullptr) return nullptr;
  JSCValue* report = jsc_value_new_function(guard, "report", G_CALLBACK(ReportRefusedLoad), page,
                                            nullptr, G_TYPE_NONE, 1, G_TYPE_STRING);
  jsc_context_set_value(guard, "report", report);
  g_object_unref(report);
  JSCValue* result = jsc_context_evaluate(
      guard,
      "document.addEventListener('securitypolicyviolation', function (e) {"
      "  if (e.isTrusted && e.disposition === 'enforce') report(String(e.blockedURI));"
      "}, true);",
      -1);
  if (result != nullptr) g_object_unref(result);
  jsc_context_clear_exception(guard);
  return guard;
}

void OnWindowObjectCleared(WebKitScriptWorld* world, WebKitWebPage* page, WebKitFrame* frame,
                           gpointer /*user_data*/) {
  // Only the main frame showing exactly the page the app loaded gets the
  // control: no other page, no frame inside it, no other origin.
  if (g_state == nullptr || !webkit_frame_is_main_frame(frame)) return;
  const char* uri = webkit_frame_get_uri(frame);
  if (uri == nullptr || !vellumine::desktop::IsBundledPage(uri, g_state->page_uri)) return;
  JSCContext* context = webkit_frame_get_js_context_for_script_world(frame, world);
  if (context == nullptr) return;
  JSCContext* guard = PrepareGuard(frame, page);
  vellumine::desktop::InstallSkerrow(
      context, g_state->data_folder, g_state->channel.connected() ? &g_state->channel : nullptr,
      guard, g_state->write_path, g_state->ticks, std::move(g_state->preload));
  vellumine::desktop::InstallAppBridge(context, guard, g_state->start_at_login);
  if (guard != nullptr) g_object_unref(guard);
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
  // Before the page asks for any face.
  vellumine::desktop::AddFontAliases();
  g_signal_connect(extension, "page-created", G_CALLBACK(OnPageCreated), nullptr);
  auto* data = const_cast<GVariant*>(user_data);
  if (data == nullptr || !g_variant_is_of_type(data, G_VARIANT_TYPE("(ssssssbu)"))) return;
  const char* page_uri = nullptr;
  const char* data_folder = nullptr;
  const char* socket_path = nullptr;
  const char* token = nullptr;
  const char* autostart_file = nullptr;
  const char* autostart_entry = nullptr;
  gboolean plain = FALSE;
  guint32 ticks = 0;
  g_variant_get(data, "(&s&s&s&s&s&sbu)", &page_uri, &data_folder, &socket_path, &token,
                &autostart_file, &autostart_entry, &plain, &ticks);
  if (*page_uri == '\0' || *data_folder == '\0') return;
  // The folder as its canonical path: the folder watch and the control then
  // name every file one way, however the window's process spelled it. The
  // control's first call would make it; the watch needs it now.
  const std::optional<std::string> canonical =
      vellumine::PrepareDataFolder(data_folder, vellumine::FolderSpelling::kCanonical);
  const std::u16string folder = vellumine::Utf8ToUtf16(canonical ? *canonical : data_folder);
  g_state = new ExtensionState{
      page_uri,
      folder,
      {},
      {autostart_file, autostart_entry},
      webkit_script_world_new_with_name("vellumine-guard"),
      plain ? vellumine::desktop::WritePath::kPlain : vellumine::desktop::WritePath::kFast,
      ticks,
      {}};
  // Without the window's process the control still works; its dialogs then
  // answer as cancelled.
  g_state->channel.Connect(socket_path, token);
  // The page's first call loads the whole folder; most of that reading can
  // be done now, while the engine starts and loads the page.
  g_state->preload = std::make_unique<vellumine::desktop::FolderPreloadTask>(folder);
  g_signal_connect(webkit_script_world_get_default(), "window-object-cleared",
                   G_CALLBACK(OnWindowObjectCleared), nullptr);
}
