// The channel's framing and the values each dialog sends across it.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <string>

#include "hosts/desktop/channel.h"
#include "hosts/desktop/dialog_values.h"

namespace vellumine::desktop {
namespace {

class SocketPair : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(socketpair(AF_UNIX, SOCK_STREAM, 0, fds_), 0); }
  void TearDown() override {
    if (fds_[0] >= 0) close(fds_[0]);
    if (fds_[1] >= 0) close(fds_[1]);
  }
  void SendRaw(const std::string& bytes) {
    ASSERT_EQ(write(fds_[0], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  static std::string Header(std::uint32_t size) {
    std::string h(4, '\0');
    for (int i = 0; i < 4; ++i) h[i] = static_cast<char>(size >> (8 * i));
    return h;
  }
  int fds_[2] = {-1, -1};
};

TEST_F(SocketPair, FramesCarryValuesWhole) {
  std::string long_text(100000, 'x');
  ASSERT_TRUE(WriteFrame(
      fds_[0], g_variant_new("(sv)", "message", g_variant_new_string(long_text.c_str()))));
  GVariant* got = ReadFrame(fds_[1], G_VARIANT_TYPE("(sv)"));
  ASSERT_NE(got, nullptr);
  const char* name = nullptr;
  GVariant* args = nullptr;
  g_variant_get(got, "(&sv)", &name, &args);
  EXPECT_STREQ(name, "message");
  EXPECT_EQ(g_variant_get_string(args, nullptr), long_text);
  g_variant_unref(args);
  g_variant_unref(got);
}

TEST_F(SocketPair, RefusesFramesOfAnotherTypeOversizedTruncatedOrMalformed) {
  // Another type.
  ASSERT_TRUE(WriteFrame(fds_[0], g_variant_new_string("hello")));
  EXPECT_EQ(ReadFrame(fds_[1], G_VARIANT_TYPE("(sv)")), nullptr);
  // A header announcing more than any frame may hold.
  SendRaw(Header(kMaxFrame + 1));
  EXPECT_EQ(ReadFrame(fds_[1], G_VARIANT_TYPE("(sv)")), nullptr);
}

TEST_F(SocketPair, RefusesATruncatedFrame) {
  SendRaw(Header(20) + "abc");
  close(fds_[0]);
  fds_[0] = -1;
  EXPECT_EQ(ReadFrame(fds_[1], G_VARIANT_TYPE("(sv)")), nullptr);
}

TEST_F(SocketPair, RefusesDataThatIsNoWellFormedValue) {
  // A string without its terminating zero is not in normal form.
  SendRaw(Header(3) + "abc");
  EXPECT_EQ(ReadFrame(fds_[1], G_VARIANT_TYPE_STRING), nullptr);
}

TEST(ChannelClient, CallsFailQuietlyWithoutAServer) {
  ChannelClient client;
  EXPECT_FALSE(client.Connect("/nonexistent/vellumine/channel", "token"));
  EXPECT_FALSE(client.connected());
  EXPECT_EQ(client.Call(kFileRequest, g_variant_new("()")), nullptr);
  EXPECT_FALSE(client.Connect(std::string(200, 'a'), "token"));
}

TEST(DialogValues, FontChoicesFitTheControl) {
  auto ok = CheckedFontChoice("DejaVu Sans", 14);
  ASSERT_TRUE(ok);
  EXPECT_EQ(ok->face, u"DejaVu Sans");
  EXPECT_EQ(ok->size, 14);
  // Sizes are clamped to 8..30.
  EXPECT_EQ(CheckedFontChoice("A", 7)->size, 8);
  EXPECT_EQ(CheckedFontChoice("A", 31)->size, 30);
  EXPECT_EQ(CheckedFontChoice("A", -5)->size, 8);
  // 31 units fit, 32 do not; a character outside the basic plane is two units.
  EXPECT_TRUE(CheckedFontChoice(std::string(31, 'f'), 12));
  EXPECT_FALSE(CheckedFontChoice(std::string(32, 'f'), 12));
  EXPECT_TRUE(CheckedFontChoice(std::string(29, 'f') + "\xF0\x9F\x98\x80", 12));
  EXPECT_FALSE(CheckedFontChoice(std::string(30, 'f') + "\xF0\x9F\x98\x80", 12));
  // Full-width faces count one unit per character.
  EXPECT_EQ(CheckedFontChoice("ＭＳ ゴシック", 20)->face, u"ＭＳ ゴシック");
  // No face, or text that is not UTF-8, is no choice.
  EXPECT_FALSE(CheckedFontChoice("", 12));
  EXPECT_FALSE(CheckedFontChoice("\xff\xfe", 12));
}

TEST(DialogValues, FontAnswersRoundTripAndAreCheckedOnArrival) {
  GVariant* some = g_variant_ref_sink(EncodeFontAnswer(FontChoice{u"IPAゴシック", 16}));
  auto decoded = DecodeFontAnswer(some);
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->face, u"IPAゴシック");
  EXPECT_EQ(decoded->size, 16);
  g_variant_unref(some);

  GVariant* none = g_variant_ref_sink(EncodeFontAnswer(std::nullopt));
  EXPECT_FALSE(DecodeFontAnswer(none));
  g_variant_unref(none);

  // An answer that breaks the limits is checked again by the receiver.
  GVariant* big = g_variant_ref_sink(
      g_variant_new_maybe(nullptr, g_variant_new("(si)", std::string(40, 'x').c_str(), 12)));
  EXPECT_FALSE(DecodeFontAnswer(big));
  g_variant_unref(big);
  GVariant* huge =
      g_variant_ref_sink(g_variant_new_maybe(nullptr, g_variant_new("(si)", "Face", 1000)));
  EXPECT_EQ(DecodeFontAnswer(huge)->size, 30);
  g_variant_unref(huge);
  GVariant* wrong = g_variant_ref_sink(g_variant_new_string("Face"));
  EXPECT_FALSE(DecodeFontAnswer(wrong));
  g_variant_unref(wrong);
}

TEST(DialogValues, MessagesAnswerYesOnlyWhenAskedAndAnsweredYes) {
  GVariant* yes = g_variant_ref_sink(EncodeMessageAnswer(Answer::kYes));
  GVariant* no = g_variant_ref_sink(EncodeMessageAnswer(Answer::kNo));
  GVariant* odd = g_variant_ref_sink(g_variant_new_int32(1));
  EXPECT_EQ(DecodeMessageAnswer(yes, Buttons::kYesNo), Answer::kYes);
  EXPECT_EQ(DecodeMessageAnswer(no, Buttons::kYesNo), Answer::kNo);
  EXPECT_EQ(DecodeMessageAnswer(odd, Buttons::kYesNo), Answer::kNo);
  EXPECT_EQ(DecodeMessageAnswer(nullptr, Buttons::kYesNo), Answer::kNo);
  EXPECT_EQ(DecodeMessageAnswer(yes, Buttons::kOk), Answer::kOk);
  g_variant_unref(yes);
  g_variant_unref(no);
  g_variant_unref(odd);
}

TEST(DialogValues, MessageRequestsKeepAnEmptyCaptionApartFromNone) {
  GVariant* empty = g_variant_ref_sink(
      EncodeMessageRequest(u"題名が入力されていません", std::u16string(), Buttons::kOk));
  auto a = DecodeMessageRequest(empty);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->text, "題名が入力されていません");
  ASSERT_TRUE(a->caption);
  EXPECT_EQ(*a->caption, "");
  EXPECT_EQ(a->buttons, Buttons::kOk);
  g_variant_unref(empty);

  GVariant* none =
      g_variant_ref_sink(EncodeMessageRequest(u"削除？", std::nullopt, Buttons::kYesNo));
  auto b = DecodeMessageRequest(none);
  ASSERT_TRUE(b);
  EXPECT_FALSE(b->caption);
  EXPECT_EQ(b->buttons, Buttons::kYesNo);
  g_variant_unref(none);

  GVariant* wrong = g_variant_ref_sink(g_variant_new("(si)", "x", 1));
  EXPECT_FALSE(DecodeMessageRequest(wrong));
  g_variant_unref(wrong);
}

TEST(DialogValues, OnlyPathsThePageCanHoldCross) {
  GVariant* path = g_variant_ref_sink(EncodePathAnswer(std::string("/home/u/メモ.txt")));
  EXPECT_EQ(DecodePathAnswer(path), std::u16string(u"/home/u/メモ.txt"));
  g_variant_unref(path);
  for (const std::optional<std::string>& bad :
       {std::optional<std::string>(), std::optional<std::string>(""),
        std::optional<std::string>("/tmp/\xff"),
        std::optional<std::string>(std::string("/tmp/a\0b", 8))}) {
    GVariant* v = g_variant_ref_sink(EncodePathAnswer(bad));
    EXPECT_FALSE(DecodePathAnswer(v));
    g_variant_unref(v);
  }
}

}  // namespace
}  // namespace vellumine::desktop
