// The desktop app as the desktop, seen on the screen: the real program with
// --desktop, an ordinary window of this test above it, and screenshots of
// the output.
//
//   Wayland*  under sway's headless backend (wayland_e2e.sh starts it):
//             the background layer, monitors changing size, going away and
//             coming back, and scale 2. Screenshots with grim.
//   X11*      under Xvfb with openbox (started here): the desktop window
//             kept below, and GDK_SCALE=2. Screenshots of the root window.
//
// The page's look gives it away in a screenshot: its background is a blue
// gradient, its windows light panels; the compositor's own background and
// Xvfb's are black, the probe window magenta.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "hosts/desktop/e2e/e2e_support.h"

namespace {

namespace fs = std::filesystem;

using vellumine::desktop::e2e::FolderSnapshot;
using vellumine::desktop::e2e::Pump;
using vellumine::desktop::e2e::ReadAll;
using vellumine::desktop::e2e::RunUntil;

// A command's standard output; empty when it fails.
std::string Output(const std::string& command) {
  gchar* out = nullptr;
  gint status = 0;
  if (!g_spawn_command_line_sync(command.c_str(), &out, nullptr, &status, nullptr)) return {};
  std::string text = out != nullptr ? out : "";
  g_free(out);
  return g_spawn_check_wait_status(status, nullptr) ? text : std::string();
}

bool DisplayIs(GdkDisplay* display, const char* type) {
  return display != nullptr && g_strcmp0(G_OBJECT_TYPE_NAME(display), type) == 0;
}

bool Have(const char* program) {
  gchar* path = g_find_program_in_path(program);
  g_free(path);
  return path != nullptr;
}

// A program started in the background, ended when it goes.
class Background {
 public:
  Background(const std::vector<std::string>& argv, const std::vector<std::string>& env,
             const fs::path& log) {
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    gchar** envp = g_get_environ();
    for (const std::string& e : env) {
      const std::size_t eq = e.find('=');
      envp = g_environ_setenv(envp, e.substr(0, eq).c_str(), e.substr(eq + 1).c_str(), TRUE);
    }
    // Its messages go to a file, shown when a test fails.
    const int log_fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    started_ = g_spawn_async_with_pipes_and_fds(
        nullptr, args.data(), envp,
        static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_SEARCH_PATH), nullptr, nullptr,
        -1, log_fd, log_fd, nullptr, nullptr, 0, &pid_, nullptr, nullptr, nullptr, nullptr);
    if (log_fd >= 0) close(log_fd);
    g_strfreev(envp);
  }
  ~Background() { Stop(); }
  void Stop() {
    if (!started_ || stopped_) return;
    stopped_ = true;
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100 && waitpid(pid_, &status, WNOHANG) == 0; ++i) g_usleep(50 * 1000);
    if (waitpid(pid_, &status, WNOHANG) == 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
  }
  bool started() const { return started_; }
  bool running() const {
    int status = 0;
    return started_ && !stopped_ && waitpid(pid_, &status, WNOHANG) == 0;
  }
  GPid pid() const { return pid_; }

 private:
  GPid pid_ = 0;
  bool started_ = false;
  bool stopped_ = false;
};

// A screenshot's pixels.
struct Shot {
  GdkPixbuf* pixbuf = nullptr;
  Shot() = default;
  explicit Shot(GdkPixbuf* p) : pixbuf(p) {}
  Shot(const Shot&) = delete;
  Shot& operator=(const Shot&) = delete;
  Shot(Shot&& other) noexcept : pixbuf(other.pixbuf) { other.pixbuf = nullptr; }
  Shot& operator=(Shot&& other) noexcept {
    std::swap(pixbuf, other.pixbuf);
    return *this;
  }
  ~Shot() {
    if (pixbuf != nullptr) g_object_unref(pixbuf);
  }
  bool ok() const { return pixbuf != nullptr; }
  int width() const { return ok() ? gdk_pixbuf_get_width(pixbuf) : 0; }
  int height() const { return ok() ? gdk_pixbuf_get_height(pixbuf) : 0; }
  // {r, g, b} at x, y; {-1,-1,-1} outside.
  std::array<int, 3> At(int x, int y) const {
    if (!ok() || x < 0 || y < 0 || x >= width() || y >= height()) return {-1, -1, -1};
    const guchar* p = gdk_pixbuf_read_pixels(pixbuf) + y * gdk_pixbuf_get_rowstride(pixbuf) +
                      x * gdk_pixbuf_get_n_channels(pixbuf);
    return {p[0], p[1], p[2]};
  }
  int Luma(int x, int y) const {
    auto c = At(x, y);
    return (299 * c[0] + 587 * c[1] + 114 * c[2]) / 1000;
  }
  // The page's background: a blue gradient.
  bool IsPage(int x, int y) const {
    auto c = At(x, y);
    return c[2] > 50 && c[2] > c[0] + 25 && c[2] < 230;
  }
  bool IsProbe(int x, int y) const {
    auto c = At(x, y);
    return c[0] > 220 && c[1] < 40 && c[2] > 220;
  }
  // How many pixels of a rectangle are light (a panel of the page).
  int Light(int x0, int y0, int x1, int y1) const {
    int n = 0;
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) n += Luma(x, y) > 200 ? 1 : 0;
    }
    return n;
  }
  // The bounding box of the light pixels in a rectangle: {x0, y0, x1, y1}.
  std::array<int, 4> LightBox(int x0, int y0, int x1, int y1) const {
    std::array<int, 4> box{x1, y1, x0, y0};
    for (int y = y0; y < y1; ++y) {
      for (int x = x0; x < x1; ++x) {
        if (Luma(x, y) <= 200) continue;
        box[0] = std::min(box[0], x);
        box[1] = std::min(box[1], y);
        box[2] = std::max(box[2], x + 1);
        box[3] = std::max(box[3], y + 1);
      }
    }
    return box;
  }
  // The bounding box of the probe's magenta: {x0, y0, x1, y1}.
  std::array<int, 4> ProbeBox() const {
    std::array<int, 4> box{width(), height(), 0, 0};
    for (int y = 0; y < height(); y += 2) {
      for (int x = 0; x < width(); x += 2) {
        if (!IsProbe(x, y)) continue;
        box = {std::min(box[0], x), std::min(box[1], y), std::max(box[2], x + 2),
               std::max(box[3], y + 2)};
      }
    }
    return box;
  }
  void Save(const fs::path& file) const {
    if (ok()) gdk_pixbuf_save(pixbuf, file.c_str(), "png", nullptr, nullptr);
  }
};

// How sharp the detail in a rectangle is: the largest step between
// neighbouring pixels, and how much of the change happens inside pairs of
// pixels (0, 1), (2, 3)... against across them. A picture drawn at half the
// resolution and blown up has smaller steps or nothing inside pairs.
// Whether the page fills the picture: its middle, its lower corners and its
// top edge.
bool CoveredByPage(const Shot& s) {
  const int w = s.width(), h = s.height();
  return s.IsPage(w / 2, h * 3 / 4) && s.IsPage(w / 3, h - 4) && s.IsPage(w - 4, h - 4) &&
         s.IsPage(w / 2, 4);
}

struct Sharpness {
  int max_step = 0;
  double inside = 0;
  double across = 0;
};
Sharpness Measure(const Shot& shot, int x0, int y0, int x1, int y1) {
  Sharpness s;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0 + (x0 & 1); x + 2 < x1; x += 2) {
      const int a = shot.Luma(x, y), b = shot.Luma(x + 1, y), c = shot.Luma(x + 2, y);
      s.max_step = std::max({s.max_step, std::abs(b - a), std::abs(c - b)});
      s.inside += std::abs(b - a);
      s.across += std::abs(c - b);
    }
  }
  return s;
}

// An ordinary window: magenta, 400x300, titled "probe".
class Probe {
 public:
  Probe() {
    window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
    gtk_window_set_title(GTK_WINDOW(window_), "probe");
    gtk_window_set_default_size(GTK_WINDOW(window_), 400, 300);
    gtk_window_set_decorated(GTK_WINDOW(window_), FALSE);
    GtkCssProvider* css = gtk_css_provider_new();
    gtk_css_provider_load_from_data(css, "window { background: #ff00ff; }", -1, nullptr);
    gtk_style_context_add_provider(gtk_widget_get_style_context(window_), GTK_STYLE_PROVIDER(css),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION);
    g_object_unref(css);
    gtk_window_move(GTK_WINDOW(window_), 200, 150);
    gtk_widget_show_all(window_);
  }
  ~Probe() { Close(); }
  void Close() {
    if (window_ != nullptr) gtk_widget_destroy(window_);
    window_ = nullptr;
    Pump(200);
  }
  GtkWidget* widget() const { return window_; }
  // Where its middle is on the screen (on Wayland, where the compositor's
  // rule for "probe" puts it).
  std::array<int, 2> Middle() const {
    GdkWindow* window = gtk_widget_get_window(window_);
    if (window == nullptr || !DisplayIs(gdk_window_get_display(window), "GdkX11Display")) {
      return {400, 300};
    }
    int x = 0, y = 0;
    gdk_window_get_origin(window, &x, &y);
    return {x + gdk_window_get_width(window) / 2, y + gdk_window_get_height(window) / 2};
  }

 private:
  GtkWidget* window_ = nullptr;
};

class Screen : public ::testing::Test {
 protected:
  void SetUp() override {
    gchar* dir = g_dir_make_tmp("vellumine-screen-XXXXXX", nullptr);
    ASSERT_NE(dir, nullptr);
    root_ = dir;
    g_free(dir);
  }
  void TearDown() override {
    if (HasFailure()) {
      for (const auto& entry : fs::directory_iterator(root_)) {
        if (entry.path().extension() == ".log") {
          std::printf("--- %s\n%s\n", entry.path().c_str(), ReadAll(entry.path()).c_str());
        }
      }
      std::printf("screenshots kept in %s\n", root_.c_str());
      return;
    }
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  // The app on a data folder of its own, with the display's environment.
  std::unique_ptr<Background> StartApp(const std::string& name,
                                       const std::vector<std::string>& args,
                                       std::vector<std::string> env = {}) {
    std::vector<std::string> argv = {VELLUMINE_APP, "--data", (root_ / name).string()};
    argv.insert(argv.end(), args.begin(), args.end());
    env.push_back("GSETTINGS_BACKEND=memory");
    env.push_back("NO_AT_BRIDGE=1");
    env.push_back("XDG_CONFIG_HOME=" + (root_ / "config").string());
    env.push_back("DBUS_SESSION_BUS_ADDRESS=unix:path=" + (root_ / "no-bus").string());
    return std::make_unique<Background>(argv, env, root_ / (name + ".log"));
  }

  int shots_ = 0;
  fs::path root_;
};

// ---------------------------------------------------------------- Wayland

class Wayland : public Screen {
 protected:
  void SetUp() override {
    Screen::SetUp();
    ASSERT_TRUE(DisplayIs(gdk_display_get_default(), "GdkWaylandDisplay"))
        << "not on Wayland: run through wayland_e2e.sh";
    ASSERT_NE(g_getenv("SWAYSOCK"), nullptr) << "no sway: run through wayland_e2e.sh";
    ASSERT_TRUE(Have("grim") && Have("swaymsg")) << "grim or swaymsg missing";
  }

  static bool Sway(const std::string& command) { return !Output("swaymsg " + command).empty(); }

  // The output's picture as grim takes it.
  Shot Grab(const std::string& output = "HEADLESS-1") {
    const fs::path file = root_ / ("shot" + std::to_string(++shots_ % 4) + ".png");
    const std::string command = "grim -o " + output + " '" + file.string() + "'";
    if (system(command.c_str()) != 0) return Shot();
    return Shot(gdk_pixbuf_new_from_file(file.c_str(), nullptr));
  }

  // Waits until the output's picture passes check.
  bool WaitFor(const std::function<bool(const Shot&)>& check,
               const std::string& output = "HEADLESS-1", int seconds = 40) {
    return RunUntil(
        [&] {
          Shot shot = Grab(output);
          return shot.ok() && check(shot);
        },
        seconds);
  }

  // The compositor's own background: no page there.
  static bool Bare(const Shot& s) {
    const int w = s.width(), h = s.height();
    return !s.IsPage(w / 2, h * 3 / 4) && !s.IsPage(w / 3, h - 4) && !s.IsPage(w / 2, 4);
  }
};

TEST_F(Wayland, TheDesktopCoversTheOutputBeneathAnOrdinaryWindowAndOutlivesIt) {
  auto app = StartApp("data", {"--desktop"});
  ASSERT_TRUE(app->started());
  ASSERT_TRUE(WaitFor(CoveredByPage)) << "the page never covered the output";
  // A surface of the background layer, not a window the compositor tiles.
  const std::string tree = Output("swaymsg -t get_tree");
  ASSERT_FALSE(tree.empty());
  EXPECT_EQ(tree.find("\"pid\": " + std::to_string(app->pid()) + ","), std::string::npos) << tree;

  std::array<int, 4> box{};
  {
    Probe probe;
    // Seen whole: 400x300 of magenta, wherever the compositor put it.
    ASSERT_TRUE(WaitFor([&](const Shot& s) {
      box = s.ProbeBox();
      return box[2] - box[0] >= 396 && box[3] - box[1] >= 296;
    })) << "the ordinary window is not seen whole above the page";
    Shot shot = Grab();
    EXPECT_TRUE(CoveredByPage(shot));
    // The page all around it, and its windows (the calendar at the top right).
    EXPECT_TRUE(shot.IsPage(box[0] - 8, (box[1] + box[3]) / 2));
    EXPECT_TRUE(shot.IsPage(box[2] + 8, (box[1] + box[3]) / 2));
    EXPECT_TRUE(shot.IsPage((box[0] + box[2]) / 2, box[3] + 8));
    EXPECT_GT(shot.Light(1018, 16, 1270, 200), 5000);
  }
  // The window closed: the page is seen where it was, and the app runs on.
  const int mx = (box[0] + box[2]) / 2, my = (box[1] + box[3]) / 2;
  ASSERT_TRUE(WaitFor([&](const Shot& s) { return s.IsPage(mx, my) && !s.IsProbe(mx, my); }));
  Pump(1000);
  EXPECT_TRUE(app->running());
  EXPECT_TRUE(CoveredByPage(Grab()));
}

TEST_F(Wayland, ANewResolutionShowsEveryWindowWithoutRewritingItsPlace) {
  auto app = StartApp("data", {"--desktop"});
  ASSERT_TRUE(WaitFor([](const Shot& s) {
    return CoveredByPage(s) && s.Light(1018, 16, 1270, 200) > 5000;
  })) << "the page never showed its calendar";
  Pump(1500);  // its start-up saves done
  const std::string saved = FolderSnapshot(root_ / "data");
  // At 1280x800 nothing stands between x 700 and 800 at the top.
  EXPECT_LT(Grab().Light(700, 16, 800, 200), 50);

  ASSERT_TRUE(Sway("output HEADLESS-1 mode 800x600"));
  // The calendar (stored at x 1018) is shown inside the narrower output.
  ASSERT_TRUE(WaitFor([](const Shot& s) {
    return s.width() == 800 && CoveredByPage(s) && s.Light(650, 16, 800, 200) > 5000;
  })) << "the calendar was not brought into view";
  Pump(1500);
  EXPECT_EQ(FolderSnapshot(root_ / "data"), saved) << "a place was rewritten";

  // Back to the old size: the calendar stands at its own place again.
  ASSERT_TRUE(Sway("output HEADLESS-1 mode 1280x800"));
  ASSERT_TRUE(WaitFor([](const Shot& s) {
    return s.width() == 1280 && s.Light(1018, 16, 1270, 200) > 5000 &&
           s.Light(700, 16, 800, 200) < 50;
  }));
  Pump(1000);
  EXPECT_EQ(FolderSnapshot(root_ / "data"), saved);
  EXPECT_TRUE(app->running());
}

TEST_F(Wayland, ScaleTwoDrawsThePageAtTwiceTheSizeAndSharp) {
  // The launcher button at the top left, at scale 1 and at scale 2, looked
  // for above the memo window (at y 60 in the page's pixels).
  std::array<int, 4> one{}, two{};
  Sharpness sharp_one, sharp_two, sharp_blown, sharp_smooth;
  auto measure = [&](std::vector<std::string> env, int scale, std::array<int, 4>* box,
                     Sharpness* sharp) {
    auto app = StartApp("data", {"--desktop"}, std::move(env));
    ASSERT_TRUE(WaitFor([&](const Shot& s) {
      return CoveredByPage(s) && s.Light(0, 0, 200 * scale, 50 * scale) > 400;
    })) << "the page never showed";
    Pump(1000);
    Shot shot = Grab();
    *box = shot.LightBox(0, 0, 200 * scale, 50 * scale);
    *sharp = Measure(shot, (*box)[0], (*box)[1], (*box)[2], (*box)[3]);
    if (scale == 1) {
      // What a picture drawn at scale 1 and blown up would measure, for the
      // check below to tell apart.
      for (GdkInterpType interp : {GDK_INTERP_NEAREST, GDK_INTERP_BILINEAR}) {
        Shot big(gdk_pixbuf_scale_simple(shot.pixbuf, shot.width() * 2, shot.height() * 2, interp));
        (interp == GDK_INTERP_NEAREST ? sharp_blown : sharp_smooth) =
            Measure(big, 2 * (*box)[0], 2 * (*box)[1], 2 * (*box)[2], 2 * (*box)[3]);
      }
    }
  };
  ASSERT_NO_FATAL_FAILURE(measure({}, 1, &one, &sharp_one));
  ASSERT_TRUE(Sway("output HEADLESS-1 scale 2"));
  ASSERT_NO_FATAL_FAILURE(measure({}, 2, &two, &sharp_two));
  ASSERT_TRUE(Sway("output HEADLESS-1 scale 1"));

  const int w1 = one[2] - one[0], h1 = one[3] - one[1];
  const int w2 = two[2] - two[0], h2 = two[3] - two[1];
  std::printf(
      "[ measure  ] button %dx%d at scale 1, %dx%d at scale 2; steps %d / %d / %d / %d, "
      "inside/across %.2f / %.2f / %.2f / %.2f (scale 1 / 2 / 1 blown up / 1 smoothed)\n",
      w1, h1, w2, h2, sharp_one.max_step, sharp_two.max_step, sharp_blown.max_step,
      sharp_smooth.max_step, sharp_one.inside / sharp_one.across,
      sharp_two.inside / sharp_two.across, sharp_blown.inside / sharp_blown.across,
      sharp_smooth.inside / sharp_smooth.across);
  ASSERT_GT(h1, 10);
  EXPECT_NEAR(w2, 2 * w1, 4);
  EXPECT_NEAR(h2, 2 * h1, 4);
  EXPECT_NEAR(two[0], 2 * one[0], 3);
  EXPECT_NEAR(two[1], 2 * one[1], 3);
  // Drawn at full resolution: steps as sharp as at scale 1, and detail
  // inside pixel pairs; the blown-up picture fails one or the other.
  auto sharp = [&](const Sharpness& s) {
    return s.max_step * 4 >= sharp_one.max_step * 3 && s.inside >= 0.6 * s.across;
  };
  EXPECT_TRUE(sharp(sharp_two));
  EXPECT_FALSE(sharp(sharp_blown));
  EXPECT_FALSE(sharp(sharp_smooth));
}

// Runs last: the second output stays for the rest of the compositor's life.
TEST_F(Wayland, ZzTheDesktopCoversTheMonitorItIsToldOf) {
  ASSERT_TRUE(Sway("create_output"));
  ASSERT_TRUE(Sway("output HEADLESS-2 mode 1024x768 position 1280 0"));
  ASSERT_NE(Output("swaymsg -t get_outputs").find("HEADLESS-2"), std::string::npos);
  {
    auto app = StartApp("data", {"--desktop", "--monitor", "HEADLESS-2"});
    ASSERT_TRUE(WaitFor(CoveredByPage, "HEADLESS-2")) << "not on the named monitor";
    EXPECT_TRUE(Bare(Grab("HEADLESS-1")));
  }
  {
    // A number names a monitor too, counted from 0.
    auto app = StartApp("data", {"--desktop", "--monitor", "1"});
    ASSERT_TRUE(WaitFor(CoveredByPage, "HEADLESS-2"));
    EXPECT_TRUE(Bare(Grab("HEADLESS-1")));
  }
  {
    // Without a wish: the first (Wayland knows no primary monitor).
    auto app = StartApp("data", {"--desktop"});
    ASSERT_TRUE(WaitFor(CoveredByPage, "HEADLESS-1"));
    EXPECT_TRUE(Bare(Grab("HEADLESS-2")));
  }
  // A monitor that is not there: the first, and a word on standard error.
  auto app = StartApp("data", {"--desktop", "--monitor", "DP-9"});
  ASSERT_TRUE(WaitFor(CoveredByPage, "HEADLESS-1"));
  EXPECT_TRUE(Bare(Grab("HEADLESS-2")));
  EXPECT_NE(ReadAll(root_ / "data.log").find("no monitor \"DP-9\""), std::string::npos);
}

// -------------------------------------------------------------------- X11

class X11 : public Screen {
 protected:
  void SetUp() override {
    Screen::SetUp();
    ASSERT_TRUE(DisplayIs(gdk_display_get_default(), "GdkX11Display")) << "not on X11";
    ASSERT_TRUE(Have("openbox")) << "openbox missing (src/hosts/desktop/deps)";
    ASSERT_TRUE(Have("xprop") && Have("xdotool")) << "xprop or xdotool missing";
    wm_ = std::make_unique<Background>(std::vector<std::string>{"openbox", "--sm-disable"},
                                       std::vector<std::string>{}, root_ / "openbox.log");
    ASSERT_TRUE(wm_->started());
    ASSERT_TRUE(RunUntil([] {
      return Output("xprop -root _NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos;
    })) << "openbox did not start";
  }
  void TearDown() override {
    wm_.reset();
    Screen::TearDown();
  }

  Shot Grab() {
    GdkWindow* root = gdk_get_default_root_window();
    Shot shot(gdk_pixbuf_get_from_window(root, 0, 0, gdk_window_get_width(root),
                                         gdk_window_get_height(root)));
    shot.Save(root_ / ("shot" + std::to_string(++shots_ % 4) + ".png"));
    return shot;
  }
  bool WaitFor(const std::function<bool(const Shot&)>& check, int seconds = 40) {
    return RunUntil(
        [&] {
          Shot shot = Grab();
          return shot.ok() && check(shot);
        },
        seconds);
  }

  // The window ids openbox stacks, bottom first.
  static std::vector<std::string> Stacking() {
    std::string text = Output("xprop -root _NET_CLIENT_LIST_STACKING");
    std::vector<std::string> ids;
    for (std::size_t at = 0; (at = text.find("0x", at)) != std::string::npos;) {
      std::size_t end = text.find_first_of(", \n", at);
      ids.push_back(text.substr(at, end - at));
      at = end;
    }
    return ids;
  }

  std::unique_ptr<Background> wm_;
};

TEST_F(X11, TheDesktopWindowStaysBelowAnOrdinaryOneAndOutlivesIt) {
  auto app = StartApp("data", {"--desktop"});
  ASSERT_TRUE(WaitFor(CoveredByPage)) << "the page never covered the screen";
  Probe probe;
  ASSERT_TRUE(RunUntil([&] { return gtk_widget_get_mapped(probe.widget()); }));
  Pump(300);
  const auto [px, py] = probe.Middle();
  ASSERT_TRUE(WaitFor([&](const Shot& s) { return s.IsProbe(px, py); }));
  // Bottom to top: the app's desktop window, then the probe.
  std::vector<std::string> stack = Stacking();
  ASSERT_EQ(stack.size(), 2u) << Output("xprop -root _NET_CLIENT_LIST_STACKING");
  EXPECT_NE(
      Output("xprop -id " + stack[0] + " _NET_WM_WINDOW_TYPE").find("_NET_WM_WINDOW_TYPE_DESKTOP"),
      std::string::npos);
  // A click on the page (its background, at the bottom) does not raise it.
  ASSERT_EQ(system("xdotool mousemove 900 700 click 1"), 0);
  Pump(800);
  Shot shot = Grab();
  EXPECT_TRUE(shot.IsProbe(px, py));
  EXPECT_TRUE(CoveredByPage(shot));
  EXPECT_EQ(Stacking().front(), stack[0]);
  probe.Close();
  ASSERT_TRUE(WaitFor([&](const Shot& s) { return s.IsPage(px, py); }));
  Pump(800);
  EXPECT_TRUE(app->running());
}

TEST_F(X11, GdkScaleTwoDrawsThePageAtTwiceTheSizeAndSharp) {
  // Above the memo window (at y 60 in the page's pixels).
  auto measure = [&](std::vector<std::string> env, int scale, std::array<int, 4>* box,
                     Sharpness* sharp) {
    auto app = StartApp("data", {"--desktop"}, std::move(env));
    ASSERT_TRUE(WaitFor([&](const Shot& s) {
      return CoveredByPage(s) && s.Light(0, 0, 200 * scale, 50 * scale) > 400;
    })) << "the page never showed";
    Pump(1000);
    Shot shot = Grab();
    *box = shot.LightBox(0, 0, 200 * scale, 50 * scale);
    *sharp = Measure(shot, (*box)[0], (*box)[1], (*box)[2], (*box)[3]);
  };
  std::array<int, 4> one{}, two{};
  Sharpness sharp_one, sharp_two;
  ASSERT_NO_FATAL_FAILURE(measure({"GDK_SCALE=1"}, 1, &one, &sharp_one));
  ASSERT_NO_FATAL_FAILURE(measure({"GDK_SCALE=2"}, 2, &two, &sharp_two));
  const int w1 = one[2] - one[0], h1 = one[3] - one[1];
  const int w2 = two[2] - two[0], h2 = two[3] - two[1];
  std::printf(
      "[ measure  ] button %dx%d at GDK_SCALE=1, %dx%d at 2; steps %d / %d, "
      "inside/across %.2f / %.2f\n",
      w1, h1, w2, h2, sharp_one.max_step, sharp_two.max_step, sharp_one.inside / sharp_one.across,
      sharp_two.inside / sharp_two.across);
  ASSERT_GT(h1, 10);
  EXPECT_NEAR(w2, 2 * w1, 4);
  EXPECT_NEAR(h2, 2 * h1, 4);
  EXPECT_GE(sharp_two.max_step * 4, sharp_one.max_step * 3);
  EXPECT_GE(sharp_two.inside, 0.6 * sharp_two.across);
}

}  // namespace

int main(int argc, char** argv) {
  signal(SIGALRM, [](int) {
    static const char kMessage[] = "screen_e2e: watchdog: the run took too long\n";
    ssize_t ignored = write(2, kMessage, sizeof kMessage - 1);
    (void)ignored;
    _exit(1);
  });
  alarm(420);
  g_setenv("GSETTINGS_BACKEND", "memory", TRUE);
  g_setenv("NO_AT_BRIDGE", "1", TRUE);
  if (!gtk_init_check(&argc, &argv)) {
    std::fputs("screen_e2e: no display (run it through wayland_e2e.sh or xvfb-run)\n", stderr);
    return 1;
  }
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
