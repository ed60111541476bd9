// What the Windows platform's files share besides its header: writing all
// of a byte string to an open file.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string_view>

#include "platform/windows_platform.h"

namespace vellumine::windows_util {

// Writes every byte, in pieces the system takes; false when a piece fails.
inline bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

}  // namespace vellumine::windows_util
