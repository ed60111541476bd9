// The view that shows the bundled page, with its own web context: the
// extension that gives the page its control, the private dialog channel,
// the page's desktop script, and the rules that keep the view on the page.
#pragma once

#include <webkit2/webkit2.h>

#include <functional>
#include <string>

#include "hosts/desktop/autostart.h"
#include "hosts/desktop/dialog_server.h"

namespace vellumine::desktop {

struct AppPaths {
  std::string web_dir;        // holds index.html and desktop.js
  std::string extension_dir;  // holds the web process extension
};

// The installed layout next to the running program when there is one,
// otherwise the build tree's.
AppPaths FindAppPaths();

// The data folder as the control names it, ending with "/": data_dir when
// given, otherwise the user's XDG data folder.
std::string DataFolderUtf8(const std::string& data_dir);

// The application id that keeps one running instance per data folder.
std::string ApplicationId(const std::string& data_folder_utf8);

class PageView {
 public:
  // server must be started and outlive the view. start: the autostart entry
  // the page's "VellumineApp" may write (none when its file is empty).
  PageView(const AppPaths& paths, const std::string& data_folder_utf8, DialogServer& server,
           const StartAtLogin& start = {});
  ~PageView();
  PageView(const PageView&) = delete;
  PageView& operator=(const PageView&) = delete;

  WebKitWebView* view() const { return view_; }
  GtkWidget* widget() const { return GTK_WIDGET(view_); }
  const std::string& page_uri() const { return page_uri_; }
  void Load();

  // Called for every navigation the view refused, and every load the page's
  // security policy refused (the test watches it).
  std::function<void(const std::string& uri)> on_refused;
  // Called when the page has finished loading.
  std::function<void()> on_loaded;

 private:
  static gboolean OnDecidePolicy(WebKitWebView* view, WebKitPolicyDecision* decision,
                                 WebKitPolicyDecisionType type, gpointer self);
  static GtkWidget* OnCreate(WebKitWebView* view, WebKitNavigationAction* action, gpointer self);
  static gboolean OnContextMenu(WebKitWebView* view, WebKitContextMenu* menu, GdkEvent* event,
                                WebKitHitTestResult* hit, gpointer self);
  static void OnDownloadStarted(WebKitWebContext* context, WebKitDownload* download, gpointer self);
  static void OnLoadChanged(WebKitWebView* view, WebKitLoadEvent event, gpointer self);
  static gboolean OnUserMessage(WebKitWebView* view, WebKitUserMessage* message, gpointer self);
  static void OnWebProcessTerminated(WebKitWebView* view, WebKitWebProcessTerminationReason reason,
                                     gpointer self);
  void Refuse(WebKitNavigationAction* action);

  std::string page_uri_;
  WebKitWebContext* context_ = nullptr;
  WebKitWebView* view_ = nullptr;
  int reloads_after_crash_ = 0;
};

}  // namespace vellumine::desktop
