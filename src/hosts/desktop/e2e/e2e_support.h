// What the app's end-to-end tests share: a session of the app's window (the
// real view, web process, extension and dialog channel) driven by running
// script in the page, and small file helpers. Every wait ends after a time
// limit, so that nothing hangs.
#pragma once

#include <gtk/gtk.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "hosts/desktop/dialog_server.h"
#include "hosts/desktop/page_view.h"

namespace vellumine::desktop::e2e {

inline constexpr int kWaitSeconds = 30;

std::string ReadAll(const std::filesystem::path& path);
void WriteAll(const std::filesystem::path& path, const std::string& text);
// Every file below folder with its size, time and identity: a write into
// the folder changes it.
std::string FolderSnapshot(const std::filesystem::path& folder);
// UTF-16LE bytes of an ASCII or UTF-8 text, as the data files hold texts.
std::string Utf16Bytes(const std::string& utf8);
// A JS string literal for text (JSON is valid JS).
std::string Js(const std::string& text);

// Runs the main loop until done() or the wait runs out; false on time-out.
template <typename Done>
bool RunUntil(Done done, int seconds = kWaitSeconds) {
  auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    g_main_context_iteration(nullptr, FALSE);
    if (!g_main_context_pending(nullptr)) g_usleep(2000);
  }
  return true;
}

// Runs the main loop for a while.
void Pump(int milliseconds);

// One run of the app's window: dialog channel, view and web process.
class Session {
 public:
  explicit Session(const std::string& data_folder, const StartAtLogin& start = {});
  ~Session();
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool loaded() const { return loaded_ok_; }
  const std::vector<std::string>& refused() const { return refused_; }
  WebKitWebView* view() const { return page_->view(); }
  const std::string& page_uri() const { return page_->page_uri(); }

  // The script's value as text (strings as they are, other values as JSON);
  // "ERROR: ..." when it throws.
  std::string Eval(const std::string& script, int seconds = kWaitSeconds);
  // The same for the body of an async function: a promise it returns is
  // awaited.
  std::string EvalAsync(const std::string& body, int seconds = kWaitSeconds);
  // A PNG of what the view shows; false when it can't be made.
  bool Screenshot(const std::filesystem::path& file);
  // A click of the first mouse button at the page point x, y, handed to the
  // view as the window system's events are: the page sees trusted events
  // from the user.
  bool Click(int x, int y);
  // Clicks the middle of the first element matching selector once it is
  // the one there; false when it is not found or covered.
  bool ClickOn(const std::string& selector);

 private:
  Dialogs dialogs_;
  std::unique_ptr<DialogServer> server_;
  GtkWidget* window_ = nullptr;
  std::unique_ptr<PageView> page_;
  bool loaded_ = false;
  bool loaded_ok_ = false;
  std::vector<std::string> refused_;
};

// The tests' main: fails without a display, ends the run by itself after
// watchdog_seconds whatever hangs.
int Main(int argc, char** argv, unsigned watchdog_seconds, const char* name);

}  // namespace vellumine::desktop::e2e
