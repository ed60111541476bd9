#include "hosts/desktop/desktop_platform.h"

#include "hosts/desktop/dialog_values.h"
#include "page/text.h"

namespace vellumine::desktop {

void DesktopPlatform::LogWriteFailure(std::u16string_view path, const WriteFailure& failure) {
  g_warning("%s", DescribeWriteFailure(path, failure).c_str());
}

GVariant* DesktopPlatform::Call(const char* name, GVariant* args) {
  if (channel_ == nullptr || !channel_->connected()) {
    g_variant_unref(g_variant_ref_sink(args));
    return nullptr;
  }
  return channel_->Call(name, args);
}

Answer DesktopPlatform::ShowMessage(std::u16string_view text,
                                    const std::optional<std::u16string>& caption, Buttons buttons) {
  Answer fallback = buttons == Buttons::kOk ? Answer::kOk : Answer::kNo;
  GVariant* reply = Call(kMessageRequest, EncodeMessageRequest(text, caption, buttons));
  if (reply == nullptr) return fallback;
  Answer answer = DecodeMessageAnswer(reply, buttons);
  g_variant_unref(reply);
  return answer;
}

std::optional<FontChoice> DesktopPlatform::PickFont(std::u16string_view face, std::int32_t size) {
  GVariant* reply = Call(kFontRequest, g_variant_new("(si)", Utf16ToUtf8(face).c_str(), size));
  if (reply == nullptr) return std::nullopt;
  std::optional<FontChoice> choice = DecodeFontAnswer(reply);
  g_variant_unref(reply);
  return choice;
}

std::optional<std::u16string> DesktopPlatform::PickPath(const char* name) {
  GVariant* reply = Call(name, g_variant_new("()"));
  if (reply == nullptr) return std::nullopt;
  std::optional<std::u16string> path = DecodePathAnswer(reply);
  g_variant_unref(reply);
  return path;
}

std::optional<std::u16string> DesktopPlatform::PickFile() {
  return PickPath(picture_pick_ ? kPictureRequest : kFileRequest);
}
std::optional<std::u16string> DesktopPlatform::PickFolder() { return PickPath(kFolderRequest); }

void DesktopPlatform::Launch(std::u16string_view path) {
  if (path.empty()) return;
  GVariant* reply = Call(kLaunchRequest, g_variant_new_string(Utf16ToUtf8(path).c_str()));
  if (reply != nullptr) g_variant_unref(reply);
}

}  // namespace vellumine::desktop
