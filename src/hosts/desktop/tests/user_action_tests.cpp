// Which calls count as the user's: the activation as an isolated world sees
// it, and the event the page is handling. Plain script contexts stand in for
// the page's world and the guard world.
#include <gtest/gtest.h>

#include <string>

#include "hosts/desktop/skerrow_binding.h"

namespace vellumine::desktop {
namespace {

class UserAction : public ::testing::Test {
 protected:
  void SetUp() override {
    page_ = jsc_context_new();
    guard_ = jsc_context_new();
  }
  void TearDown() override {
    g_object_unref(page_);
    g_object_unref(guard_);
  }
  void Run(JSCContext* context, const std::string& script) {
    JSCValue* v = jsc_context_evaluate(context, script.c_str(), -1);
    ASSERT_EQ(jsc_context_get_exception(context), nullptr) << script;
    g_object_unref(v);
  }
  void Activation(const char* value) {
    Run(guard_, std::string("var navigator = { userActivation: { isActive: ") + value + " } };");
  }
  void Event(const char* value) { Run(page_, std::string("var event = ") + value + ";"); }

  JSCContext* page_ = nullptr;
  JSCContext* guard_ = nullptr;
};

TEST_F(UserAction, NeedsTheActivationSeenFromTheGuardWorld) {
  Event("undefined");
  EXPECT_FALSE(IsUserAction(page_, nullptr));
  EXPECT_FALSE(IsUserAction(page_, guard_));  // no navigator at all
  Activation("false");
  EXPECT_FALSE(IsUserAction(page_, guard_));
  // What the page's own world says of the activation counts for nothing.
  Run(page_, "var navigator = { userActivation: { isActive: true } };");
  EXPECT_FALSE(IsUserAction(page_, guard_));
  Activation("true");
  EXPECT_TRUE(IsUserAction(page_, guard_));
  // A guard whose reading throws counts as no activation, and leaves no
  // exception behind.
  Run(guard_, "navigator = { get userActivation() { throw new Error('x'); } };");
  EXPECT_FALSE(IsUserAction(page_, guard_));
  EXPECT_EQ(jsc_context_get_exception(guard_), nullptr);
}

TEST_F(UserAction, AnEventBeingHandledMustBeTrustedInput) {
  Activation("true");
  for (const char* type : {"click", "mouseup", "mousedown", "dblclick", "keydown", "keyup",
                           "pointerup", "pointerdown", "touchend"}) {
    Event((std::string("{ isTrusted: true, type: '") + type + "' }").c_str());
    EXPECT_TRUE(IsUserAction(page_, guard_)) << type;
  }
  for (const char* event :
       {"{ isTrusted: true, type: 'error' }", "{ isTrusted: true, type: 'load' }",
        "{ isTrusted: true, type: 'mousemove' }", "{ isTrusted: false, type: 'click' }",
        "{ isTrusted: 'yes', type: 'click' }", "{ isTrusted: true }",
        "{ isTrusted: true, type: 5 }", "{ get isTrusted() { throw 1; }, type: 'click' }"}) {
    Event(event);
    EXPECT_FALSE(IsUserAction(page_, guard_)) << event;
    EXPECT_EQ(jsc_context_get_exception(page_), nullptr) << event;
  }
  // No event (a call from the window's own script): the activation decides.
  Event("null");
  EXPECT_TRUE(IsUserAction(page_, guard_));
}

TEST(UserActionMethods, LaunchesPickersQuestionsAndLinkChanges) {
  for (const char* name : {"Open", "OpenFile", "OpenFolder", "AddLink", "ChangeLink", "RemoveLink",
                           "RemoveLinkMenu"}) {
    EXPECT_TRUE(NeedsUserAction(name)) << name;
  }
  for (const char* name :
       {"InitPage", "SetWndPos", "AddMemo", "RenewMemo", "RemoveMemo", "RemoveWallPaper",
        "SetCalender", "ChangeOption", "ChangeWindowOption", "ChangeLinkMenu", "NoSuchMethod"}) {
    EXPECT_FALSE(NeedsUserAction(name)) << name;
  }
}

}  // namespace
}  // namespace vellumine::desktop
