// The values that cross the channel for each dialog, with the checks both
// ends apply: an answer that does not fit what was asked is read as a cancel
// (or as No), never passed on half-checked.
#pragma once

#include <glib.h>

#include <optional>
#include <string>
#include <string_view>

#include "platform/platform.h"

namespace vellumine::desktop {

inline constexpr std::size_t kMaxFaceUnits = 31;
inline constexpr int kMinFontSize = 8;
inline constexpr int kMaxFontSize = 30;

// The message request "(smsb)": text, caption (nothing = the default one),
// true for Yes/No. Floating.
GVariant* EncodeMessageRequest(std::u16string_view text,
                               const std::optional<std::u16string>& caption, Buttons buttons);
struct MessageRequest {
  std::string text;
  std::optional<std::string> caption;
  Buttons buttons;
};
std::optional<MessageRequest> DecodeMessageRequest(GVariant* args);

// The message answer: "ok", "yes" or "no". Anything but "yes" to a question is No.
GVariant* EncodeMessageAnswer(Answer answer);
Answer DecodeMessageAnswer(GVariant* reply, Buttons buttons);

// A font choice as the control may take it: a face of 1..31 UTF-16 units and
// a size clamped to 8..30; nullopt when the face does not fit.
std::optional<FontChoice> CheckedFontChoice(std::string_view face_utf8, long size);
GVariant* EncodeFontAnswer(const std::optional<FontChoice>& choice);  // "m(si)"
std::optional<FontChoice> DecodeFontAnswer(GVariant* reply);

// A picked path, "ms". Only valid UTF-8 crosses; a name that is not is no choice.
GVariant* EncodePathAnswer(const std::optional<std::string>& path_utf8);
std::optional<std::u16string> DecodePathAnswer(GVariant* reply);

}  // namespace vellumine::desktop
