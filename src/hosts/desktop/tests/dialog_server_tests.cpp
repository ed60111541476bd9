// The dialog channel end to end inside one process: the page's platform on
// a thread of its own, blocking on each call, while the main loop serves the
// requests with scripted dialogs. Needs a display (the dialogs are built).
#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "hosts/desktop/desktop_platform.h"
#include "hosts/desktop/dialog_server.h"
#include "page/text.h"

namespace vellumine::desktop {

bool g_have_display = false;

namespace {

namespace fs = std::filesystem;

class DialogChannel : public ::testing::Test {
 protected:
  void SetUp() override {
    // The dialogs need a display: without one this fails rather than
    // passing unseen (run it under xvfb-run, as ctest does).
    ASSERT_TRUE(g_have_display) << "no display (run it under xvfb-run)";
    gchar* dir = g_dir_make_tmp("vellumine-dialogs-XXXXXX", nullptr);
    root_ = dir;
    g_free(dir);
    fs::create_directories(root_ / "folder");
    std::ofstream(root_ / "file.txt") << "x";
    std::ofstream(root_ / "a b.txt") << "x";
    server_ = std::make_unique<DialogServer>(dialogs_);
    ASSERT_TRUE(server_->Start());
  }
  void TearDown() override {
    server_.reset();
    std::error_code ignored;
    if (!root_.empty()) fs::remove_all(root_, ignored);
  }

  void Script(const std::string& answers) {
    auto parsed = ParseScriptedAnswers(answers, nullptr);
    ASSERT_TRUE(parsed);
    dialogs_.UseScript(std::move(*parsed), (root_ / "log").string());
  }
  static std::string FileUri(const fs::path& path) {
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    std::string text = uri != nullptr ? uri : "";
    g_free(uri);
    return text;
  }
  std::string Log() {
    std::stringstream s;
    s << std::ifstream(root_ / "log").rdbuf();
    return s.str();
  }

  // Runs work on another thread, as the page's process would, while this
  // thread serves the channel.
  template <typename Work>
  void OnPageThread(Work work) {
    std::atomic<bool> done{false};
    std::thread page([&] {
      work();
      done = true;
    });
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done && std::chrono::steady_clock::now() < deadline) {
      g_main_context_iteration(nullptr, FALSE);
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    page.join();
  }

  Dialogs dialogs_;
  std::unique_ptr<DialogServer> server_;
  fs::path root_;
};

TEST_F(DialogChannel, EveryDialogRoundTrips) {
  std::string file = (root_ / "file.txt").string();
  std::string folder = (root_ / "folder").string();
  Script("yes\nok\nno\nfont 14 DejaVu Sans\nfile " + file + "\nfolder " + folder +
         "\ncancel\ncancel\n");
  Answer yes{}, ok{}, no{};
  std::optional<FontChoice> font;
  std::optional<std::u16string> picked_file, picked_folder, cancelled_file, cancelled_folder;
  OnPageThread([&] {
    ChannelClient client;
    ASSERT_TRUE(client.Connect(server_->socket_path(), server_->token()));
    DesktopPlatform platform(&client);
    yes =
        platform.ShowMessage(u"メニューを削除してよろしいですか？", std::nullopt, Buttons::kYesNo);
    ok = platform.ShowMessage(u"同じ項目が存在します", std::u16string(), Buttons::kOk);
    no = platform.ShowMessage(u"削除？", u"確認", Buttons::kYesNo);
    font = platform.PickFont(u"ＭＳ ゴシック", 13);
    picked_file = platform.PickFile();
    picked_folder = platform.PickFolder();
    cancelled_file = platform.PickFile();
    cancelled_folder = platform.PickFolder();
    platform.Launch(Utf8ToUtf16((root_ / "a b.txt").string()));
    platform.Launch(Utf8ToUtf16((root_ / "gone.txt").string()));
  });
  EXPECT_EQ(yes, Answer::kYes);
  EXPECT_EQ(ok, Answer::kOk);
  EXPECT_EQ(no, Answer::kNo);
  ASSERT_TRUE(font);
  EXPECT_EQ(font->face, u"DejaVu Sans");
  EXPECT_EQ(font->size, 14);
  EXPECT_EQ(picked_file, Utf8ToUtf16(file));
  EXPECT_EQ(picked_folder, Utf8ToUtf16(folder));
  EXPECT_FALSE(cancelled_file);
  EXPECT_FALSE(cancelled_folder);
  EXPECT_EQ(Log(),
            "message\tVellumine\tはい/いいえ\tメニューを削除してよろしいですか？\n"
            "message\tVellumine\tOK\t同じ項目が存在します\n"
            "message\t確認\tはい/いいえ\t削除？\n"
            "font\tＭＳ ゴシック\t13\n"
            "file\tファイルを開く\t全てのファイル\n"
            "folder\tフォルダを選択してください。\n"
            "file\tファイルを開く\t全てのファイル\n"
            "folder\tフォルダを選択してください。\n"
            "launch\t" +
                FileUri(root_ / "a b.txt") + "\n" +
                // A target that is gone is not launched; the user is told.
                "message\tVellumine\tOK\tリンク先が見つかりません。\\n" +
                (root_ / "gone.txt").string() + "\n");
}

TEST_F(DialogChannel, AWallpaperPickOffersPicturesFirstAndTakesNothingElse) {
  const fs::path picture = root_ / "sea.png";
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 4, 4);
  ASSERT_EQ(cairo_surface_write_to_png(surface, picture.c_str()), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(surface);
  // A text file named like a picture, and a picture named like text.
  std::ofstream(root_ / "fake.png") << "not a picture";
  fs::copy_file(picture, root_ / "sea.txt");
  Script("file " + picture.string() + "\nfile " + (root_ / "fake.png").string() + "\nok\nfile " +
         (root_ / "sea.txt").string() + "\nfile " + (root_ / "fake.png").string() + "\n");
  std::optional<std::u16string> taken, refused, by_content, any;
  OnPageThread([&] {
    ChannelClient client;
    ASSERT_TRUE(client.Connect(server_->socket_path(), server_->token()));
    DesktopPlatform platform(&client);
    platform.set_picture_pick(true);
    taken = platform.PickFile();
    refused = platform.PickFile();
    by_content = platform.PickFile();
    platform.set_picture_pick(false);
    any = platform.PickFile();
  });
  EXPECT_EQ(taken, Utf8ToUtf16(picture.string()));
  EXPECT_FALSE(refused);
  EXPECT_EQ(by_content, Utf8ToUtf16((root_ / "sea.txt").string()));
  EXPECT_EQ(any, Utf8ToUtf16((root_ / "fake.png").string()));
  EXPECT_EQ(Log(),
            "file\tファイルを開く\t画像ファイル\n"
            "file\tファイルを開く\t画像ファイル\n"
            "message\tVellumine\tOK\t画像ファイルではありません。壁紙には画像ファイルを選んでくださ"
            "い。\\n" +
                (root_ / "fake.png").string() +
                "\n"
                "file\tファイルを開く\t画像ファイル\n"
                "file\tファイルを開く\t全てのファイル\n");
}

TEST_F(DialogChannel, AnswersThatDoNotFitAreCancels) {
  std::string file = (root_ / "file.txt").string();
  // A missing file, a file where a folder is asked, an over-long face, an
  // answer of the wrong kind, and nothing left.
  Script("file " + (root_ / "missing.txt").string() + "\nfolder " + file + "\nfont 12 " +
         std::string(32, 'F') + "\nfile " + file + "\n");
  std::optional<std::u16string> missing, not_folder;
  std::optional<FontChoice> long_face, wrong_kind;
  Answer exhausted{};
  OnPageThread([&] {
    ChannelClient client;
    ASSERT_TRUE(client.Connect(server_->socket_path(), server_->token()));
    DesktopPlatform platform(&client);
    missing = platform.PickFile();
    not_folder = platform.PickFolder();
    long_face = platform.PickFont(u"A", 10);
    wrong_kind = platform.PickFont(u"A", 10);
    exhausted = platform.ShowMessage(u"?", std::nullopt, Buttons::kYesNo);
  });
  EXPECT_FALSE(missing);
  EXPECT_FALSE(not_folder);
  EXPECT_FALSE(long_face);
  EXPECT_FALSE(wrong_kind);
  EXPECT_EQ(exhausted, Answer::kNo);
}

TEST_F(DialogChannel, AClientWithoutTheTokenIsTurnedAway) {
  Script("yes\n");
  bool connected = true;
  Answer answer{};
  OnPageThread([&] {
    ChannelClient client;
    connected = client.Connect(server_->socket_path(), "not the token");
    DesktopPlatform platform(&client);
    answer = platform.ShowMessage(u"?", std::nullopt, Buttons::kYesNo);
  });
  EXPECT_FALSE(connected);
  // Nothing was shown, and the question falls back to No.
  EXPECT_EQ(answer, Answer::kNo);
  EXPECT_EQ(Log(), "");
}

TEST(DesktopPlatformAlone, FallsBackWhenThereIsNoWindowProcess) {
  DesktopPlatform platform(nullptr);
  EXPECT_EQ(platform.ShowMessage(u"x", std::nullopt, Buttons::kOk), Answer::kOk);
  EXPECT_EQ(platform.ShowMessage(u"x", std::nullopt, Buttons::kYesNo), Answer::kNo);
  EXPECT_FALSE(platform.PickFont(u"A", 12));
  EXPECT_FALSE(platform.PickFile());
  EXPECT_FALSE(platform.PickFolder());
  platform.Launch(u"/tmp");  // nothing to do it with; must not fail
}

}  // namespace
}  // namespace vellumine::desktop

int main(int argc, char** argv) {
  g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
  vellumine::desktop::g_have_display = gtk_init_check(&argc, &argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
