// The Windows platform: files by their ANSI names, the data folder, the
// clock and the locks (its dialogs: windows_platform_dialogs.cpp).
#include "platform/windows_platform.h"

#include <algorithm>
#include <atomic>
#include <vector>

#include "model/state.h"
#include "page/text.h"
#include "platform/windows_platform_util.h"

namespace vellumine {
namespace {

using windows_util::WriteAll;

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");

bool HasWildcard(std::u16string_view path) {
  return path.find_first_of(u"*?") != std::u16string_view::npos;
}

// "X:" or "X:\": FindFirstFileA can't answer for a drive's root.
bool IsRootLike(std::u16string_view path) {
  return (path.size() == 2 || (path.size() == 3 && path[2] == u'\\')) && path[1] == u':';
}

std::u16string Unsigned(std::uint32_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

// A FILETIME (100 ns steps since 1601) as nanoseconds since 1970.
std::int64_t UnixNanoseconds(const FILETIME& time) {
  const std::uint64_t ticks =
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  constexpr std::uint64_t kEpochTicks = 116444736000000000ull;
  return (static_cast<std::int64_t>(ticks) - static_cast<std::int64_t>(kEpochTicks)) * 100;
}

// Holds a byte-range lock on an open lock file; closing releases it.
class WindowsFileLock : public FileLock {
 public:
  explicit WindowsFileLock(HANDLE file) : file_(file) {}
  ~WindowsFileLock() override {
    OVERLAPPED at{};
    UnlockFileEx(file_, 0, 1, 0, &at);
    CloseHandle(file_);
  }

 private:
  HANDLE file_;
};

}  // namespace

UINT AnsiCodePage() {
  UINT code_page = 0;
  if (GetLocaleInfoW(GetThreadLocale(), LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                     reinterpret_cast<LPWSTR>(&code_page),
                     sizeof(code_page) / sizeof(WCHAR)) == 0 ||
      code_page == 0) {
    code_page = GetACP();
  }
  return code_page;
}

std::optional<std::string> ToAnsi(std::u16string_view text) {
  if (text.find(u'\0') != std::u16string_view::npos) return std::nullopt;
  if (text.empty()) return std::string();
  const UINT code_page = AnsiCodePage();
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int length = static_cast<int>(text.size());
  const int n = WideCharToMultiByte(code_page, 0, wide, length, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return std::nullopt;
  std::string out(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(code_page, 0, wide, length, out.data(), n, nullptr, nullptr);
  // A unit without a spelling comes out as "?" or a look-alike; only an
  // exact round trip names the same file.
  if (FromAnsi(out) != text) return std::nullopt;
  return out;
}

std::u16string FromAnsi(std::string_view text) {
  if (text.empty()) return {};
  const UINT code_page = AnsiCodePage();
  const int length = static_cast<int>(text.size());
  const int n = MultiByteToWideChar(code_page, 0, text.data(), length, nullptr, 0);
  if (n <= 0) return {};
  std::u16string out(static_cast<std::size_t>(n), u'\0');
  MultiByteToWideChar(code_page, 0, text.data(), length, reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

std::u16string DataFolderFromWindowsDirectory(
    const std::optional<std::u16string>& windows_directory) {
  if (!windows_directory) return u"c:\\Vellumine\\Debug\\";
  std::u16string folder = *windows_directory;
  if (!folder.empty() && folder.back() == u'\\') folder.pop_back();
  return folder + u"\\Vellumine\\";
}

WindowsPlatform::WindowsPlatform() {
  std::optional<std::u16string> windows_directory;
  std::string buffer(520, '\0');
  UINT n = GetWindowsDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
  if (n > buffer.size()) {  // too long for the buffer: n is the size it needs
    buffer.assign(n, '\0');
    n = GetWindowsDirectoryA(buffer.data(), static_cast<UINT>(buffer.size()));
  }
  if (n > 0 && n < buffer.size()) {
    buffer.resize(n);
    windows_directory = FromAnsi(buffer);
  }
  data_folder_ = DataFolderFromWindowsDirectory(windows_directory);
}

std::uint32_t WindowsPlatform::TickCount() { return GetTickCount(); }

LocalDate WindowsPlatform::Today() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {now.wYear, now.wMonth, now.wDay};
}

LocalTime WindowsPlatform::Now() {
  SYSTEMTIME now{};
  GetLocalTime(&now);
  return {{now.wYear, now.wMonth, now.wDay}, now.wHour, now.wMinute, now.wSecond};
}

std::int64_t WindowsPlatform::FileClockNs() {
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  return UnixNanoseconds(now);
}

int WindowsPlatform::PathKind(std::u16string_view path) {
  // No file name holds "*" or "?": a search for one would answer for some
  // other file.
  if (path.empty() || HasWildcard(path)) return 0;
  const auto native = ToAnsi(path);
  if (!native) return 0;
  if (IsRootLike(path) || path.back() == u'\\') {
    const DWORD attributes = GetFileAttributesA(native->c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return 0;
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 2 : 1;
  }
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA(native->c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return 0;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 2 : 1;
}

bool WindowsPlatform::CreateFolder(std::u16string_view path) {
  if (path.empty() || HasWildcard(path)) return false;
  const auto native = ToAnsi(path);
  if (!native) return false;
  if (CreateDirectoryA(native->c_str(), nullptr)) return true;
  const DWORD attributes = GetFileAttributesA(native->c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::optional<std::string> WindowsPlatform::ReadFile(std::u16string_view path) {
  if (path.empty() || HasWildcard(path)) return std::nullopt;
  const auto native = ToAnsi(path);
  if (!native) return std::nullopt;
  const HANDLE file = CreateFileA(native->c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  // Only a plain file: a device or pipe name must not hang the page.
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return std::nullopt;
  }
  std::string out;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0 && size.QuadPart < (1LL << 31)) {
    out.reserve(static_cast<std::size_t>(size.QuadPart));
  }
  std::vector<char> buffer(65536);
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) {
      CloseHandle(file);
      return std::nullopt;
    }
    if (got == 0) break;
    out.append(buffer.data(), got);
  }
  CloseHandle(file);
  return out;
}

bool WindowsPlatform::WriteFileAtomic(std::u16string_view path, std::string_view bytes,
                                      WriteFailure* failure) {
  // Notes the step that failed with the system's error of the moment.
  const auto fail = [failure](WriteStep step, DWORD error) {
    if (failure != nullptr) *failure = {step, static_cast<int>(error)};
    return false;
  };
  if (path.empty() || path.back() == u'\\' || HasWildcard(path)) {
    return fail(WriteStep::kPath, ERROR_INVALID_NAME);
  }
  const auto native = ToAnsi(path);
  if (!native) return fail(WriteStep::kPath, ERROR_NO_UNICODE_TRANSLATION);
  const std::size_t slash = path.rfind(u'\\');
  const std::u16string folder(slash == std::u16string_view::npos ? u"" : path.substr(0, slash + 1));
  const std::u16string base(slash == std::u16string_view::npos ? path : path.substr(slash + 1));

  // A file made read-only stays as it is; a folder is never replaced.
  const DWORD old_attributes = GetFileAttributesA(native->c_str());
  if (old_attributes != INVALID_FILE_ATTRIBUTES) {
    if ((old_attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      return fail(WriteStep::kNotAFile, ERROR_DIRECTORY);
    }
    if ((old_attributes & FILE_ATTRIBUTE_READONLY) != 0) return fail(WriteStep::kReadOnly, 0);
  }

  // The temporary name is of the form IsTemporaryName knows; it begins with
  // "." so that no key search lists it.
  static std::atomic<unsigned> counter{0};
  static const unsigned salt = GetTickCount() ^ (GetCurrentProcessId() << 16);
  std::optional<std::string> temp;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (int attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temp = ToAnsi(folder + u"." + base + u".tmp" + Unsigned(GetCurrentProcessId()) + u"-" +
                  Unsigned(salt) + u"-" + Unsigned(counter++));
    if (!temp) return fail(WriteStep::kPath, ERROR_NO_UNICODE_TRANSLATION);
    file = CreateFileA(temp->c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
    const DWORD error = GetLastError();
    if (file == INVALID_HANDLE_VALUE && error != ERROR_FILE_EXISTS &&
        error != ERROR_ALREADY_EXISTS) {
      return fail(WriteStep::kCreateTemporary, error);
    }
  }
  if (file == INVALID_HANDLE_VALUE) return fail(WriteStep::kCreateTemporary, ERROR_FILE_EXISTS);
  bool ok = WriteAll(file, bytes) || fail(WriteStep::kWrite, GetLastError());
  ok = ok && (FlushFileBuffers(file) || fail(WriteStep::kFlush, GetLastError()));
  if (!CloseHandle(file) && ok) ok = fail(WriteStep::kFlush, GetLastError());
  if (ok) {
    ok = MoveFileExA(temp->c_str(), native->c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0 ||
         fail(WriteStep::kRename, GetLastError());
  }
  if (!ok) {
    DeleteFileA(temp->c_str());
    return false;
  }
  // The new file keeps what the old one was marked with (hidden, say).
  if (old_attributes != INVALID_FILE_ATTRIBUTES && old_attributes != FILE_ATTRIBUTE_NORMAL) {
    SetFileAttributesA(native->c_str(), old_attributes);
  }
  return true;
}

bool WindowsPlatform::OverwriteFile(std::u16string_view path, std::string_view bytes) {
  if (path.empty() || HasWildcard(path)) return false;
  const auto native = ToAnsi(path);
  if (!native) return false;
  const HANDLE file = CreateFileA(native->c_str(), GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  bool ok = GetFileType(file) == FILE_TYPE_DISK && WriteAll(file, bytes) && SetEndOfFile(file);
  ok = CloseHandle(file) && ok;
  return ok;
}

bool WindowsPlatform::RemoveFile(std::u16string_view path) {
  if (path.empty() || HasWildcard(path)) return false;
  const auto native = ToAnsi(path);
  if (!native) return false;
  if (DeleteFileA(native->c_str())) return true;
  const DWORD error = GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

std::vector<std::u16string> WindowsPlatform::ListFiles(std::u16string_view folder,
                                                       std::u16string_view prefix) {
  std::vector<std::u16string> out;
  if (folder.empty() || HasWildcard(folder)) return out;
  std::u16string pattern(folder);
  if (pattern.back() != u'\\') pattern.push_back(u'\\');
  pattern.push_back(u'*');
  const auto native = ToAnsi(pattern);
  if (!native) return out;
  WIN32_FIND_DATAA found{};
  const HANDLE search = FindFirstFileA(native->c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return out;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    std::u16string name = FromAnsi(found.cFileName);
    if (name.compare(0, prefix.size(), prefix) == 0) out.push_back(std::move(name));
  } while (FindNextFileA(search, &found));
  FindClose(search);
  return out;
}

FileStamp WindowsPlatform::Stamp(std::u16string_view path) {
  if (path.empty() || HasWildcard(path)) return {};
  const auto native = ToAnsi(path);
  if (!native) return {};
  const HANDLE file = CreateFileA(native->c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  BY_HANDLE_FILE_INFORMATION info{};
  const bool ok = GetFileInformationByHandle(file, &info) != 0;
  CloseHandle(file);
  if (!ok) return {};
  FileStamp stamp;
  stamp.exists = true;
  stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  stamp.modified_ns = UnixNanoseconds(info.ftLastWriteTime);
  stamp.file_id = ((static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow) ^
                  (static_cast<std::uint64_t>(info.dwVolumeSerialNumber) << 40);
  return stamp;
}

std::optional<std::u16string> WindowsPlatform::CanonicalPath(std::u16string_view path) {
  if (path.empty() || HasWildcard(path)) return std::nullopt;
  const auto native = ToAnsi(path);
  if (!native) return std::nullopt;
  const HANDLE file = CreateFileA(native->c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::wstring buffer(1024, L'\0');
  DWORD n = GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                      VOLUME_NAME_DOS);
  if (n >= buffer.size()) {
    buffer.assign(n + 1, L'\0');
    n = GetFinalPathNameByHandleW(file, buffer.data(), static_cast<DWORD>(buffer.size()),
                                  VOLUME_NAME_DOS);
  }
  CloseHandle(file);
  if (n == 0 || n >= buffer.size()) return std::nullopt;
  std::u16string out(reinterpret_cast<const char16_t*>(buffer.data()), n);
  // "\\?\C:\..." names C:\...; "\\?\UNC\host\share" names \\host\share.
  if (out.starts_with(u"\\\\?\\UNC\\")) {
    out = u"\\\\" + out.substr(8);
  } else if (out.starts_with(u"\\\\?\\")) {
    out = out.substr(4);
  }
  return out;
}

std::unique_ptr<FileLock> WindowsPlatform::LockFile(std::u16string_view path, bool wait,
                                                    bool* busy) {
  if (busy != nullptr) *busy = false;
  if (path.empty() || HasWildcard(path)) return nullptr;
  const auto native = ToAnsi(path);
  if (!native) return nullptr;
  // Not inheritable: a launched program must not keep the lock.
  HANDLE file = CreateFileA(native->c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    file = CreateFileA(native->c_str(), GENERIC_READ,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  }
  if (file == INVALID_HANDLE_VALUE) return nullptr;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return nullptr;
  }
  OVERLAPPED at{};
  const DWORD flags = LOCKFILE_EXCLUSIVE_LOCK | (wait ? 0 : LOCKFILE_FAIL_IMMEDIATELY);
  if (!LockFileEx(file, flags, 0, 1, 0, &at)) {
    if (busy != nullptr) *busy = GetLastError() == ERROR_LOCK_VIOLATION;
    CloseHandle(file);
    return nullptr;
  }
  return std::make_unique<WindowsFileLock>(file);
}

}  // namespace vellumine
