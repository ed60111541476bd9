#include "platform/scripted_platform.h"

namespace vellumine {

ScriptedPlatform::ScriptedPlatform(Platform& files, std::u16string data_folder)
    : ForwardingPlatform(files), data_folder_(std::move(data_folder)) {}

void ScriptedPlatform::Report(UiEvent event) {
  events_.push_back(std::move(event));
  if (observer_) observer_(events_.back());
}

Answer ScriptedPlatform::ShowMessage(std::u16string_view text,
                                     const std::optional<std::u16string>& caption,
                                     Buttons buttons) {
  UiEvent event;
  event.kind = buttons == Buttons::kOk ? UiEvent::Kind::kMessage : UiEvent::Kind::kQuestion;
  event.text = std::u16string(text);
  event.caption = caption;
  if (buttons == Buttons::kYesNo) {
    event.answer = Answer::kNo;
    if (!answers_.empty()) {
      event.answer = answers_.front() == Answer::kYes ? Answer::kYes : Answer::kNo;
      answers_.pop_front();
    }
  }
  const Answer answer = event.answer;
  Report(std::move(event));
  return answer;
}

std::optional<FontChoice> ScriptedPlatform::PickFont(std::u16string_view, std::int32_t) {
  std::optional<FontChoice> font;
  if (!fonts_.empty()) {
    font = std::move(fonts_.front());
    fonts_.pop_front();
  }
  UiEvent event;
  event.kind = UiEvent::Kind::kFont;
  event.cancel = !font.has_value();
  if (font) {
    event.face = font->face;
    event.size = font->size;
  }
  Report(std::move(event));
  return font;
}

std::optional<std::u16string> ScriptedPlatform::Pick(bool folder) {
  std::optional<std::u16string> path;
  if (!picks_.empty()) {
    path = std::move(picks_.front());
    picks_.pop_front();
  }
  UiEvent event;
  event.kind = UiEvent::Kind::kPick;
  event.folder = folder;
  event.cancel = !path.has_value();
  if (path) event.path = *path;
  Report(std::move(event));
  return path;
}

std::optional<std::u16string> ScriptedPlatform::PickFile() { return Pick(false); }

std::optional<std::u16string> ScriptedPlatform::PickFolder() { return Pick(true); }

void ScriptedPlatform::Launch(std::u16string_view path) {
  UiEvent event;
  event.kind = UiEvent::Kind::kOpen;
  event.path = std::u16string(path);
  Report(std::move(event));
}

}  // namespace vellumine
