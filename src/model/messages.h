// Every text the control shows in a message box.
#pragma once

#include <string_view>

namespace vellumine::msg {

inline constexpr std::u16string_view kNoSubject = u"題名が入力されていません";
inline constexpr std::u16string_view kNoMessage = u"本文が入力されていません";
inline constexpr std::u16string_view kNoMenuName = u"メニュー名が入力されていません";
inline constexpr std::u16string_view kConfirmRemoveMenu = u"メニューを削除してよろしいですか？";
inline constexpr std::u16string_view kNoFile = u"ファイルが存在しません";
inline constexpr std::u16string_view kSameWallPaper = u"同じ壁紙があります";
inline constexpr std::u16string_view kNoFileOrFolder = u"ファイルまたはフォルダが存在しません";
inline constexpr std::u16string_view kSameItem = u"同じ項目が存在します";
// A table is full.
inline constexpr std::u16string_view kTableFull = u"これ以上登録できません";
// A file could not be written; shown once per call.
inline constexpr std::u16string_view kSaveFailed = u"保存できませんでした";
// A file that loaded damaged was kept before it was replaced; %s names the
// copies. Shown once per call.
inline constexpr std::u16string_view kDamagedKept =
    u"ファイルが壊れていたため、元のファイルを %s として残しました";

}  // namespace vellumine::msg
