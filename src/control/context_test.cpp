// The features run on a Context made here from parts of the test's own, with
// no control anywhere: whatever a command needs must come through it.
#include "control/context.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "dom/html_document.h"
#include "links/link_commands.h"
#include "model/messages.h"
#include "organiser/schedule.h"
#include "page/page_ids.h"
#include "platform/memory_platform.h"
#include "store/records.h"
#include "tests/support.h"
#include "wallpaper/wallpaper.h"

namespace vellumine {
namespace {

// Files in memory; a message that reaches the platform directly is counted,
// as it would have bypassed the path the context names.
class CountingPlatform : public MemoryPlatform {
 public:
  Answer ShowMessage(std::u16string_view text, const std::optional<std::u16string>& caption,
                     Buttons buttons) override {
    ++shown;
    return MemoryPlatform::ShowMessage(text, caption, buttons);
  }
  int shown = 0;
};

// Notes every message and answers questions as told.
class NotingMessages : public MessagePath {
 public:
  Answer ShowMessage(std::u16string_view text, const std::optional<std::u16string>&,
                     Buttons buttons) override {
    noted.emplace_back(text);
    if (buttons == Buttons::kYesNo) return answer;
    return Answer::kOk;
  }
  void Refuse(std::u16string_view text) override {
    noted.push_back(u"refused: " + std::u16string(text));
  }
  std::vector<std::u16string> noted;
  Answer answer = Answer::kNo;
};

class BareContext : public ::testing::Test {
 protected:
  CountingPlatform platform;
  std::mt19937 engine{20261207};
  Store store{platform, platform.DataFolder(), &engine};
  ControlState state;
  NotingMessages messages;
  Context context{state, store, platform, engine, messages};
  std::unique_ptr<HtmlDocument> page = HtmlDocument::Parse(testing::BundledPage());
};

TEST_F(BareContext, RefusalsAndQuestionsTakeTheContextsMessagePath) {
  links::MakeLinkMenu(context, *page, u"Menu", -1);
  ASSERT_EQ(state.menus.size(), 1u);
  links::AddLink(context, *page, u"/nowhere/file", 0);
  EXPECT_TRUE(state.menus[0].links.empty());

  // Declined, then confirmed: only the confirmed question removes the menu.
  links::RemoveLinkMenu(context, *page, 0);
  EXPECT_EQ(state.menus.size(), 1u);
  messages.answer = Answer::kYes;
  links::RemoveLinkMenu(context, *page, 0);
  EXPECT_TRUE(state.menus.empty());

  const std::u16string refused = u"refused: " + std::u16string(msg::kNoFileOrFolder);
  const std::u16string asked(msg::kConfirmRemoveMenu);
  EXPECT_EQ(messages.noted, (std::vector<std::u16string>{refused, asked, asked}));
  EXPECT_EQ(platform.shown, 0);
}

TEST_F(BareContext, ARemovedCurrentWallPaperGivesWayToOneDrawnFromTheContextsEngine) {
  for (const char16_t* path : {u"/p/a.jpg", u"/p/b.jpg", u"/p/c.jpg", u"/p/d.jpg"}) {
    WallPaperEntry entry;
    entry.path = path;
    // Keyed as loaded wallpapers are, so that saving draws no new key.
    entry.key = ItemKey{StringHash(path), 7};
    state.wallpapers.push_back(entry);
  }
  state.current_wallpaper = 1;
  // The same draw, made on a copy of the engine.
  std::mt19937 copy = engine;
  const auto expected = static_cast<std::int32_t>(static_cast<double>(copy()) / 4294967296.0 * 3);

  wallpaper::RemoveWallPaper(context, *page, 1);

  EXPECT_TRUE(engine == copy);  // exactly one draw, from this engine
  ASSERT_EQ(state.wallpapers.size(), 3u);
  EXPECT_EQ(state.current_wallpaper, expected);
  const std::string image = page->OuterHtmlById(ids::kBgImg).value_or("");
  EXPECT_NE(image.find(testing::U8(state.wallpapers[expected].path)), std::string::npos) << image;
}

TEST_F(BareContext, ChangeScheduleSavesAndShowsTheDate) {
  schedule::ChangeSchedule(context, *page, u"a<b", 2026, 12, 7);
  EXPECT_TRUE(platform.ReadFile(u"/d/schdl/20261207").has_value());
  const std::string shown = page->OuterHtmlById(ids::kSchedule).value_or("");
  EXPECT_NE(shown.find("12月7日の予定"), std::string::npos) << shown;
  EXPECT_NE(shown.find("a&lt;b"), std::string::npos) << shown;
}

}  // namespace
}  // namespace vellumine
