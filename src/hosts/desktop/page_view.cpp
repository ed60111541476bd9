#include "hosts/desktop/page_view.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "hosts/desktop/page_policy.h"
#include "hosts/desktop/script_dialogs.h"
#include "page/text.h"
#include "platform/posix_platform.h"

namespace vellumine::desktop {
namespace {

bool Exists(const std::string& path) { return g_file_test(path.c_str(), G_FILE_TEST_EXISTS); }

std::string ReadText(const std::string& path) {
  gchar* contents = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(path.c_str(), &contents, &length, nullptr)) return {};
  std::string text(contents, length);
  g_free(contents);
  return text;
}

}  // namespace

AppPaths FindAppPaths() {
  gchar* exe = g_file_read_link("/proc/self/exe", nullptr);
  if (exe != nullptr) {
    gchar* bin = g_path_get_dirname(exe);
    gchar* prefix = g_path_get_dirname(bin);
    AppPaths installed{std::string(prefix) + "/" VELLUMINE_INSTALL_WEB_DIR,
                       std::string(prefix) + "/" VELLUMINE_INSTALL_EXTENSION_DIR};
    g_free(prefix);
    g_free(bin);
    g_free(exe);
    if (Exists(installed.web_dir + "/index.html") &&
        Exists(installed.extension_dir + "/" VELLUMINE_EXTENSION_FILE)) {
      return installed;
    }
  }
  return {VELLUMINE_BUILD_WEB_DIR, VELLUMINE_BUILD_EXTENSION_DIR};
}

std::string DataFolderUtf8(const std::string& data_dir) {
  if (data_dir.empty()) return Utf16ToUtf8(DefaultPosixDataFolder());
  gchar* absolute = g_canonicalize_filename(data_dir.c_str(), nullptr);
  std::string folder(absolute);
  g_free(absolute);
  if (folder.empty() || folder.back() != '/') folder += '/';
  return folder;
}

std::string ApplicationId(const std::string& data_folder_utf8) {
  std::uint64_t hash = 1469598103934665603ull;  // FNV-1a
  for (unsigned char c : data_folder_utf8) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char id[64];
  std::snprintf(id, sizeof id, "io.vellumine.Vellumine.d%016llx",
                static_cast<unsigned long long>(hash));
  return id;
}

PageView::PageView(const AppPaths& paths, const std::string& data_folder_utf8, DialogServer& server,
                   const StartAtLogin& start) {
  gchar* uri = g_filename_to_uri((paths.web_dir + "/index.html").c_str(), nullptr, nullptr);
  page_uri_ = uri != nullptr ? uri : "";
  g_free(uri);

  // A context of its own: nothing of the page is kept outside the data
  // folder, and only this view's web process gets the extension.
  context_ = webkit_web_context_new_ephemeral();
  webkit_web_context_set_sandbox_enabled(context_, FALSE);
  webkit_web_context_set_cache_model(context_, WEBKIT_CACHE_MODEL_DOCUMENT_VIEWER);
  webkit_web_context_set_web_extensions_directory(context_, paths.extension_dir.c_str());
  // Measurements and tests only: VELLUMINE_PLAIN_WRITES=1 has the control's
  // writes reach the page one by one, as they are (to compare with the page
  // writer), and VELLUMINE_SEED=N seeds the control's random source with N
  // instead of the clock, so that two runs make the same item keys.
  const char* plain = g_getenv("VELLUMINE_PLAIN_WRITES");
  const char* seed = g_getenv("VELLUMINE_SEED");
  webkit_web_context_set_web_extensions_initialization_user_data(
      context_,
      g_variant_new("(ssssssbu)", page_uri_.c_str(), data_folder_utf8.c_str(),
                    server.socket_path().c_str(), server.token().c_str(), start.file.c_str(),
                    start.entry.c_str(), plain != nullptr && std::strcmp(plain, "1") == 0,
                    seed != nullptr ? static_cast<guint32>(std::strtoul(seed, nullptr, 10)) : 0u));

  WebKitUserContentManager* content = webkit_user_content_manager_new();
  std::string script = ReadText(paths.web_dir + "/desktop.js");
  if (!script.empty()) {
    const char* allow[] = {page_uri_.c_str(), nullptr};
    WebKitUserScript* user_script =
        webkit_user_script_new(script.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_END, allow, nullptr);
    webkit_user_content_manager_add_script(content, user_script);
    webkit_user_script_unref(user_script);
  }

  // Measurements only: a script of the tester's, in the page before the
  // page's own scripts, so that it can also watch the load-time calls.
  if (const char* timing = g_getenv("VELLUMINE_TIMING_SCRIPT"); timing != nullptr) {
    std::string probe = ReadText(timing);
    WebKitUserScript* probe_script =
        webkit_user_script_new(probe.c_str(), WEBKIT_USER_CONTENT_INJECT_TOP_FRAME,
                               WEBKIT_USER_SCRIPT_INJECT_AT_DOCUMENT_START, nullptr, nullptr);
    webkit_user_content_manager_add_script(content, probe_script);
    webkit_user_script_unref(probe_script);
  }

  view_ = WEBKIT_WEB_VIEW(g_object_new(WEBKIT_TYPE_WEB_VIEW, "web-context", context_,
                                       "user-content-manager", content, nullptr));
  g_object_unref(content);
  g_object_ref_sink(view_);

  WebKitSettings* settings = webkit_web_view_get_settings(view_);
  if (!HasRenderNode()) {
    webkit_settings_set_hardware_acceleration_policy(settings,
                                                     WEBKIT_HARDWARE_ACCELERATION_POLICY_NEVER);
  }
  webkit_settings_set_enable_javascript(settings, TRUE);
  webkit_settings_set_javascript_can_open_windows_automatically(settings, FALSE);
  webkit_settings_set_enable_developer_extras(settings, FALSE);
  webkit_settings_set_allow_file_access_from_file_urls(settings, FALSE);
  webkit_settings_set_allow_universal_access_from_file_urls(settings, FALSE);
  webkit_settings_set_enable_back_forward_navigation_gestures(settings, FALSE);
  if (g_getenv("VELLUMINE_CONSOLE") != nullptr) {
    webkit_settings_set_enable_write_console_messages_to_stdout(settings, TRUE);
  }

  g_signal_connect(view_, "decide-policy", G_CALLBACK(OnDecidePolicy), this);
  g_signal_connect(view_, "create", G_CALLBACK(OnCreate), this);
  g_signal_connect(view_, "context-menu", G_CALLBACK(OnContextMenu), this);
  g_signal_connect(context_, "download-started", G_CALLBACK(OnDownloadStarted), this);
  g_signal_connect(view_, "load-changed", G_CALLBACK(OnLoadChanged), this);
  g_signal_connect(view_, "user-message-received", G_CALLBACK(OnUserMessage), this);
  g_signal_connect(view_, "web-process-terminated", G_CALLBACK(OnWebProcessTerminated), this);
  g_object_set_data(G_OBJECT(view_), "vellumine-dialogs", &server.dialogs());
  ShowScriptDialogsWith(view_, server.dialogs());
}

PageView::~PageView() {
  g_signal_handlers_disconnect_by_data(view_, this);
  g_signal_handlers_disconnect_by_data(context_, this);
  gtk_widget_destroy(GTK_WIDGET(view_));
  g_object_unref(view_);
  g_object_unref(context_);
}

void PageView::Load() { webkit_web_view_load_uri(view_, page_uri_.c_str()); }

void PageView::Refuse(WebKitNavigationAction* action) {
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  std::string uri = request != nullptr ? webkit_uri_request_get_uri(request) : "";
  // A link the user followed opens in the user's own browser; the view stays.
  if (webkit_navigation_action_is_user_gesture(action) && IsExternalLink(uri)) {
    auto* dialogs = static_cast<Dialogs*>(g_object_get_data(G_OBJECT(view_), "vellumine-dialogs"));
    if (dialogs != nullptr) dialogs->OpenExternal(uri);
  }
  if (on_refused) on_refused(uri);
}

gboolean PageView::OnDecidePolicy(WebKitWebView* /*view*/, WebKitPolicyDecision* decision,
                                  WebKitPolicyDecisionType type, gpointer self) {
  auto* page = static_cast<PageView*>(self);
  if (type == WEBKIT_POLICY_DECISION_TYPE_RESPONSE) return FALSE;
  WebKitNavigationAction* action = webkit_navigation_policy_decision_get_navigation_action(
      WEBKIT_NAVIGATION_POLICY_DECISION(decision));
  WebKitURIRequest* request = webkit_navigation_action_get_request(action);
  const char* uri = request != nullptr ? webkit_uri_request_get_uri(request) : nullptr;
  if (type == WEBKIT_POLICY_DECISION_TYPE_NAVIGATION_ACTION && uri != nullptr &&
      IsBundledPage(uri, page->page_uri_)) {
    webkit_policy_decision_use(decision);
    return TRUE;
  }
  webkit_policy_decision_ignore(decision);
  page->Refuse(action);
  return TRUE;
}

GtkWidget* PageView::OnCreate(WebKitWebView* /*view*/, WebKitNavigationAction* /*action*/,
                              gpointer /*self*/) {
  return nullptr;  // the page never opens windows of its own
}

gboolean PageView::OnContextMenu(WebKitWebView* /*view*/, WebKitContextMenu* /*menu*/,
                                 GdkEvent* /*event*/, WebKitHitTestResult* hit, gpointer /*self*/) {
  // Cut, copy and paste in the page's fields; no menu that would open,
  // download or inspect anything.
  return webkit_hit_test_result_context_is_editable(hit) ? FALSE : TRUE;
}

void PageView::OnDownloadStarted(WebKitWebContext* /*context*/, WebKitDownload* download,
                                 gpointer /*self*/) {
  webkit_download_cancel(download);
}

void PageView::OnLoadChanged(WebKitWebView* /*view*/, WebKitLoadEvent event, gpointer self) {
  auto* page = static_cast<PageView*>(self);
  if (event == WEBKIT_LOAD_FINISHED && page->on_loaded) page->on_loaded();
}

gboolean PageView::OnUserMessage(WebKitWebView* /*view*/, WebKitUserMessage* message,
                                 gpointer self) {
  auto* page = static_cast<PageView*>(self);
  if (g_strcmp0(webkit_user_message_get_name(message), kRefusedLoadMessage) != 0) return FALSE;
  GVariant* parameters = webkit_user_message_get_parameters(message);
  if (parameters != nullptr && g_variant_is_of_type(parameters, G_VARIANT_TYPE_STRING) &&
      page->on_refused) {
    page->on_refused(g_variant_get_string(parameters, nullptr));
  }
  return TRUE;
}

void PageView::OnWebProcessTerminated(WebKitWebView* /*view*/,
                                      WebKitWebProcessTerminationReason reason, gpointer self) {
  // The page and its control live in the web process; after a crash a new
  // one loads the page again and reads the data back.
  // A page that keeps crashing is not loaded again and again.
  auto* page = static_cast<PageView*>(self);
  if (reason != WEBKIT_WEB_PROCESS_TERMINATED_BY_API && page->reloads_after_crash_ < 3) {
    ++page->reloads_after_crash_;
    page->Load();
  }
}

}  // namespace vellumine::desktop
