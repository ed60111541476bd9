// Stub: replaced by the POSIX implementation.
#include "platform/posix_platform.h"

namespace vellumine {
PosixPlatform::PosixPlatform() : data_folder_(DefaultPosixDataFolder()) {}
Answer PosixPlatform::ShowMessage(std::u16string_view, const std::optional<std::u16string>&,
                                  Buttons buttons) {
  return buttons == Buttons::kOk ? Answer::kOk : Answer::kNo;
}
std::optional<FontChoice> PosixPlatform::PickFont(std::u16string_view, std::int32_t) {
  return std::nullopt;
}
std::optional<std::u16string> PosixPlatform::PickFile() { return std::nullopt; }
std::optional<std::u16string> PosixPlatform::PickFolder() { return std::nullopt; }
void PosixPlatform::Launch(std::u16string_view) {}
std::u16string PosixPlatform::DataFolder() { return data_folder_; }
std::uint32_t PosixPlatform::TickCount() { return 0; }
LocalDate PosixPlatform::Today() { return {2026, 12, 7}; }
int PosixPlatform::PathKind(std::u16string_view) { return 0; }
bool PosixPlatform::CreateFolder(std::u16string_view) { return false; }
std::optional<std::string> PosixPlatform::ReadFile(std::u16string_view) { return std::nullopt; }
bool PosixPlatform::WriteFileAtomic(std::u16string_view, std::string_view) { return false; }
bool PosixPlatform::RemoveFile(std::u16string_view) { return false; }
std::vector<std::u16string> PosixPlatform::ListFiles(std::u16string_view, std::u16string_view) {
  return {};
}
std::u16string DefaultPosixDataFolder() { return u"/tmp/Vellumine/"; }
}  // namespace vellumine
