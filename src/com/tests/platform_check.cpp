// The Windows platform layer on its own, under Wine: the data folder, the
// narrow file calls with their refusals, the atomic replace and the dialog
// seam.
#include <string>

#include "com/tests/check.h"
#include "platform/windows_platform.h"

using vellumine::Answer;
using vellumine::Buttons;
using vellumine::WindowsPlatform;

namespace {

std::u16string U(const wchar_t* text) { return reinterpret_cast<const char16_t*>(text); }

// A fresh folder below the temporary folder, ending with "\".
std::u16string MakeScratchFolder() {
  wchar_t temp[MAX_PATH + 1] = {};
  GetTempPathW(MAX_PATH + 1, temp);
  std::u16string folder =
      U(temp) + u"vellumine-check-" + std::u16string(u"0123456789").substr(GetTickCount() % 10, 1);
  for (unsigned n = GetCurrentProcessId();; ++n) {
    const std::string digits = std::to_string(n);
    std::u16string candidate = folder + std::u16string(digits.begin(), digits.end());
    if (CreateDirectoryW(reinterpret_cast<const wchar_t*>(candidate.c_str()), nullptr)) {
      return candidate + u"\\";
    }
  }
}

void SetEnvironment(const wchar_t* name, const std::u16string& value) {
  SetEnvironmentVariableW(name, reinterpret_cast<const wchar_t*>(value.c_str()));
}

std::string ReadBytes(const std::u16string& path) {
  WindowsPlatform platform;
  return platform.ReadFile(path).value_or("<missing>");
}

std::string Utf16Bytes(std::u16string_view text) {
  std::string out = "\xFF\xFE";
  for (char16_t unit : text) {
    out.push_back(static_cast<char>(unit & 0xFF));
    out.push_back(static_cast<char>(unit >> 8));
  }
  return out;
}

}  // namespace

int main() {
  auto& checks = vellumine::check::Checks();
  const std::u16string scratch = MakeScratchFolder();

  checks.Run("DataFolderFromTheWindowsDirectory", [] {
    using vellumine::DataFolderFromWindowsDirectory;
    EXPECT(DataFolderFromWindowsDirectory(u"C:\\WINDOWS") == u"C:\\WINDOWS\\Vellumine\\");
    EXPECT(DataFolderFromWindowsDirectory(u"D:\\") == u"D:\\Vellumine\\");
    EXPECT(DataFolderFromWindowsDirectory(std::nullopt) == u"c:\\Vellumine\\Debug\\");
    // A folder name ending in a double-byte character whose second byte is
    // 0x5C ("ソ" in code page 932) keeps that character.
    EXPECT(DataFolderFromWindowsDirectory(u"C:\\ソ") == u"C:\\ソ\\Vellumine\\");
    WindowsPlatform platform;
    char windows[MAX_PATH] = {};
    GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT(platform.DataFolder() == vellumine::FromAnsi(windows) + u"\\Vellumine\\");
    EXPECT(platform.Separator() == u'\\');
  });

  checks.Run("AnsiConversionRefusesWhatTheCodePageCannotSpell", [] {
    EXPECT(vellumine::AnsiCodePage() == 932);
    EXPECT(vellumine::ToAnsi(u"題名") == std::string("\x91\xE8\x96\xBC"));
    EXPECT(vellumine::FromAnsi("\x91\xE8\x96\xBC") == u"題名");
    EXPECT(!vellumine::ToAnsi(u"가").has_value());  // Hangul: not in code page 932
    EXPECT(!vellumine::ToAnsi(std::u16string(u"a\0b", 3)).has_value());
    EXPECT(vellumine::ToAnsi(u"") == std::string());
  });

  checks.Run("FoldersAndPathKinds", [&] {
    WindowsPlatform platform;
    const std::u16string folder = scratch + u"made";
    EXPECT(platform.PathKind(folder) == 0);
    EXPECT(platform.CreateFolder(folder));
    EXPECT(platform.CreateFolder(folder));  // an existing folder counts as made
    EXPECT(platform.PathKind(folder) == 2);
    EXPECT(platform.PathKind(folder + u"\\") == 2);
    EXPECT(platform.PathKind(u"C:\\") == 2);
    EXPECT(platform.PathKind(u"C:") == 2);
    EXPECT(platform.WriteFileAtomic(folder + u"\\file", "x"));
    EXPECT(platform.PathKind(folder + u"\\file") == 1);
    EXPECT(!platform.CreateFolder(folder + u"\\file"));  // a file is in the way
    // Wildcards name no file, although "fil?" and "*" would match one.
    EXPECT(platform.PathKind(folder + u"\\fil?") == 0);
    EXPECT(platform.PathKind(folder + u"\\*") == 0);
    EXPECT(!platform.CreateFolder(scratch + u"a*b"));
    // A name the code page can't spell is refused, not turned into "?".
    EXPECT(platform.PathKind(folder + u"\\fil가") == 0);
    EXPECT(!platform.CreateFolder(scratch + u"가"));
    EXPECT(platform.PathKind(u"") == 0);
  });

  checks.Run("AtomicWriteReadAndRemove", [&] {
    WindowsPlatform platform;
    const std::u16string path = scratch + u"data";
    const std::string bytes("\x00\x01\xFF\x5C rest\r\n", 10);
    EXPECT(platform.WriteFileAtomic(path, bytes));
    EXPECT(ReadBytes(path) == bytes);
    EXPECT(platform.WriteFileAtomic(path, "second"));
    EXPECT(ReadBytes(path) == "second");
    EXPECT(platform.WriteFileAtomic(path, ""));
    EXPECT(ReadBytes(path).empty());
    // Nothing but the file itself is left behind.
    const auto names = platform.ListFiles(scratch, u"");
    EXPECT(names.size() == 1 && names[0] == u"data");
    EXPECT(!platform.WriteFileAtomic(scratch + u"missing\\data", "x"));
    EXPECT(!platform.WriteFileAtomic(scratch, "x"));
    EXPECT(!platform.WriteFileAtomic(scratch + u"d가", "x"));
    EXPECT(!platform.ReadFile(scratch + u"none").has_value());
    EXPECT(!platform.ReadFile(scratch + u"made").has_value());  // a folder
    EXPECT(platform.RemoveFile(path));
    EXPECT(platform.PathKind(path) == 0);
    EXPECT(platform.RemoveFile(path));  // a missing file counts as gone
  });

  checks.Run("ListFilesByPrefix", [&] {
    WindowsPlatform platform;
    const std::u16string folder = scratch + u"list\\";
    platform.CreateFolder(folder);
    platform.WriteFileAtomic(folder + u"0badf00d00000001", "a");
    platform.WriteFileAtomic(folder + u"0badf00d00000002", "b");
    platform.WriteFileAtomic(folder + u"1badf00d00000003", "c");
    platform.CreateFolder(folder + u"0badf00dfolder");
    auto names = platform.ListFiles(folder, u"0badf00d");
    EXPECT(names.size() == 2);
    EXPECT(names.size() == 2 && names[0] != names[1] && names[0].rfind(u"0badf00d0", 0) == 0 &&
           names[1].rfind(u"0badf00d0", 0) == 0);
    EXPECT(platform.ListFiles(folder.substr(0, folder.size() - 1), u"1").size() == 1);
    EXPECT(platform.ListFiles(scratch + u"nothing", u"").empty());
  });

  checks.Run("DialogSeamAnswersFromTheScriptAndLogs", [&] {
    const std::u16string answers = scratch + u"answers.txt";
    const std::u16string log = scratch + u"dialogs.txt";
    WindowsPlatform platform;
    platform.WriteFileAtomic(answers,
                             "font 12 \xEF\xBC\xAD\xEF\xBC\xB3 \xE6\x98\x8E\xE6\x9C\x9D\r\n"
                             "message yes\r\nfile C:\\x.txt\r\nfolder cancel\r\nmessage no\r\n");
    SetEnvironment(L"VELLUMINE_DIALOG_SCRIPT", answers);
    SetEnvironment(L"VELLUMINE_DIALOG_LOG", log);
    EXPECT(platform.ShowMessage(u"削除?", std::nullopt, Buttons::kYesNo) == Answer::kYes);
    EXPECT(platform.ShowMessage(u"ok?", u"", Buttons::kOk) == Answer::kOk);         // takes "no"
    EXPECT(platform.ShowMessage(u"again?", u"t", Buttons::kYesNo) == Answer::kNo);  // none left
    const auto font = platform.PickFont(u"ＭＳ ゴシック", 13);
    EXPECT(font && font->face == u"ＭＳ 明朝" && font->size == 12);
    EXPECT(!platform.PickFont(u"x", 13).has_value());
    EXPECT(platform.PickFile() == std::optional<std::u16string>(u"C:\\x.txt"));
    EXPECT(!platform.PickFolder().has_value());
    platform.Launch(u"C:\\nothing\\here.txt");
    EXPECT(ReadBytes(log) == Utf16Bytes(u"question * 削除?\r\n"
                                        u"message [] ok?\r\n"
                                        u"question [t] again?\r\n"
                                        u"font 13 ＭＳ ゴシック\r\n"
                                        u"font 13 x\r\n"
                                        u"file\r\n"
                                        u"folder\r\n"
                                        u"open C:\\nothing\\here.txt\r\n"));
    EXPECT(ReadBytes(answers) == Utf16Bytes(u""));
    SetEnvironmentVariableW(L"VELLUMINE_DIALOG_SCRIPT", nullptr);
    SetEnvironmentVariableW(L"VELLUMINE_DIALOG_LOG", nullptr);
  });

  checks.Run("ReadOnlyFilesStayAndTemporariesHaveTheirPattern", [&] {
    WindowsPlatform platform;
    const std::u16string folder = scratch + u"replace\\";
    EXPECT(platform.CreateFolder(folder.substr(0, folder.size() - 1)));
    const std::u16string file = folder + u"memolist";
    EXPECT(platform.WriteFileAtomic(file, "one"));
    const auto wide = reinterpret_cast<const wchar_t*>(file.c_str());
    SetFileAttributesW(wide, FILE_ATTRIBUTE_READONLY);
    EXPECT(!platform.WriteFileAtomic(file, "two"));
    EXPECT(ReadBytes(file) == "one");
    SetFileAttributesW(wide, FILE_ATTRIBUTE_HIDDEN);
    EXPECT(platform.WriteFileAtomic(file, "three"));
    EXPECT(ReadBytes(file) == "three");
    EXPECT((GetFileAttributesW(wide) & FILE_ATTRIBUTE_HIDDEN) != 0);  // kept
    SetFileAttributesW(wide, FILE_ATTRIBUTE_NORMAL);
    // Nothing but the file is left, and a temporary's name is of the pattern
    // a sweep removes.
    int others = 0;
    for (const std::u16string& name : platform.ListFiles(folder, u"")) {
      others += name != u"memolist";
    }
    EXPECT(others == 0);
    EXPECT(vellumine::IsTemporaryName(u".memolist.tmp1234-5678-9"));
  });

  checks.Run("StampsOverwritesAndCanonicalPaths", [&] {
    WindowsPlatform platform;
    const std::u16string file = scratch + u"stamped";
    EXPECT(!platform.Stamp(file).exists);
    EXPECT(platform.WriteFileAtomic(file, "abc"));
    const vellumine::FileStamp first = platform.Stamp(file);
    EXPECT(first.exists && first.size == 3);
    EXPECT(platform.Stamp(file) == first);
    EXPECT(platform.OverwriteFile(file, "xy"));
    EXPECT(ReadBytes(file) == "xy");
    EXPECT(platform.Stamp(file).size == 2);
    // The same size again, but another file took the name.
    EXPECT(platform.WriteFileAtomic(file, "abc"));
    EXPECT(!(platform.Stamp(file) == first));
    CreateDirectoryW(reinterpret_cast<const wchar_t*>((scratch + u"sub").c_str()), nullptr);
    const auto through = platform.CanonicalPath(scratch + u"sub\\..\\stamped");
    const auto direct = platform.CanonicalPath(file);
    EXPECT(through.has_value() && direct.has_value() && *through == *direct);
    EXPECT(direct && direct->size() >= 7 && direct->substr(direct->size() - 7) == u"stamped");
    EXPECT(!platform.CanonicalPath(scratch + u"missing").has_value());
  });

  checks.Run("LocksExcludeEachOther", [&] {
    WindowsPlatform platform;
    const std::u16string lock = scratch + u".lock";
    auto held = platform.LockFile(lock, false);
    EXPECT(held != nullptr);
    bool busy = false;
    EXPECT(platform.LockFile(lock, false, &busy) == nullptr);
    EXPECT(busy);
    held.reset();
    auto again = platform.LockFile(lock, false, &busy);
    EXPECT(again != nullptr && !busy);
    again.reset();
    EXPECT(platform.LockFile(scratch + u"missing\\.lock", false, &busy) == nullptr);
    EXPECT(!busy);
  });

  checks.Run("ClockAndDate", [] {
    WindowsPlatform platform;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    const auto today = platform.Today();
    EXPECT(today.year == now.wYear && today.month == now.wMonth && today.day == now.wDay);
    const auto local = platform.Now();
    EXPECT(local.date.year == now.wYear && local.hour >= 0 && local.hour < 24 &&
           local.minute >= 0 && local.minute < 60);
    const auto first = platform.TickCount();
    EXPECT(platform.TickCount() - first < 60000u);
  });

  return checks.Finish();
}
