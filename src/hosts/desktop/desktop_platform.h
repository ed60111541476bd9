// The platform of the page's process in the desktop app: files, clock and
// data folder are the POSIX ones; dialogs and launches are asked of the
// window's process over the private channel. With the channel down, a
// message answers OK (a question No), pickers cancel and launches do nothing.
#pragma once

#include <cstdint>

#include "hosts/desktop/channel.h"
#include "platform/posix_platform.h"

namespace vellumine::desktop {

class DesktopPlatform : public PosixPlatform {
 public:
  // channel may be nullptr (no window process to ask). ticks, when not 0,
  // is the tick count the control's random source is seeded with, so that
  // two runs make the same item keys (measurements and tests).
  explicit DesktopPlatform(ChannelClient* channel, std::uint32_t ticks = 0)
      : channel_(channel), ticks_(ticks) {
    set_write_log(LogWriteFailure);
  }

  Answer ShowMessage(std::u16string_view text, const std::optional<std::u16string>& caption,
                     Buttons buttons) override;
  std::optional<FontChoice> PickFont(std::u16string_view face, std::int32_t size) override;
  std::optional<std::u16string> PickFile() override;
  std::optional<std::u16string> PickFolder() override;
  void Launch(std::u16string_view path) override;
  std::uint32_t TickCount() override { return ticks_ != 0 ? ticks_ : PosixPlatform::TickCount(); }

  // While set, the file picker is for a picture (a wallpaper): it offers
  // pictures first and answers with nothing else.
  void set_picture_pick(bool picture) { picture_pick_ = picture; }

 private:
  // The user is told that saving failed; the log says which step and why.
  static void LogWriteFailure(std::u16string_view path, const WriteFailure& failure);
  GVariant* Call(const char* name, GVariant* args);
  std::optional<std::u16string> PickPath(const char* name);

  ChannelClient* channel_;
  bool picture_pick_ = false;
  std::uint32_t ticks_;
};

}  // namespace vellumine::desktop
