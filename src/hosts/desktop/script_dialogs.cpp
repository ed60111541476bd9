#include "hosts/desktop/script_dialogs.h"

#include <string>

namespace vellumine::desktop {
namespace {

gboolean OnScriptDialog(WebKitWebView* /*view*/, WebKitScriptDialog* dialog, gpointer data) {
  auto* dialogs = static_cast<Dialogs*>(data);
  const char* message = webkit_script_dialog_get_message(dialog);
  MessageRequest request{message != nullptr ? message : "", std::nullopt, Buttons::kOk};
  switch (webkit_script_dialog_get_dialog_type(dialog)) {
    case WEBKIT_SCRIPT_DIALOG_ALERT:
      dialogs->Message(request);
      break;
    case WEBKIT_SCRIPT_DIALOG_CONFIRM:
      request.buttons = Buttons::kYesNo;
      webkit_script_dialog_confirm_set_confirmed(dialog, dialogs->Message(request) == Answer::kYes);
      break;
    case WEBKIT_SCRIPT_DIALOG_BEFORE_UNLOAD_CONFIRM:
      // The page keeps nothing unsaved: every change is stored at once.
      webkit_script_dialog_confirm_set_confirmed(dialog, TRUE);
      break;
    default:
      // The page asks for no typed answer this way; none is given.
      break;
  }
  return TRUE;
}

}  // namespace

void ShowScriptDialogsWith(WebKitWebView* view, Dialogs& dialogs) {
  g_signal_connect(view, "script-dialog", G_CALLBACK(OnScriptDialog), &dialogs);
}

}  // namespace vellumine::desktop
