// The page's Skerrow object over the core's method table, in a bare script
// context: arguments reach the control converted as the interface takes
// them, and a check sees the very value the method then gets.
#include <glib.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "hosts/desktop/skerrow_binding.h"
#include "links/link_store.h"
#include "model/state.h"
#include "page/text.h"
#include "platform/posix_platform.h"
#include "store/settings.h"
#include "store/store.h"

namespace vellumine::desktop {
namespace {

namespace fs = std::filesystem;

// A page with no elements: the control's writes find nothing to change.
constexpr char kEmptyPage[] = "var doc = { getElementById: function () { return null; } };";

class Binding : public ::testing::Test {
 protected:
  void SetUp() override {
    gchar* dir = g_dir_make_tmp("vellumine-binding-XXXXXX", nullptr);
    ASSERT_NE(dir, nullptr);
    folder_ = std::string(dir) + "/";
    g_free(dir);
    context_ = jsc_context_new();
    // No guard: no call counts as the user's.
    InstallSkerrow(context_, Utf8ToUtf16(folder_), nullptr);
    Eval(kEmptyPage);
  }
  void TearDown() override {
    g_object_unref(context_);
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
  }
  void Eval(const char* script) {
    JSCValue* v = jsc_context_evaluate(context_, script, -1);
    if (v != nullptr) g_object_unref(v);
    EXPECT_EQ(jsc_context_get_exception(context_), nullptr) << script;
  }
  // The settings as the folder holds them.
  ControlState Saved() {
    PosixPlatform files;
    Store store(files, Utf8ToUtf16(folder_));
    ControlState state;
    state.data_folder = Utf8ToUtf16(folder_);
    LoadConfig(store, state);
    return state;
  }

  std::string folder_;
  JSCContext* context_ = nullptr;
};

TEST_F(Binding, ArgumentsReachTheControlInTheInterfacesOrderAndKinds) {
  // SetWndPos takes no document: its text first, then three numbers, each
  // converted as script converts to a 32-bit integer.
  Eval("Skerrow.SetWndPos('calender', '40', 7.9, 1)");
  const ControlState saved = Saved();
  ASSERT_EQ(saved.windows.size(), 1u);
  EXPECT_EQ(saved.windows[0].name, u"calender");
  EXPECT_EQ(saved.windows[0].x, 40);
  EXPECT_EQ(saved.windows[0].y, 7);
  // ChangeOption takes the document first, then its option and step.
  const std::int32_t colour = saved.options.menu_text_color;
  Eval("Skerrow.ChangeOption(doc, 'MenuTextColor', '1')");
  EXPECT_EQ(Saved().options.menu_text_color, colour + 1);
}

TEST_F(Binding, TheFontGateAndTheCallSeeTheSameOption) {
  Eval("Skerrow.SetWndPos('calender', 1, 2, 1)");
  const std::int32_t colour = Saved().options.menu_text_color;
  // An option that reads as a font option once and as a colour afterwards:
  // refused, as a font option is without the user's action, and not taken
  // as the colour either.
  Eval(
      "var reads = 0; var shifty = { toString: function () {"
      "  return ++reads === 1 ? 'MenuFont' : 'MenuTextColor'; } };"
      "Skerrow.ChangeOption(doc, shifty, 1)");
  EXPECT_EQ(Saved().options.menu_text_color, colour);
  // The other way round it is the colour throughout.
  Eval(
      "reads = 0; var shifty2 = { toString: function () {"
      "  return ++reads === 1 ? 'MenuTextColor' : 'MenuFont'; } };"
      "Skerrow.ChangeOption(doc, shifty2, 1)");
  EXPECT_EQ(Saved().options.menu_text_color, colour + 1);
  // A method that asks first does nothing without the user: the menu made
  // stays.
  Eval("Skerrow.MakeLinkMenu(doc, 'menu', -1); Skerrow.RemoveLinkMenu(doc, 0)");
  PosixPlatform files;
  Store store(files, Utf8ToUtf16(folder_));
  ControlState state;
  state.data_folder = Utf8ToUtf16(folder_);
  links::LoadLinkMenus(store, state);
  ASSERT_EQ(state.menus.size(), 1u);
  EXPECT_EQ(state.menus[0].name, u"menu");
}

// A page's context that only its control still holds is freed, with the
// control, when the next load's control retires it: once, with nothing of
// it touched afterwards.
TEST_F(Binding, ARetiredControlWhoseContextIsGoneIsFreedOnce) {
  static int complaints = 0;
  complaints = 0;
  const guint handler = g_log_set_handler(
      "GLib-GObject", static_cast<GLogLevelFlags>(G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_WARNING),
      [](const gchar*, GLogLevelFlags, const gchar*, gpointer) { ++complaints; }, nullptr);
  Eval("Skerrow.SetWndPos('calender', 1, 2, 1)");
  // The page goes: only its control holds its context now.
  g_object_unref(context_);
  context_ = jsc_context_new();
  InstallSkerrow(context_, Utf8ToUtf16(folder_), nullptr);
  Eval(kEmptyPage);
  Eval("Skerrow.SetWndPos('calender', 5, 6, 1)");
  g_log_remove_handler("GLib-GObject", handler);
  EXPECT_EQ(complaints, 0);
  const ControlState saved = Saved();
  ASSERT_EQ(saved.windows.size(), 1u);
  EXPECT_EQ(saved.windows[0].x, 5);
}

}  // namespace
}  // namespace vellumine::desktop
