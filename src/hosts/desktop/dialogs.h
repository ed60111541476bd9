// The system dialogs and launches, shown by the window's process on behalf of
// the control. Each call is modal and returns the user's answer; with a
// scripted answer list (the test seam, scripted_answers.h) the same dialog is
// built and then answered from the list.
#pragma once

#include <gtk/gtk.h>

#include <deque>
#include <optional>
#include <string>

#include "hosts/desktop/dialog_values.h"
#include "hosts/desktop/scripted_answers.h"

namespace vellumine::desktop {

// Texts of the dialogs.
inline constexpr char kFileTitle[] = "ファイルを開く";
inline constexpr char kAllFiles[] = "全てのファイル";
inline constexpr char kFolderTitle[] = "フォルダを選択してください。";
inline constexpr char kYesLabel[] = "はい";
inline constexpr char kNoLabel[] = "いいえ";
inline constexpr char kOkLabel[] = "OK";
inline constexpr char kCancelLabel[] = "キャンセル";
inline constexpr char kChooseLabel[] = "選択";
inline constexpr char kDefaultCaption[] = "Vellumine";
inline constexpr char kImageFiles[] = "画像ファイル";
inline constexpr char kNotAPicture[] =
    "画像ファイルではありません。壁紙には画像ファイルを選んでください。";
inline constexpr char kLinkTargetGone[] = "リンク先が見つかりません。";
inline constexpr char kNothingOpensIt[] = "リンク先を開くアプリケーションが見つかりません。";

// What the file picker is for: any file, or a picture (a wallpaper), which
// offers pictures first and refuses a file that is none.
enum class FileKind { kAny, kPicture };

class Dialogs {
 public:
  Dialogs() = default;
  Dialogs(const Dialogs&) = delete;
  Dialogs& operator=(const Dialogs&) = delete;

  // The window the dialogs belong to; may be nullptr.
  void set_parent(GtkWindow* parent) { parent_ = parent; }
  // Switches to scripted answers; log_path ("" for none) records every dialog.
  void UseScript(std::deque<ScriptedAnswer> answers, std::string log_path);
  // Reads VELLUMINE_DIALOG_SCRIPT and VELLUMINE_DIALOG_LOG; false with a
  // message on stderr when the script can't be read.
  bool UseScriptFromEnvironment();
  bool scripted() const { return scripted_; }

  Answer Message(const MessageRequest& request);
  std::optional<FontChoice> Font(const std::string& face, int size);
  // UTF-8 paths of an existing file or folder; nullopt on cancel.
  std::optional<std::string> File(FileKind kind = FileKind::kAny);
  std::optional<std::string> Folder();
  // Opens a file or folder with its default handler (a file URI, no shell);
  // tells the user when it is gone or nothing opens it.
  void Launch(const std::string& path);
  // Hands an address the page may not show to the user's browser.
  void OpenExternal(const std::string& uri);

 private:
  std::optional<ScriptedAnswer> NextAnswer();
  void Log(const std::string& line);
  // Runs a built dialog: the user's response, or none in scripted mode.
  int Run(GtkWidget* dialog);
  // A message with the app's caption and an OK button.
  void Tell(const std::string& text);

  GtkWindow* parent_ = nullptr;
  bool scripted_ = false;
  std::deque<ScriptedAnswer> answers_;
  std::string log_path_;
};

}  // namespace vellumine::desktop
