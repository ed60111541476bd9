// A platform whose user interface is scripted: answers to questions, font
// and picker results are queued in advance; every dialog and launch is
// reported to an observer instead of being shown. The file system (and the
// separator) goes to another platform (normally the POSIX one over a
// temporary folder); the data folder, the tick count and the date are its own.
//
// With nothing queued: a Yes/No question answers No, the font picker and the
// file and folder pickers cancel.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/forwarding_platform.h"

namespace vellumine {

struct UiEvent {
  enum class Kind { kMessage, kQuestion, kFont, kPick, kOpen };
  Kind kind = Kind::kMessage;
  std::u16string text;                    // message and question text
  std::optional<std::u16string> caption;  // nullopt: the system's default
  Answer answer = Answer::kOk;            // kQuestion: kYes or kNo
  bool cancel = false;                    // kFont, kPick
  std::u16string face;                    // kFont
  std::int32_t size = 0;                  // kFont
  bool folder = false;                    // kPick: folder or file
  std::u16string path;                    // kPick, kOpen
};

class ScriptedPlatform : public ForwardingPlatform {
 public:
  // files serves every file-system call; data_folder must end with
  // files.Separator().
  ScriptedPlatform(Platform& files, std::u16string data_folder);

  void QueueAnswer(Answer answer) { answers_.push_back(answer); }
  void QueueFont(std::optional<FontChoice> font) { fonts_.push_back(std::move(font)); }
  void QueuePick(std::optional<std::u16string> path) { picks_.push_back(std::move(path)); }
  void set_tick_count(std::uint32_t ticks) { ticks_ = ticks; }
  void set_today(LocalDate today) { today_ = today; }
  // The time of day Now() answers (with today's date); 12:00:00 unless set.
  void set_time_of_day(std::int32_t hour, std::int32_t minute, std::int32_t second) {
    hour_ = hour;
    minute_ = minute;
    second_ = second;
  }
  // Called for every event as it happens; events() keeps them all too.
  void set_observer(std::function<void(const UiEvent&)> observer) {
    observer_ = std::move(observer);
  }
  const std::vector<UiEvent>& events() const { return events_; }
  void clear_events() { events_.clear(); }

  Answer ShowMessage(std::u16string_view text, const std::optional<std::u16string>& caption,
                     Buttons buttons) override;
  std::optional<FontChoice> PickFont(std::u16string_view face, std::int32_t size) override;
  std::optional<std::u16string> PickFile() override;
  std::optional<std::u16string> PickFolder() override;
  void Launch(std::u16string_view path) override;

  std::u16string DataFolder() override { return data_folder_; }
  std::uint32_t TickCount() override { return ticks_; }
  LocalDate Today() override { return today_; }
  LocalTime Now() override { return {today_, hour_, minute_, second_}; }

 private:
  void Report(UiEvent event);
  // Both pickers share one queue, as the runner's "@pick" does.
  std::optional<std::u16string> Pick(bool folder);

  std::u16string data_folder_;
  std::deque<Answer> answers_;
  std::deque<std::optional<FontChoice>> fonts_;
  std::deque<std::optional<std::u16string>> picks_;
  std::uint32_t ticks_ = 0;
  LocalDate today_{2026, 12, 7};
  std::int32_t hour_ = 12;
  std::int32_t minute_ = 0;
  std::int32_t second_ = 0;
  std::function<void(const UiEvent&)> observer_;
  std::vector<UiEvent> events_;
};

}  // namespace vellumine
