// Store: the data folder and the files in it.
//
// Relative paths name files below the data folder with "/" between folder
// and file names ("config", "memo/0123456789abcdef"); the store maps "/" to
// the platform's separator. Every write replaces a file whole through the
// platform's atomic replace, creating the folders of the relative path first,
// outermost first. A failed write or removal is remembered until
// TakeFailure(), so the control can tell the user once per call.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "control/state.h"
#include "platform/platform.h"

namespace vellumine {

class Store {
 public:
  Store(Platform& platform, std::u16string data_folder);

  Platform& platform() { return platform_; }
  const std::u16string& data_folder() const { return data_folder_; }

  // The data folder followed by the relative path with "/" mapped.
  std::u16string FullPath(std::u16string_view relative) const;

  // The whole file; nullopt when it is missing or can't be read. Creates the
  // data folder and the folders of the relative path when they are missing.
  std::optional<std::string> Read(std::u16string_view relative);
  // Replaces the file whole; false (and a remembered failure) when it could
  // not be written.
  bool Write(std::u16string_view relative, std::string_view bytes);
  // Removes the file; a missing file is no error. No folder is created.
  bool Remove(std::u16string_view relative);
  // Creates a folder below the data folder (and the data folder itself).
  void CreateFolder(std::u16string_view relative);
  // PathKind of a relative path.
  int Kind(std::u16string_view relative);

  // folder + "/" + "%08x%08x" of key. When key.second is 0, draws it from
  // the random source until no file or folder of that name exists, and keeps
  // it in key. Creates the folder.
  std::u16string MakeItemKeyPath(std::u16string_view folder, ItemKey& key);

  // True once after a write or removal failed.
  bool TakeFailure();

 private:
  void EnsureFolders(std::u16string_view relative);

  Platform& platform_;
  std::u16string data_folder_;
  bool failed_ = false;
};

}  // namespace vellumine
