#include "hosts/desktop/dialog_values.h"

#include <algorithm>

#include "page/text.h"

namespace vellumine::desktop {

GVariant* EncodeMessageRequest(std::u16string_view text,
                               const std::optional<std::u16string>& caption, Buttons buttons) {
  std::string text8 = Utf16ToUtf8(text);
  std::string caption8 = caption ? Utf16ToUtf8(*caption) : std::string();
  return g_variant_new("(smsb)", text8.c_str(), caption ? caption8.c_str() : nullptr,
                       buttons == Buttons::kYesNo);
}

std::optional<MessageRequest> DecodeMessageRequest(GVariant* args) {
  if (args == nullptr || !g_variant_is_of_type(args, G_VARIANT_TYPE("(smsb)"))) return std::nullopt;
  const char* text = nullptr;
  const char* caption = nullptr;
  gboolean yes_no = FALSE;
  g_variant_get(args, "(&sm&sb)", &text, &caption, &yes_no);
  MessageRequest request{text, std::nullopt, yes_no ? Buttons::kYesNo : Buttons::kOk};
  if (caption != nullptr) request.caption = caption;
  return request;
}

GVariant* EncodeMessageAnswer(Answer answer) {
  const char* word = answer == Answer::kYes ? "yes" : answer == Answer::kNo ? "no" : "ok";
  return g_variant_new_string(word);
}

Answer DecodeMessageAnswer(GVariant* reply, Buttons buttons) {
  if (buttons == Buttons::kOk) return Answer::kOk;
  if (reply != nullptr && g_variant_is_of_type(reply, G_VARIANT_TYPE_STRING) &&
      g_strcmp0(g_variant_get_string(reply, nullptr), "yes") == 0) {
    return Answer::kYes;
  }
  return Answer::kNo;
}

std::optional<FontChoice> CheckedFontChoice(std::string_view face_utf8, long size) {
  if (face_utf8.empty() || !g_utf8_validate(face_utf8.data(), face_utf8.size(), nullptr)) {
    return std::nullopt;
  }
  std::u16string face = Utf8ToUtf16(face_utf8);
  // A cut face would name a font that does not exist; refuse it instead.
  if (face.size() > kMaxFaceUnits || face.find(u'\0') != std::u16string::npos) return std::nullopt;
  long clamped = std::clamp<long>(size, kMinFontSize, kMaxFontSize);
  return FontChoice{std::move(face), static_cast<std::int32_t>(clamped)};
}

GVariant* EncodeFontAnswer(const std::optional<FontChoice>& choice) {
  if (!choice) return g_variant_new_maybe(G_VARIANT_TYPE("(si)"), nullptr);
  return g_variant_new_maybe(
      nullptr, g_variant_new("(si)", Utf16ToUtf8(choice->face).c_str(), choice->size));
}

std::optional<FontChoice> DecodeFontAnswer(GVariant* reply) {
  if (reply == nullptr || !g_variant_is_of_type(reply, G_VARIANT_TYPE("m(si)"))) {
    return std::nullopt;
  }
  GVariant* inner = g_variant_get_maybe(reply);
  if (inner == nullptr) return std::nullopt;
  const char* face = nullptr;
  gint32 size = 0;
  g_variant_get(inner, "(&si)", &face, &size);
  std::optional<FontChoice> choice = CheckedFontChoice(face, size);
  g_variant_unref(inner);
  return choice;
}

GVariant* EncodePathAnswer(const std::optional<std::string>& path_utf8) {
  if (!path_utf8 || path_utf8->empty() ||
      !g_utf8_validate(path_utf8->data(), static_cast<gssize>(path_utf8->size()), nullptr)) {
    return g_variant_new_maybe(G_VARIANT_TYPE_STRING, nullptr);
  }
  return g_variant_new_maybe(nullptr, g_variant_new_string(path_utf8->c_str()));
}

std::optional<std::u16string> DecodePathAnswer(GVariant* reply) {
  if (reply == nullptr || !g_variant_is_of_type(reply, G_VARIANT_TYPE("ms"))) return std::nullopt;
  GVariant* inner = g_variant_get_maybe(reply);
  if (inner == nullptr) return std::nullopt;
  std::u16string path = Utf8ToUtf16(g_variant_get_string(inner, nullptr));
  g_variant_unref(inner);
  if (path.empty()) return std::nullopt;
  return path;
}

}  // namespace vellumine::desktop
