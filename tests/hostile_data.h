// Hostile data folders: every text field of every data file filled from a
// function of the field's number, so that one folder can be built with
// benign texts and again with hostile ones and the pages compared.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "model/state.h"

namespace vellumine::testing {

// Texts a crafted or damaged folder may hold: markup, attribute, script and
// CSS break-outs, entity tricks, script URLs, fake handler lines, lone
// surrogates, zero units, line separators and an overlong text.
const std::vector<std::u16string>& HostileTexts();

// What the folder holds.
inline constexpr int kFolderMemos = 3;
inline constexpr int kFolderMenus = 2;
inline constexpr int kFolderLinks = 12;  // per menu: two pages of ten
inline constexpr int kFolderWallPapers = 2;
// The dates with a schedule (the first is the runner's default today).
inline constexpr int kFolderDays[] = {20261207, 20261208};
ItemKey FolderMemoKey(int i);
ItemKey FolderMenuKey(int i);
ItemKey FolderWallPaperKey(int i);

// The data files, by relative path ("memo/0123456789abcdef"), as records.
// text(field) gives the text of each text field, fields numbered from 0 in
// the order they are built. Numbers are followed by their field's text
// ("10<img ...>"), which the readers ignore, and no wallpaper is current.
//
// canonical: the files exactly as the program itself writes them, so that
// the saves at start-up rewrite "config" and the current wallpaper's file
// byte for byte: numbers alone, the first wallpaper current with "config"
// holding its options and windows, windows only of elements the page has,
// and texts that those two files hold (and the wallpaper paths) end at a
// zero unit and face names after 31 units.
using FolderFiles = std::map<std::string, std::vector<std::u16string>>;
FolderFiles HostileFolder(const std::function<std::u16string(int field)>& text, bool canonical);

// A file name made of text: '/', '*', '?' and zero units become '_' and it is
// cut to at most 80 units, never inside a pair. Never empty.
std::u16string FileNameOf(std::u16string_view text);

}  // namespace vellumine::testing
