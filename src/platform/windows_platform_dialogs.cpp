// The Windows platform's dialogs and launches: the system's own, or, with
// VELLUMINE_DIALOG_SCRIPT set, answers taken from that file and every dialog
// logged (the checks under Wine).

// The platform's header first: it brings windows.h, which the dialog
// headers need before them.
#include "platform/windows_platform.h"

// The system's dialogs and shell.
#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <string>

#include "model/state.h"
#include "page/text.h"
#include "platform/windows_platform_util.h"

namespace vellumine {
namespace {

using windows_util::WriteAll;

static_assert(sizeof(wchar_t) == sizeof(char16_t), "UTF-16 wchar_t expected");

const wchar_t* W(const std::u16string& text) {
  return reinterpret_cast<const wchar_t*>(text.c_str());
}
std::u16string U(const wchar_t* text) {
  return std::u16string(reinterpret_cast<const char16_t*>(text));
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

}  // namespace vellumine
