// The page's mark that makes OpenFile a wallpaper's pick: read from the
// field "linkfilename" of the document passed, and nothing else counts. A
// plain script context stands in for the page.
#include <gtest/gtest.h>

#include <string>

#include "hosts/desktop/skerrow_binding.h"

namespace vellumine::desktop {
namespace {

class PicturePick : public ::testing::Test {
 protected:
  void SetUp() override { context_ = jsc_context_new(); }
  void TearDown() override { g_object_unref(context_); }

  // WantsPicture for the value of the script expression document.
  bool Wants(const std::string& document) {
    JSCValue* value = jsc_context_evaluate(context_, ("(" + document + ")").c_str(), -1);
    EXPECT_EQ(jsc_context_get_exception(context_), nullptr) << document;
    const bool wants = WantsPicture(context_, value);
    EXPECT_EQ(jsc_context_get_exception(context_), nullptr) << document;
    g_object_unref(value);
    return wants;
  }
  // A document whose "linkfilename" carries mark (a script value) as data-pick.
  static std::string Page(const std::string& mark) {
    return "{ getElementById: function (id) { return id == 'linkfilename' ? "
           "{ getAttribute: function (n) { return n == 'data-pick' ? " +
           mark + " : null; } } : null; } }";
  }

  JSCContext* context_ = nullptr;
};

TEST_F(PicturePick, OnlyThePictureMarkOnTheFileFieldCounts) {
  EXPECT_TRUE(Wants(Page("'picture'")));
  for (const char* mark : {"null", "''", "'Picture'", "'picture '", "'file'", "1", "true"}) {
    EXPECT_FALSE(Wants(Page(mark))) << mark;
  }
  // The mark on another element, or no field at all.
  EXPECT_FALSE(Wants("{ getElementById: function (id) { return id == 'other' ? "
                     "{ getAttribute: function () { return 'picture'; } } : null; } }"));
  EXPECT_FALSE(Wants("{ getElementById: function () { return null; } }"));
}

TEST_F(PicturePick, ADocumentThatIsNoneOrThrowsIsAnOrdinaryPick) {
  EXPECT_FALSE(Wants("undefined"));
  EXPECT_FALSE(Wants("'document'"));
  EXPECT_FALSE(Wants("{}"));
  EXPECT_FALSE(Wants("{ getElementById: function () { throw new Error('x'); } }"));
  EXPECT_FALSE(Wants("{ getElementById: function () { return { getAttribute: function () {"
                     " throw 1; } }; } }"));
  EXPECT_FALSE(WantsPicture(context_, nullptr));
}

}  // namespace
}  // namespace vellumine::desktop
