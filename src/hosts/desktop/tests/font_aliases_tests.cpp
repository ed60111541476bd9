// The rule that gives the control's Windows font names the Japanese faces
// installed: fontconfig takes it, and "ＭＳ ゴシック" then finds a Japanese
// gothic face (the deps install IPAGothic) where it found a Latin one before.
#include <gtest/gtest.h>

#include <string>

#include "hosts/desktop/font_aliases.h"

namespace vellumine::desktop {
namespace {

std::string FamilyFor(FcConfig* config, const char* family) {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
  FcConfigSubstitute(config, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(config, pattern, &result);
  std::string found;
  FcChar8* name = nullptr;
  if (match != nullptr && FcPatternGetString(match, FC_FAMILY, 0, &name) == FcResultMatch) {
    found = reinterpret_cast<const char*>(name);
  }
  if (match != nullptr) FcPatternDestroy(match);
  FcPatternDestroy(pattern);
  return found;
}

TEST(FontAliases, TheWindowsGothicNamesFindAJapaneseFace) {
  FcConfig* config = FcInitLoadConfigAndFonts();
  ASSERT_NE(config, nullptr);
  ASSERT_TRUE(AddFontAliases(config));
  for (const char* name : {"ＭＳ ゴシック", "MS Gothic"}) {
    EXPECT_EQ(FamilyFor(config, name), "IPAGothic") << name;
  }
  for (const char* name : {"ＭＳ Ｐゴシック", "MS PGothic"}) {
    EXPECT_EQ(FamilyFor(config, name), "IPAPGothic") << name;
  }
  // Other names are left to fontconfig.
  EXPECT_EQ(FamilyFor(config, "DejaVu Sans"), "DejaVu Sans");
  FcConfigDestroy(config);
}

TEST(FontAliases, TheRulesAreWellFormed) {
  // A config without fonts still parses them: a broken rule would fail here
  // and leave the page with Latin faces unnoticed.
  FcConfig* config = FcConfigCreate();
  ASSERT_NE(config, nullptr);
  EXPECT_TRUE(AddFontAliases(config));
  EXPECT_FALSE(FcConfigParseAndLoadFromMemory(
      config, reinterpret_cast<const FcChar8*>("<fontconfig><alias>"), FcTrue));
  FcConfigDestroy(config);
}

}  // namespace
}  // namespace vellumine::desktop
