// Stub: replaced by the store's implementation.
#include "store/store.h"

namespace vellumine {
Store::Store(Platform& platform, std::u16string data_folder)
    : platform_(platform), data_folder_(std::move(data_folder)) {}
std::u16string Store::FullPath(std::u16string_view relative) const {
  return data_folder_ + std::u16string(relative);
}
std::optional<std::string> Store::Read(std::u16string_view) { return std::nullopt; }
bool Store::Write(std::u16string_view, std::string_view) { return true; }
bool Store::Remove(std::u16string_view) { return true; }
void Store::CreateFolder(std::u16string_view) {}
int Store::Kind(std::u16string_view) { return 0; }
std::u16string Store::MakeItemKeyPath(std::u16string_view folder, ItemKey&) {
  return std::u16string(folder) + u"/0000000000000000";
}
bool Store::TakeFailure() { return false; }
void Store::EnsureFolders(std::u16string_view) {}
}  // namespace vellumine
