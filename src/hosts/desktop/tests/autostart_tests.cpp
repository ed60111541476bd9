// The autostart entry: what GLib's own launcher makes of it (the arguments
// must come back byte for byte, however hostile the paths), where it goes,
// writing and removing it, and the page's object that does so only on the
// user's action.
#include <gio/gdesktopappinfo.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "hosts/desktop/app_bridge.h"
#include "hosts/desktop/autostart.h"

namespace vellumine::desktop {
namespace {

namespace fs = std::filesystem;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

class Autostart : public ::testing::Test {
 protected:
  void SetUp() override {
    gchar* dir = g_dir_make_tmp("vellumine-autostart-XXXXXX", nullptr);
    ASSERT_NE(dir, nullptr);
    root_ = dir;
    g_free(dir);
    const char* config = g_getenv("XDG_CONFIG_HOME");
    const char* home = g_getenv("HOME");
    saved_config_ = config != nullptr ? config : "";
    saved_home_ = home != nullptr ? home : "";
    had_config_ = config != nullptr;
  }
  void TearDown() override {
    if (had_config_) {
      g_setenv("XDG_CONFIG_HOME", saved_config_.c_str(), TRUE);
    } else {
      g_unsetenv("XDG_CONFIG_HOME");
    }
    g_setenv("HOME", saved_home_.c_str(), TRUE);
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, ignored);
    fs::remove_all(root_, ignored);
  }

  // Launches the entry as a session's autostart would, through GLib's
  // desktop entry launcher; the arguments the program got, or an error.
  std::vector<std::string> Launch(const std::string& entry) {
    const fs::path file = root_ / "entry.desktop";
    std::ofstream(file, std::ios::binary) << entry;
    const fs::path out = root_ / "args.out";
    fs::remove(out);
    g_setenv("VELLUMINE_ARGS_OUT", out.c_str(), TRUE);
    GDesktopAppInfo* info = g_desktop_app_info_new_from_filename(file.c_str());
    if (info == nullptr) return {"<not loaded>"};
    GError* error = nullptr;
    const gboolean launched = g_app_info_launch(G_APP_INFO(info), nullptr, nullptr, &error);
    g_object_unref(info);
    if (!launched) {
      std::string message = error != nullptr ? error->message : "?";
      g_clear_error(&error);
      return {"<not launched: " + message + ">"};
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!fs::exists(root_ / "args.done")) {
      if (std::chrono::steady_clock::now() > deadline) return {"<timed out>"};
      g_usleep(10 * 1000);
    }
    fs::remove(root_ / "args.done");
    std::vector<std::string> args;
    const std::string bytes = ReadAll(out);
    std::size_t start = 0;
    for (std::size_t end; (end = bytes.find('\0', start)) != std::string::npos; start = end + 1) {
      args.push_back(bytes.substr(start, end - start));
    }
    return args;
  }

  // A program that writes its arguments, each ended by a NUL.
  std::string Recorder(const std::string& name) {
    const fs::path dir = root_ / name;
    fs::create_directories(dir);
    const fs::path program = dir / "vellumine";
    std::ofstream(program)
        << "#!/bin/sh\n"
           "for a in \"$@\"; do printf '%s\\0' \"$a\"; done >\"$VELLUMINE_ARGS_OUT\"\n"
           ": >\"$(dirname \"$VELLUMINE_ARGS_OUT\")/args.done\"\n";
    fs::permissions(program, fs::perms::owner_all);
    return program.string();
  }

  fs::path root_;
  std::string saved_config_;
  std::string saved_home_;
  bool had_config_ = false;
};

TEST_F(Autostart, GLibsLauncherGetsTheArgumentsBack) {
  // (GLib looks the program up before it undoes "%%", so no "%" in its path.)
  const std::string program = Recorder("bin dir \"q\" $HOME `x` \\");
  const std::vector<std::string> folders = {
      "/home/user/.local/share/Vellumine/",
      "/tmp/with space/and\ttab/",
      "/tmp/quote\"d/'single'/back\\slash\\\\/",
      "/tmp/$HOME/${PATH}/`id`/$(id)/",
      "/tmp/100%/%f %u %%/%",
      "/tmp/~/;&|<>*?#=!/",
      "/tmp/line\nbreak/and\rreturn/",
      "/tmp/日本語 フォルダ/",
      "/tmp/-dash/--desktop/",
  };
  for (const std::string& folder : folders) {
    const std::vector<std::string> argv = RestartArguments(program, folder, true, "HDMI-A-1");
    const std::optional<std::string> entry = AutostartEntry(argv);
    ASSERT_TRUE(entry) << folder;
    std::vector<std::string> expected(argv.begin() + 1, argv.end());
    EXPECT_EQ(Launch(*entry), expected) << *entry;
  }
  // Without desktop mode and monitor, only the folder.
  const std::optional<std::string> plain =
      AutostartEntry(RestartArguments(program, "/tmp/plain/", false, ""));
  ASSERT_TRUE(plain);
  EXPECT_EQ(Launch(*plain), (std::vector<std::string>{"--data", "/tmp/plain/"}));
}

TEST_F(Autostart, TheEntryIsAValidKeyFileNamingTheApp) {
  const std::optional<std::string> entry =
      AutostartEntry({"/usr/bin/vellumine", "--data", "/a b/", "--desktop"});
  ASSERT_TRUE(entry);
  GKeyFile* keys = g_key_file_new();
  ASSERT_TRUE(
      g_key_file_load_from_data(keys, entry->c_str(), entry->size(), G_KEY_FILE_NONE, nullptr));
  auto get = [&](const char* key) {
    gchar* value = g_key_file_get_string(keys, "Desktop Entry", key, nullptr);
    std::string text = value != nullptr ? value : "<missing>";
    g_free(value);
    return text;
  };
  EXPECT_EQ(get("Type"), "Application");
  EXPECT_EQ(get("Name"), "Vellumine");
  EXPECT_EQ(get("Exec"), "\"/usr/bin/vellumine\" \"--data\" \"/a b/\" \"--desktop\"");
  EXPECT_EQ(get("Icon"), "vellumine");
  g_key_file_free(keys);
  EXPECT_EQ(QuoteExecArgument("a\"b`c$d\\e%f"), "\"a\\\"b\\`c\\$d\\\\e%%f\"");
}

TEST_F(Autostart, RefusesWhatAKeyFileCantCarry) {
  EXPECT_FALSE(AutostartEntry({}));
  EXPECT_FALSE(AutostartEntry({"/usr/bin/vellumine", "--data", "/tmp/\xff\xfe/"}));
  EXPECT_FALSE(AutostartEntry({"/usr/bin/vellumine", "--data", "/tmp/\x01/"}));
  EXPECT_FALSE(AutostartEntry({"/usr/bin/vellumine", "--data", "/tmp/\x7f/"}));
  EXPECT_FALSE(AutostartEntry({"/usr/bin/\xc3", "--data", "/tmp/"}));
  EXPECT_TRUE(AutostartEntry({"/usr/bin/vellumine", "--data", "/tmp/\t\n/"}));
}

TEST_F(Autostart, GoesIntoTheConfigFolder) {
  g_setenv("XDG_CONFIG_HOME", "/somewhere/config", TRUE);
  EXPECT_EQ(AutostartFile("io.vellumine.Vellumine.d1"),
            "/somewhere/config/autostart/io.vellumine.Vellumine.d1.desktop");
  // A relative or empty XDG_CONFIG_HOME is ignored, as the base directory
  // rules say.
  g_setenv("HOME", "/home/someone", TRUE);
  for (const char* ignored : {"relative/config", ""}) {
    g_setenv("XDG_CONFIG_HOME", ignored, TRUE);
    EXPECT_EQ(AutostartFile("x"), "/home/someone/.config/autostart/x.desktop") << ignored;
  }
  g_unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(AutostartFile("x"), "/home/someone/.config/autostart/x.desktop");
}

TEST_F(Autostart, WritesAndRemovesTheEntry) {
  const fs::path file = root_ / "config" / "autostart" / "x.desktop";
  EXPECT_FALSE(AutostartEnabled(file.string()));
  EXPECT_TRUE(SetAutostart(file.string(), "one\n", true));  // the folders are made
  EXPECT_TRUE(AutostartEnabled(file.string()));
  EXPECT_EQ(ReadAll(file), "one\n");
  EXPECT_TRUE(SetAutostart(file.string(), "two\n", true));
  EXPECT_EQ(ReadAll(file), "two\n");
  EXPECT_TRUE(SetAutostart(file.string(), "", false));
  EXPECT_FALSE(fs::exists(file));
  EXPECT_TRUE(SetAutostart(file.string(), "", false));  // gone already: as asked
  EXPECT_FALSE(AutostartEnabled(""));
  EXPECT_FALSE(SetAutostart("", "x", true));

  // A config "folder" that is a file: refused, nothing changed.
  std::ofstream(root_ / "blocked") << "keep";
  const fs::path blocked = root_ / "blocked" / "autostart" / "x.desktop";
  EXPECT_FALSE(SetAutostart(blocked.string(), "x", true));
  EXPECT_FALSE(AutostartEnabled(blocked.string()));
  EXPECT_EQ(ReadAll(root_ / "blocked"), "keep");
  // A folder where the entry would go is no entry, and is not removed.
  fs::create_directories(root_ / "odd" / "x.desktop");
  EXPECT_FALSE(AutostartEnabled((root_ / "odd" / "x.desktop").string()));
  EXPECT_FALSE(SetAutostart((root_ / "odd" / "x.desktop").string(), "", false));
  EXPECT_TRUE(fs::is_directory(root_ / "odd" / "x.desktop"));
}

// The page's object, in plain script contexts standing in for the page's
// world and the guard world.
class AppBridge : public Autostart {
 protected:
  void SetUp() override {
    Autostart::SetUp();
    page_ = jsc_context_new();
    guard_ = jsc_context_new();
    start_ = {(root_ / "autostart" / "v.desktop").string(), "[Desktop Entry]\nExec=x\n"};
  }
  void TearDown() override {
    g_object_unref(page_);
    g_object_unref(guard_);
    Autostart::TearDown();
  }
  std::string Eval(JSCContext* context, const std::string& script) {
    JSCValue* v = jsc_context_evaluate(context, script.c_str(), -1);
    gchar* text = jsc_value_to_string(v);
    std::string out = text != nullptr ? text : "";
    g_free(text);
    g_object_unref(v);
    jsc_context_clear_exception(context);
    return out;
  }

  JSCContext* page_ = nullptr;
  JSCContext* guard_ = nullptr;
  StartAtLogin start_;
};

TEST_F(AppBridge, ChangesTheEntryOnTheUsersActionOnly) {
  InstallAppBridge(page_, guard_, start_);
  EXPECT_EQ(Eval(page_, "VellumineApp.StartAtLogin()"), "false");
  // No activation: refused, and the answer is the state as it is.
  Eval(guard_, "var navigator = { userActivation: { isActive: false } };");
  EXPECT_EQ(Eval(page_, "VellumineApp.SetStartAtLogin(true)"), "false");
  EXPECT_FALSE(fs::exists(start_.file));
  // The user's click: written.
  Eval(guard_, "navigator.userActivation.isActive = true;");
  Eval(page_, "var event = { isTrusted: true, type: 'click' };");
  EXPECT_EQ(Eval(page_, "VellumineApp.SetStartAtLogin(true)"), "true");
  EXPECT_EQ(ReadAll(start_.file), start_.entry);
  EXPECT_EQ(Eval(page_, "VellumineApp.StartAtLogin()"), "true");
  // A picture's error while the activation lasts: refused.
  Eval(page_, "event = { isTrusted: true, type: 'error' };");
  EXPECT_EQ(Eval(page_, "VellumineApp.SetStartAtLogin(false)"), "true");
  EXPECT_TRUE(fs::exists(start_.file));
  Eval(page_, "event = { isTrusted: true, type: 'click' };");
  EXPECT_EQ(Eval(page_, "VellumineApp.SetStartAtLogin(0)"), "false");
  EXPECT_FALSE(fs::exists(start_.file));
}

TEST_F(AppBridge, NoGuardNoChangeAndNoFileNoObject) {
  InstallAppBridge(page_, nullptr, start_);
  Eval(page_, "var event = { isTrusted: true, type: 'click' };");
  EXPECT_EQ(Eval(page_, "VellumineApp.SetStartAtLogin(true)"), "false");
  EXPECT_FALSE(fs::exists(start_.file));
  JSCContext* other = jsc_context_new();
  InstallAppBridge(other, guard_, {});
  EXPECT_EQ(Eval(other, "typeof VellumineApp"), "undefined");
  g_object_unref(other);
}

}  // namespace
}  // namespace vellumine::desktop
