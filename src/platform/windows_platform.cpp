#include "platform/windows_platform.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <vector>

#include "model/state.h"
#include "page/text.h"

namespace vellumine {
namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");

const wchar_t* W(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
std::u16string U(const wchar_t* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text));
}

bool HasWildcard(std::u16string_view path) {
  return path.find_first_of(u"*?") != std::u16string_view::npos;
}

// "X:" or "X:\": FindFirstFileA can't answer for a drive's root.
bool IsRootLike(std::u16string_view path) {
  return (path.size() == 2 || (path.size() == 3 && path[2] == u'\\')) && path[1] == u':';
}

// --- Files named by UTF-16 paths, for the dialog seam's own files ---

std::optional<std::u16string> EnvironmentText(const wchar_t* name) {
  DWORD n = GetEnvironmentVariableW(name, nullptr, 0);
  if (n == 0) return std::nullopt;
  std::wstring value(n, L'\0');
  n = GetEnvironmentVariableW(name, value.data(), n);
  if (n == 0 || n >= value.size()) return std::nullopt;
  value.resize(n);
  return std::u16string(reinterpret_cast<const char16_t*>(value.c_str()), n);
}

std::optional<std::string> ReadWideNamedFile(const std::u16string& path) {
  HANDLE file = CreateFileW(W(path), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::nullopt;
  std::string out;
  char buffer[16384];
  DWORD got = 0;
  while (::ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got > 0) out.append(buffer, got);
  CloseHandle(file);
  return out;
}

bool WriteAll(HANDLE file, std::string_view bytes) {
  while (!bytes.empty()) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size(), 1u << 30));
    DWORD written = 0;
    if (!::WriteFile(file, bytes.data(), chunk, &written, nullptr) || written == 0) return false;
    bytes.remove_prefix(written);
  }
  return true;
}

std::string EncodeUtf16(std::u16string_view text, bool with_bom) {
  std::string out;
  if (with_bom) out = "\xFF\xFE";
  for (char16_t unit : text) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
  return out;
}

std::u16string DecodeScript(std::string_view bytes) {
  if (bytes.size() >= 2 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
      static_cast<unsigned char>(bytes[1]) == 0xFE) {
    std::u16string out;
    for (std::size_t i = 2; i + 1 < bytes.size(); i += 2) {
      out.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                          static_cast<unsigned char>(bytes[i + 1]) << 8));
    }
    return out;
  }
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  return Utf8ToUtf16(bytes);
}

// The seam is on when VELLUMINE_DIALOG_SCRIPT names a file.
bool DialogsScripted() { return EnvironmentText(L"VELLUMINE_DIALOG_SCRIPT").has_value(); }

// Takes the first line of the given kind out of the script: its text after
// "kind ", or nullopt when the script holds none.
std::optional<std::u16string> TakeScriptedAnswer(std::u16string_view kind) {
  const auto path = EnvironmentText(L"VELLUMINE_DIALOG_SCRIPT");
  if (!path) return std::nullopt;
  const auto bytes = ReadWideNamedFile(*path);
  if (!bytes) return std::nullopt;
  const std::u16string text = DecodeScript(*bytes);
  std::u16string rest;
  std::optional<std::u16string> answer;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) end = text.size();
    std::u16string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == u'\r') line.pop_back();
    start = end + 1;
    const bool match = line.size() >= kind.size() && line.compare(0, kind.size(), kind) == 0 &&
                       (line.size() == kind.size() || line[kind.size()] == u' ');
    if (match && !answer) {
      answer = line.size() > kind.size() ? line.substr(kind.size() + 1) : std::u16string();
    } else if (!line.empty()) {
      rest += line;
      rest += u"\r\n";
    }
  }
  if (answer) {
    HANDLE file = CreateFileW(W(*path), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      WriteAll(file, EncodeUtf16(rest, true));
      CloseHandle(file);
    }
  }
  return answer;
}

void LogDialog(std::u16string_view line) {
  const auto path = EnvironmentText(L"VELLUMINE_DIALOG_LOG");
  if (!path) return;
  HANDLE file = CreateFileW(W(*path), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  LARGE_INTEGER size{};
  const bool fresh = GetFileSizeEx(file, &size) && size.QuadPart == 0;
  std::u16string text(line);
  text += u"\r\n";
  WriteAll(file, EncodeUtf16(text, fresh));
  CloseHandle(file);
}

std::u16string Decimal(std::int32_t value) {
  const std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
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

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM item, LPARAM) {
  if (message == BFFM_SELCHANGED) {
    // The status line shows the selected folder's full path; an item with
    // no file-system path shows nothing.
    wchar_t path[MAX_PATH] = {};
    if (!SHGetPathFromIDListW(reinterpret_cast<PCIDLIST_ABSOLUTE>(item), path)) path[0] = L'\0';
    SendMessageW(dialog, BFFM_SETSTATUSTEXTW, 0, reinterpret_cast<LPARAM>(path));
  }
  return 0;
}

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

Answer WindowsPlatform::ShowMessage(std::u16string_view text,
                                    const std::optional<std::u16string>& caption, Buttons buttons) {
  const bool question = buttons == Buttons::kYesNo;
  if (DialogsScripted()) {
    LogDialog((question ? u"question " : u"message ") +
              (caption ? u"[" + *caption + u"]" : std::u16string(u"*")) + u" " +
              std::u16string(text));
    const auto answer = TakeScriptedAnswer(u"message");
    if (!question) return Answer::kOk;
    return answer && *answer == u"yes" ? Answer::kYes : Answer::kNo;
  }
  const std::u16string body(text);
  const int pressed = MessageBoxW(Owner(false), W(body), caption ? W(*caption) : nullptr,
                                  question ? MB_YESNO : MB_OK);
  if (!question) return Answer::kOk;
  return pressed == IDYES ? Answer::kYes : Answer::kNo;
}

std::optional<FontChoice> WindowsPlatform::PickFont(std::u16string_view face, std::int32_t size) {
  if (DialogsScripted()) {
    LogDialog(u"font " + Decimal(size) + u" " + std::u16string(face));
    const auto answer = TakeScriptedAnswer(u"font");
    if (!answer || *answer == u"cancel") return std::nullopt;
    const std::size_t space = answer->find(u' ');
    if (space == std::u16string::npos) return std::nullopt;
    const std::int32_t points = ParseDecimal(*answer);
    if (points < 8 || points > 30) return std::nullopt;
    return FontChoice{answer->substr(space + 1, kMaxFaceUnits), points};
  }
  const HWND owner = Owner(true);
  int pixels_per_inch = 96;
  if (HDC dc = GetDC(owner)) {
    pixels_per_inch = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(owner, dc);
  }
  LOGFONTW font{};
  font.lfHeight = static_cast<LONG>(std::clamp<long long>(
      static_cast<long long>(size) * pixels_per_inch / 72, -0x7fffffffLL, 0x7fffffffLL));
  font.lfCharSet = SHIFTJIS_CHARSET;
  const std::u16string_view shown = UpToZero(face).substr(0, LF_FACESIZE - 1);
  std::copy(shown.begin(), shown.end(), font.lfFaceName);
  CHOOSEFONTW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpLogFont = &font;
  dialog.Flags = CF_SCREENFONTS | CF_INITTOLOGFONTSTRUCT | CF_LIMITSIZE | CF_FORCEFONTEXIST;
  dialog.nSizeMin = 8;
  dialog.nSizeMax = 30;
  if (!ChooseFontW(&dialog)) return std::nullopt;
  std::u16string chosen = U(font.lfFaceName).substr(0, kMaxFaceUnits);
  return FontChoice{std::move(chosen), std::clamp(dialog.iPointSize / 10, 8, 30)};
}

std::optional<std::u16string> WindowsPlatform::PickFile() {
  if (DialogsScripted()) {
    LogDialog(u"file");
    const auto answer = TakeScriptedAnswer(u"file");
    if (!answer || *answer == u"cancel") return std::nullopt;
    return answer;
  }
  // Room for the longest path the system can name: the dialog refuses a
  // choice that doesn't fit rather than cutting it.
  std::wstring path(32768, L'\0');
  OPENFILENAMEW dialog{};
  dialog.lStructSize = OPENFILENAME_SIZE_VERSION_400W;
  dialog.hwndOwner = nullptr;
  dialog.lpstrFilter = L"全てのファイル\0*.*\0";
  dialog.nFilterIndex = 0;
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrTitle = L"ファイルを開く";
  dialog.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameW(&dialog)) return std::nullopt;
  return U(path.c_str());
}

std::optional<std::u16string> WindowsPlatform::PickFolder() {
  if (DialogsScripted()) {
    LogDialog(u"folder");
    const auto answer = TakeScriptedAnswer(u"folder");
    if (!answer || *answer == u"cancel") return std::nullopt;
    return answer;
  }
  PIDLIST_ABSOLUTE root = nullptr;
  if (FAILED(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &root))) root = nullptr;
  wchar_t display_name[MAX_PATH] = {};
  BROWSEINFOW dialog{};
  dialog.hwndOwner = nullptr;
  dialog.pidlRoot = root;
  dialog.pszDisplayName = display_name;
  dialog.lpszTitle = L"フォルダを選択してください。";
  dialog.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
  dialog.lpfn = BrowseCallback;
  dialog.lParam = 0;
  std::optional<std::u16string> result;
  if (PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&dialog)) {
    wchar_t path[MAX_PATH] = {};
    if (SHGetPathFromIDListW(chosen, path)) result = U(path);
    CoTaskMemFree(chosen);
  }
  if (root != nullptr) CoTaskMemFree(root);
  return result;
}

void WindowsPlatform::Launch(std::u16string_view path) {
  if (DialogsScripted()) {
    LogDialog(u"open " + std::u16string(path));
    return;
  }
  const auto native = ToAnsi(path);
  if (!native || native->empty()) return;
  ShellExecuteA(nullptr, "open", native->c_str(), nullptr, nullptr, SW_SHOW);
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
