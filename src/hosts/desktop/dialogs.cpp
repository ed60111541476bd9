#include "hosts/desktop/dialogs.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "hosts/desktop/screen_fit.h"
#include "platform/posix_platform.h"
#include "page/text.h"

namespace vellumine::desktop {
namespace {

// The response of a dialog that the script answers.
constexpr int kScriptedResponse = 1000;

std::string LocalToUtf8(const char* filename) {
  if (filename == nullptr) return {};
  gchar* utf8 = g_filename_to_utf8(filename, -1, nullptr, nullptr, nullptr);
  if (utf8 == nullptr) return {};
  std::string result(utf8);
  g_free(utf8);
  return result;
}

bool IsKind(const std::string& utf8_path, GFileTest test) {
  if (utf8_path.empty()) return false;
  gchar* local = g_filename_from_utf8(utf8_path.c_str(), -1, nullptr, nullptr, nullptr);
  if (local == nullptr) return false;
  bool ok = g_file_test(local, test);
  g_free(local);
  return ok;
}

gboolean FaceFits(const PangoFontFamily* family, const PangoFontFace* /*face*/, gpointer /*data*/) {
  const char* name = pango_font_family_get_name(const_cast<PangoFontFamily*>(family));
  return name != nullptr && CheckedFontChoice(name, kMinFontSize).has_value();
}

// Whether the file holds a picture the page can show, judged by its bytes and
// not by its name.
bool IsPicture(const std::string& utf8_path) {
  gchar* local = g_filename_from_utf8(utf8_path.c_str(), -1, nullptr, nullptr, nullptr);
  if (local == nullptr) return false;
  bool picture = gdk_pixbuf_get_file_info(local, nullptr, nullptr) != nullptr;
  if (!picture) {
    char head[4096];
    std::size_t n = 0;
    if (FILE* f = std::fopen(local, "rb")) {
      n = std::fread(head, 1, sizeof head, f);
      std::fclose(f);
    }
    if (n > 0) {
      gchar* type =
          g_content_type_guess(nullptr, reinterpret_cast<const guchar*>(head), n, nullptr);
      gchar* mime = type != nullptr ? g_content_type_get_mime_type(type) : nullptr;
      picture = mime != nullptr && std::strncmp(mime, "image/", 6) == 0;
      g_free(mime);
      g_free(type);
    }
  }
  g_free(local);
  return picture;
}

void ShowSelectedFolder(GtkFileChooser* chooser, gpointer label) {
  gchar* path = gtk_file_chooser_get_filename(chooser);
  std::string text = LocalToUtf8(path);
  g_free(path);
  gtk_label_set_text(GTK_LABEL(label), text.c_str());
}

}  // namespace

void Dialogs::UseScript(std::deque<ScriptedAnswer> answers, std::string log_path) {
  scripted_ = true;
  answers_ = std::move(answers);
  log_path_ = std::move(log_path);
}

bool Dialogs::UseScriptFromEnvironment() {
  const char* script_path = g_getenv("VELLUMINE_DIALOG_SCRIPT");
  if (script_path == nullptr || *script_path == '\0') return true;
  gchar* contents = nullptr;
  gsize length = 0;
  if (!g_file_get_contents(script_path, &contents, &length, nullptr)) {
    std::fprintf(stderr, "vellumine: can't read the dialog script %s\n", script_path);
    return false;
  }
  std::string error;
  auto answers = ParseScriptedAnswers(std::string_view(contents, length), &error);
  g_free(contents);
  if (!answers) {
    std::fprintf(stderr, "vellumine: dialog script %s: %s\n", script_path, error.c_str());
    return false;
  }
  const char* log_path = g_getenv("VELLUMINE_DIALOG_LOG");
  UseScript(std::move(*answers), log_path != nullptr ? log_path : "");
  return true;
}

std::optional<ScriptedAnswer> Dialogs::NextAnswer() {
  if (answers_.empty()) return std::nullopt;
  ScriptedAnswer answer = answers_.front();
  answers_.pop_front();
  return answer;
}

void Dialogs::Log(const std::string& line) {
  if (log_path_.empty()) return;
  // One line each: a line break in a text is written as "\n".
  std::string one;
  for (char c : line) {
    if (c == '\n') {
      one += "\\n";
    } else {
      one += c;
    }
  }
  if (FILE* f = std::fopen(log_path_.c_str(), "a")) {
    std::fputs(one.c_str(), f);
    std::fputc('\n', f);
    std::fclose(f);
  }
}

int Dialogs::Run(GtkWidget* dialog) {
  KeepOnScreen(GTK_WINDOW(dialog));
  if (!scripted_) return gtk_dialog_run(GTK_DIALOG(dialog));
  // Built and shown as for the user, then answered by the script.
  gtk_widget_show_all(dialog);
  while (gtk_events_pending()) gtk_main_iteration_do(FALSE);
  return kScriptedResponse;
}

Answer Dialogs::Message(const MessageRequest& request) {
  bool question = request.buttons == Buttons::kYesNo;
  GtkWidget* dialog = gtk_message_dialog_new(
      parent_, GtkDialogFlags(GTK_DIALOG_MODAL | GTK_DIALOG_DESTROY_WITH_PARENT),
      question ? GTK_MESSAGE_QUESTION : GTK_MESSAGE_INFO, GTK_BUTTONS_NONE, "%s",
      request.text.c_str());
  // A window without a title would name no one: an empty caption, or none,
  // is the app's name.
  const char* caption =
      request.caption && !request.caption->empty() ? request.caption->c_str() : kDefaultCaption;
  gtk_window_set_title(GTK_WINDOW(dialog), caption);
  if (question) {
    gtk_dialog_add_buttons(GTK_DIALOG(dialog), kYesLabel, GTK_RESPONSE_YES, kNoLabel,
                           GTK_RESPONSE_NO, nullptr);
    gtk_dialog_set_default_response(GTK_DIALOG(dialog), GTK_RESPONSE_NO);
  } else {
    gtk_dialog_add_button(GTK_DIALOG(dialog), kOkLabel, GTK_RESPONSE_OK);
  }
  int response = Run(dialog);
  if (scripted_) {
    Log(std::string("message\t") + gtk_window_get_title(GTK_WINDOW(dialog)) + "\t" +
        (question ? std::string(kYesLabel) + "/" + kNoLabel : std::string(kOkLabel)) + "\t" +
        request.text);
    std::optional<ScriptedAnswer> answer = NextAnswer();
    bool yes = answer && answer->kind == ScriptedAnswer::Kind::kYes;
    response = yes ? GTK_RESPONSE_YES : GTK_RESPONSE_NO;
  }
  gtk_widget_destroy(dialog);
  if (!question) return Answer::kOk;
  // Closing the question any other way is No: nothing gets deleted unasked.
  return response == GTK_RESPONSE_YES ? Answer::kYes : Answer::kNo;
}

std::optional<FontChoice> Dialogs::Font(const std::string& face, int size) {
  GtkWidget* dialog = gtk_font_chooser_dialog_new("フォントの選択", parent_);
  GtkFontChooser* chooser = GTK_FONT_CHOOSER(dialog);
  // The buttons in the page's language, whatever the system's.
  if (GtkWidget* cancel =
          gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_CANCEL)) {
    gtk_button_set_label(GTK_BUTTON(cancel), kCancelLabel);
  }
  if (GtkWidget* ok = gtk_dialog_get_widget_for_response(GTK_DIALOG(dialog), GTK_RESPONSE_OK)) {
    gtk_button_set_label(GTK_BUTTON(ok), kChooseLabel);
  }
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_font_chooser_set_level(
      chooser, GtkFontChooserLevel(GTK_FONT_CHOOSER_LEVEL_FAMILY | GTK_FONT_CHOOSER_LEVEL_SIZE));
  // Only faces whose names the control can store are offered.
  gtk_font_chooser_set_filter_func(chooser, FaceFits, nullptr, nullptr);
  PangoFontDescription* start = pango_font_description_new();
  pango_font_description_set_family(start, face.c_str());
  pango_font_description_set_size(start,
                                  std::clamp(size, kMinFontSize, kMaxFontSize) * PANGO_SCALE);
  gtk_font_chooser_set_font_desc(chooser, start);
  pango_font_description_free(start);

  int response = Run(dialog);
  std::optional<FontChoice> choice;
  if (scripted_) {
    Log("font\t" + face + "\t" + std::to_string(size));
    std::optional<ScriptedAnswer> answer = NextAnswer();
    if (answer && answer->kind == ScriptedAnswer::Kind::kFont) {
      choice = CheckedFontChoice(answer->text, answer->size);
    }
  } else if (response == GTK_RESPONSE_OK) {
    PangoFontDescription* chosen = gtk_font_chooser_get_font_desc(chooser);
    if (chosen != nullptr) {
      const char* family = pango_font_description_get_family(chosen);
      long points = (pango_font_description_get_size(chosen) + PANGO_SCALE / 2) / PANGO_SCALE;
      if (family != nullptr) choice = CheckedFontChoice(family, points);
      pango_font_description_free(chosen);
    }
  }
  gtk_widget_destroy(dialog);
  return choice;
}

void Dialogs::Tell(const std::string& text) { Message({text, std::nullopt, Buttons::kOk}); }

std::optional<std::string> Dialogs::File(FileKind kind) {
  GtkWidget* dialog =
      gtk_file_chooser_dialog_new(kFileTitle, parent_, GTK_FILE_CHOOSER_ACTION_OPEN, kCancelLabel,
                                  GTK_RESPONSE_CANCEL, "開く", GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  gtk_file_chooser_set_select_multiple(chooser, FALSE);
  if (kind == FileKind::kPicture) {
    // The first filter is the one shown.
    GtkFileFilter* pictures = gtk_file_filter_new();
    gtk_file_filter_set_name(pictures, kImageFiles);
    gtk_file_filter_add_mime_type(pictures, "image/*");
    gtk_file_chooser_add_filter(chooser, pictures);
  }
  GtkFileFilter* filter = gtk_file_filter_new();
  gtk_file_filter_set_name(filter, kAllFiles);
  gtk_file_filter_add_pattern(filter, "*");
  gtk_file_chooser_add_filter(chooser, filter);

  int response = Run(dialog);
  std::string path;
  if (scripted_) {
    GtkFileFilter* shown = gtk_file_chooser_get_filter(chooser);
    Log(std::string("file\t") + gtk_window_get_title(GTK_WINDOW(dialog)) + "\t" +
        (shown != nullptr ? gtk_file_filter_get_name(shown) : ""));
    std::optional<ScriptedAnswer> answer = NextAnswer();
    if (answer && answer->kind == ScriptedAnswer::Kind::kFile) path = answer->text;
  } else if (response == GTK_RESPONSE_ACCEPT) {
    gchar* filename = gtk_file_chooser_get_filename(chooser);
    path = LocalToUtf8(filename);
    g_free(filename);
  }
  gtk_widget_destroy(dialog);
  // Only an existing file, named in text the page can hold.
  if (!IsKind(path, G_FILE_TEST_IS_REGULAR)) return std::nullopt;
  if (kind == FileKind::kPicture && !IsPicture(path)) {
    Tell(std::string(kNotAPicture) + "\n" + path);
    return std::nullopt;
  }
  return path;
}

std::optional<std::string> Dialogs::Folder() {
  GtkWidget* dialog = gtk_file_chooser_dialog_new(
      kFolderTitle, parent_, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, kCancelLabel,
      GTK_RESPONSE_CANCEL, kChooseLabel, GTK_RESPONSE_ACCEPT, nullptr);
  GtkFileChooser* chooser = GTK_FILE_CHOOSER(dialog);
  gtk_window_set_modal(GTK_WINDOW(dialog), TRUE);
  gtk_file_chooser_set_local_only(chooser, TRUE);
  gtk_file_chooser_set_create_folders(chooser, FALSE);
  // The whole computer, from its root; the selected folder's full path shows
  // under the tree.
  gtk_file_chooser_set_current_folder(chooser, "/");
  GtkWidget* status = gtk_label_new("");
  gtk_label_set_selectable(GTK_LABEL(status), TRUE);
  gtk_label_set_ellipsize(GTK_LABEL(status), PANGO_ELLIPSIZE_MIDDLE);
  gtk_file_chooser_set_extra_widget(chooser, status);
  g_signal_connect(chooser, "selection-changed", G_CALLBACK(ShowSelectedFolder), status);

  int response = Run(dialog);
  std::string path;
  if (scripted_) {
    Log(std::string("folder\t") + gtk_window_get_title(GTK_WINDOW(dialog)));
    std::optional<ScriptedAnswer> answer = NextAnswer();
    if (answer && answer->kind == ScriptedAnswer::Kind::kFolder) path = answer->text;
  } else if (response == GTK_RESPONSE_ACCEPT) {
    gchar* filename = gtk_file_chooser_get_filename(chooser);
    path = LocalToUtf8(filename);
    g_free(filename);
  }
  gtk_widget_destroy(dialog);
  if (!IsKind(path, G_FILE_TEST_IS_DIR)) return std::nullopt;
  return path;
}

void Dialogs::Launch(const std::string& path) {
  if (path.empty()) return;
  gchar* local = g_filename_from_utf8(path.c_str(), -1, nullptr, nullptr, nullptr);
  if (local == nullptr) return;
  const std::string native(local);
  g_free(local);
  if (!g_file_test(native.c_str(), G_FILE_TEST_EXISTS)) {
    Tell(std::string(kLinkTargetGone) + "\n" + path);
  } else if (scripted_) {
    Log("launch\t" + FileUri(native));
  } else {
    GdkAppLaunchContext* context = gdk_display_get_app_launch_context(gdk_display_get_default());
    const bool launched = LaunchWithDefaultHandler(native, G_APP_LAUNCH_CONTEXT(context));
    g_object_unref(context);
    if (!launched) Tell(std::string(kNothingOpensIt) + "\n" + path);
  }
}

void Dialogs::OpenExternal(const std::string& uri) {
  if (scripted_) {
    Log("external\t" + uri);
    return;
  }
  GdkAppLaunchContext* context = gdk_display_get_app_launch_context(gdk_display_get_default());
  g_app_info_launch_default_for_uri(uri.c_str(), G_APP_LAUNCH_CONTEXT(context), nullptr);
  g_object_unref(context);
}

}  // namespace vellumine::desktop
