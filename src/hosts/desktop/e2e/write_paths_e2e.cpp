// The page writer against the plain writes, in the real engine: two runs of
// the app on two copies of the same data folder, one writing every page
// operation as it is, one through the page writer, both with the same seed
// for the control's random source, play the same random sequence of calls
// and page actions. After every call, and again after the page has reacted
// to it, the page (its body's markup and its form fields' values) must be
// the same in both.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "hosts/desktop/e2e/e2e_support.h"

namespace vellumine::desktop {
namespace {

namespace fs = std::filesystem;
using e2e::Js;
using e2e::Session;
using e2e::WriteAll;

// A random source from seed (set before it), for both drivers below.
constexpr char kRandom[] = R"JS(
function random(seed) {
  return function () {
    seed = (seed + 0x6D2B79F5) | 0;
    var t = Math.imul(seed ^ (seed >>> 15), 1 | seed);
    t = (t + Math.imul(t ^ (t >>> 7), 61 | t)) ^ t;
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
}
var rnd = random(seed);
function pick(n) { return Math.floor(rnd() * n); }
function one(list) { return list[pick(list.length)]; }
)JS";

// Holds the page's "today" at the instant the run began (startedAt, set
// before it), in both runs: a run that crosses midnight would otherwise move
// the calendar's Tab stop to the new day in the run that redrew the calendar
// and leave it in the run that kept the calendar's nodes.
constexpr char kHeldToday[] = R"JS(
(function (Real) {
  function Held(...args) {
    if (!new.target) return new Real(startedAt).toString();
    return args.length ? new Real(...args) : new Real(startedAt);
  }
  Held.prototype = Real.prototype;
  Held.now = Real.now;
  Held.UTC = Real.UTC;
  Held.parse = Real.parse;
  window.Date = Held;
})(window.Date);
)JS";

// Sets up a sequence in the page: window.playStep() plays its next step
// and keeps what the page holds after it; window.playResult() gives the
// steps' descriptions and a hash of each state. Arguments (set before it):
// seed, files (link targets), pictures.
constexpr char kDriver[] = R"JS(
function el(id) { return document.getElementById(id); }
function kids(id) { var e = el(id); return e ? Array.from(e.children) : []; }
function windows() { return kids("memofield").concat(kids("linkfield")); }
function index(count) { return one([pick(count + 1), pick(count + 1), count - 1, -1, count, 0]); }
// The attributes the page's own script gives the control's elements for
// the keyboard and screen readers, in its reaction to a call.
function pageOwned(name) {
  return name == "role" || name == "tabindex" || name == "data-kb" || name == "data-year" ||
    name.indexOf("aria-") == 0;
}
// An element's markup with each element's attributes in name order (a node
// the writer kept got the page's attributes before a later style write),
// and without the page's own ones when strip.
function normalised(e, strip) {
  var copy = e.cloneNode(true);
  for (var n of [copy].concat(Array.from(copy.querySelectorAll("*")))) {
    // As nodes: the parser takes names that setAttribute refuses.
    var list = Array.from(n.attributes);
    for (var a of list) n.removeAttributeNode(a);
    list.sort(function (x, y) { return x.name < y.name ? -1 : x.name > y.name ? 1 : 0; });
    for (var b of list) if (!(strip && pageOwned(b.name))) n.setAttributeNode(b);
  }
  return copy.outerHTML;
}
// What the page holds: the body's markup (the wallpaper picture's own
// load state aside: it follows the picture's loading, not the calls) and
// what the form fields show. Right after a call, before the page's
// reaction, without what that reaction adds to the control's elements.
function state(reacted) {
  var parts = [];
  for (var e of Array.from(document.body.children)) {
    parts.push(e.id == "bgimg" ? "bgimg:" + e.getAttribute("src")
                               : normalised(e, !reacted));
  }
  for (var f of Array.from(document.querySelectorAll("input, textarea, select"))) {
    parts.push((f.id || f.name) + "=" + f.value + "/" + (f.selectedIndex === undefined ? "" : f.selectedIndex));
  }
  return parts.join("\n");
}
function hash(text) {
  var h = 0x811c9dc5;
  for (var i = 0; i < text.length; ++i) h = Math.imul(h ^ text.charCodeAt(i), 16777619);
  return (h >>> 0).toString(16) + ":" + text.length;
}
var texts = ["買い物", "牛乳とパン\n卵", "<b>bold</b> & \"quoted\" 'single'", "", " spaced  out ",
             "長い" + "あいうえお".repeat(60), "line1\nline2\n\nline4", "&amp; &lt;", "x"];
var options = ["MenuTextColor", "WeekDayColor", "SatDayColor", "SunDayColor", "ShadowColor",
               "CalenderFontSize", "LinkItemNum", "MemoItemNum", "MenuFontSize", "MenuFont",
               "CalenderFont", "Nothing"];
var windowOptions = ["Default", "TextColor", "FontSize", "ItemNum", "Font", "Nothing"];
function someWindow() {
  var w = windows();
  return one(w.length ? [one(w).id, one(w).id, one(w).id, "calender", "memo", "nowindow"] : ["calender", "nowindow"]);
}
var adds = [
  function () { return ["AddMemo", one(texts), one(texts)]; },
  function () { return ["MakeLinkMenu", one(texts), -1]; },
  function () { return ["AddLink", one(files), rnd() < 0.8 ? pick(Math.max(1, kids("linkfield").length)) : index(kids("linkfield").length)]; },
  function () { return ["AddWallPaper", one(pictures)]; },
];
var calls = adds.concat([
  function () { return ["RenewMemo", one(texts), one(texts), index(kids("memofield").length)]; },
  function () { return ["RemoveMemo", index(kids("memofield").length)]; },
  function () { return ["EditMemo", index(kids("memofield").length)]; },
  function () { return ["ChangeMemoPage", pick(5) - 1]; },
  function () { return ["MakeLinkMenu", one(texts), index(kids("linkfield").length)]; },
  function () { return ["ChangeLinkMenu", index(kids("linkfield").length)]; },
  function () { return ["RemoveLinkMenu", index(kids("linkfield").length)]; },
  function () { return ["ChangeLink", pick(12) - 1, one(files), index(kids("linkfield").length)]; },
  function () { return ["RemoveLink", pick(12) - 1, index(kids("linkfield").length)]; },
  function () { return ["PermuteLink", pick(12), pick(12), index(kids("linkfield").length)]; },
  function () { return ["ChangeLinkPage", index(kids("linkfield").length), pick(4) - 1]; },
  function () { return ["SetWndPos", someWindow(), pick(1400) - 100, pick(900) - 100, pick(3)]; },
  function () { return ["ChangeOption", one(options), one([1, -1, 2, 0])]; },
  function () { return ["ChangeOption", one(options), one([1, -1, 2, 0])]; },
  function () { return ["ChangeWindowOption", someWindow(), one(windowOptions), one([1, -1, 0])]; },
  function () { return ["ChangeWindowOption", someWindow(), one(windowOptions), one([1, -1, 0])]; },
  function () { return ["RemoveWallPaper", pick(5) - 1]; },
  function () { return ["SetBG", pick(5) - 1]; },
  function () { return ["SetBG_Random"]; },
  function () { return ["SetCalender", 2026, pick(14)]; },
  function () { return ["ChangeDate", 2026, 1 + pick(12), pick(32)]; },
  function () { return ["ChangeSchedule", one(texts), 2026, 1 + pick(12), 1 + pick(28)]; },
  function () { return ["InitPage"]; },
  function () { return ["OpenFile"]; },
  function () { return ["OpenFolder"]; },
]);
// What the user does on the page between calls: views swapped in a window,
// windows shown, hidden and dragged, text typed into the schedule field.
var actions = [
  function () {
    var w = one(windows());
    if (w) setview(one([w.id + "_option", w.id + "_main"]), w.id + "_view");
    return "setview";
  },
  function () { var w = one(windows()); if (w) change(w.id); return "change"; },
  function () {
    var w = one(windows());
    if (w) { w.style.left = pick(1000) + "px"; w.style.top = pick(700) + "px"; report(w); }
    return "drag";
  },
  function () { var f = el("schdllst"); if (f) f.value = one(texts); return "type"; },
  // The page's own script restyling what the control styled: the control's
  // next write of the same style must still reach it.
  function () {
    var w = one(windows());
    if (!w) return "restyle";
    var e = one([w].concat(Array.from(w.querySelectorAll("div, pre"))));
    if (rnd() < 0.5) e.style.color = one(["rgb(1, 2, 3)", "red", ""]);
    else e.style.fontSize = one(["7px", ""]);
    return "restyle";
  },
  // An attribute named as the page names its own, but in a namespace: not
  // the page's own, so the control's next write of the element takes it
  // away, as a new node would. (A name the page sets itself would be
  // changed by it in place of its own.)
  function () {
    var w = one(windows());
    if (!w) return "mark";
    var e = one([w].concat(Array.from(w.querySelectorAll("div, pre, span"))));
    e.setAttributeNS("urn:vellumine-test", "aria-mark", "mark");
    return "mark";
  },
];
var log = [], hashes = [], step = 0;
window.states = [];
// The page names and reaches by keyboard only what a change touched: its
// marks must be those a decoration of the whole page gives. Where they are
// not, the step and the first element that differs.
window.undecorated = [];
function marks() {
  var list = document.body.querySelectorAll("*"), out = [];
  for (var i = 0; i < list.length; ++i) {
    var e = list[i], m = [];
    for (var a of Array.from(e.attributes)) if (pageOwned(a.name)) m.push(a.name + "=" + a.value);
    out.push(m.length ? e.outerHTML.slice(0, 120) + " [" + m.join(" ") + "]" : "");
  }
  return out;
}
function checkMarks(description) {
  var had = marks();
  keys.decorate(document);
  var full = marks(), i = 0;
  while (i < had.length && i < full.length && had[i] === full[i]) ++i;
  if (i < had.length || i < full.length) {
    window.undecorated.push(description + ":\n  given:    " + had[i] + "\n  in full:  " + full[i]);
  }
}
// One step a script run: each run is a user gesture of its own, as a click
// is, so the calls that need the user's action are made in both runs alike
// however long the other steps took.
window.playStep = async function () {
  var description;
  if (step > 8 && rnd() < 0.15) {
    description = "page:" + one(actions)();
  } else {
    var call = (step < 40 && rnd() < 0.6 ? one(adds) : one(calls))();
    var name = call[0];
    var args = call.slice(1);
    if (name != "SetWndPos") args.unshift(document);
    Skerrow[name].apply(Skerrow, args);
    description = JSON.stringify(call);
  }
  ++step;
  var now = state(false);
  window.states.push(now);
  hashes.push(hash(now));
  log.push(description);
  // The page's reaction to it.
  await new Promise(function (r) { setTimeout(r, 0); });
  var after = state(true);
  window.states.push(after);
  hashes.push(hash(after));
  log.push(description + " (after the page's reaction)");
  checkMarks(description);
  return "";
};
window.playResult = function () { return JSON.stringify({ log: log, hashes: hashes }); };
return "ready";
)JS";

class WritePaths : public ::testing::Test {
 protected:
  void SetUp() override {
    gchar* dir = g_dir_make_tmp("vellumine-writes-XXXXXX", nullptr);
    ASSERT_NE(dir, nullptr);
    root_ = dir;
    g_free(dir);
    fs::create_directories(root_ / "files" / "a folder");
    for (const char* name :
         {"note.txt", "a&b.txt", "<odd>.txt", "quote\"s.txt", "日本語.txt", "space name.txt"}) {
      WriteAll(root_ / "files" / name, "x\n");
    }
    for (const char* name : {"one.png", "two.png", "three.png"}) {
      WriteAll(root_ / "files" / name, "not a picture\n");
    }
    // The dialogs the sequence opens are answered the same in both runs.
    std::string answers;
    for (int i = 0; i < 40; ++i) {
      answers += "yes\nfont 15 DejaVu Sans\nfile " + (root_ / "files" / "note.txt").string() +
                 "\nno\nfolder " + (root_ / "files" / "a folder").string() + "\ncancel\nok\n";
    }
    WriteAll(root_ / "answers", answers);
    g_setenv("VELLUMINE_DIALOG_SCRIPT", (root_ / "answers").c_str(), TRUE);
    g_setenv("VELLUMINE_SEED", "424242", TRUE);
  }
  void TearDown() override {
    g_unsetenv("VELLUMINE_PLAIN_WRITES");
    g_unsetenv("VELLUMINE_SEED");
    g_unsetenv("VELLUMINE_DIALOG_SCRIPT");
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  std::string Driver(int seed) {
    std::string files = "[";
    for (const char* name : {"note.txt", "a&b.txt", "<odd>.txt", "quote\"s.txt", "日本語.txt",
                             "space name.txt", "a folder", "missing.txt"}) {
      files += Js((root_ / "files" / name).string()) + ",";
    }
    files += "\"\"]";
    std::string pictures = "[";
    for (const char* name : {"one.png", "two.png", "three.png", "missing.png"}) {
      pictures += Js((root_ / "files" / name).string()) + ",";
    }
    pictures += "\"*.png\"]";
    const auto started = std::chrono::duration_cast<std::chrono::milliseconds>(
                             std::chrono::system_clock::now().time_since_epoch())
                             .count();
    return "var seed = " + std::to_string(seed) + ", files = " + files +
           ", pictures = " + pictures + ", startedAt = " + std::to_string(started) + ";\n" +
           kHeldToday + kRandom + kDriver;
  }

  // Plays the sequence of seed in both ways and compares every state.
  void Compare(int seed, int steps) {
    const fs::path plain_data = root_ / ("plain" + std::to_string(seed));
    const fs::path fast_data = root_ / ("fast" + std::to_string(seed));
    g_setenv("VELLUMINE_PLAIN_WRITES", "1", TRUE);
    Session plain(plain_data.string());
    g_setenv("VELLUMINE_PLAIN_WRITES", "0", TRUE);
    Session fast(fast_data.string());
    ASSERT_TRUE(plain.loaded());
    ASSERT_TRUE(fast.loaded());
    const std::string driver = Driver(seed);
    ASSERT_EQ(plain.EvalAsync(driver), "ready");
    ASSERT_EQ(fast.EvalAsync(driver), "ready");
    for (int step = 0; step < steps; ++step) {
      ASSERT_EQ(plain.EvalAsync("return await window.playStep();"), "") << "step " << step;
      ASSERT_EQ(fast.EvalAsync("return await window.playStep();"), "") << "step " << step;
    }
    EXPECT_EQ(plain.Eval("window.undecorated.slice(0, 3).join('\\n')"), "") << "seed " << seed;
    EXPECT_EQ(fast.Eval("window.undecorated.slice(0, 3).join('\\n')"), "") << "seed " << seed;
    const std::string a = plain.Eval("window.playResult()");
    const std::string b = fast.Eval("window.playResult()");
    ASSERT_EQ(a.rfind("ERROR", 0), std::string::npos) << a;
    ASSERT_EQ(b.rfind("ERROR", 0), std::string::npos) << b;
    if (a == b) return;
    // The first state that differs, and where in it.
    const auto run_a = nlohmann::json::parse(a);
    const auto run_b = nlohmann::json::parse(b);
    const auto& hashes_a = run_a.at("hashes");
    const auto& hashes_b = run_b.at("hashes");
    std::size_t first = 0;
    while (first < hashes_a.size() && first < hashes_b.size() &&
           hashes_a[first] == hashes_b[first]) {
      ++first;
    }
    ASSERT_LT(first, hashes_a.size()) << "the runs differ in their steps:\n" << a << "\n" << b;
    const std::string index = std::to_string(first);
    const std::string state_a = plain.Eval("window.states[" + index + "]");
    const std::string state_b = fast.Eval("window.states[" + index + "]");
    std::size_t at = 0;
    while (at < state_a.size() && at < state_b.size() && state_a[at] == state_b[at]) ++at;
    const std::size_t from = at > 300 ? at - 300 : 0;
    std::ostringstream before;
    for (std::size_t i = first > 8 ? first - 8 : 0; i <= first; ++i) {
      before << "  " << run_a.at("log").at(i).get<std::string>() << "\n";
    }
    FAIL() << "seed " << seed << ": the page differs after step " << first / 2 << ":\n"
           << before.str() << "plain writes: ..." << state_a.substr(from, 700)
           << "\npage writer:  ..." << state_b.substr(from, 700);
  }

  fs::path root_;
};

// What the page writer is for: a call that rewrites every window leaves the
// page's nodes where they were, except those of what changed.
TEST_F(WritePaths, KeepsTheNodesOfWhatDidNotChange) {
  g_setenv("VELLUMINE_PLAIN_WRITES", "0", TRUE);
  Session page((root_ / "keep").string());
  ASSERT_TRUE(page.loaded());
  const std::string note = Js((root_ / "files" / "note.txt").string());
  ASSERT_EQ(page.EvalAsync(R"JS(
    for (var i = 0; i < 12; ++i) Skerrow.AddMemo(document, "memo " + i, "text " + i + "\nline");
    Skerrow.MakeLinkMenu(document, "menu", -1);
    Skerrow.AddLink(document, )JS" +
                           note + R"JS(, 0);
    Skerrow.ChangeOption(document, "MenuTextColor", 1);
    Skerrow.InitPage(document);
    await new Promise(function (r) { setTimeout(r, 0); });
    return "ok";)JS"),
            "ok");
  // Writes, and names the memo and link menu windows whose nodes the writes
  // (and the page's reaction to them) touched: changed, added or removed.
  const std::string probe = R"JS(
    var records = [];
    var seen = new MutationObserver(function (r) { records = records.concat(r); });
    seen.observe(document.body, { subtree: true, childList: true, attributes: true,
                                  characterData: true });
    var before = document.body.outerHTML;
    CALL;
    await new Promise(function (r) { setTimeout(r, 0); });
    var touched = {};
    records.concat(seen.takeRecords()).forEach(function (r) {
      var node = r.target.nodeType == 1 ? r.target : r.target.parentNode;
      var w = node.closest("#memofield > div, #linkfield > div, #memo, #link, #memofield, #linkfield");
      if (w) touched[w.id.replace(/[0-9a-f]{16}/, "#")] = 1;
    });
    seen.disconnect();
    return JSON.stringify({ touched: Object.keys(touched).sort(),
                            same: document.body.outerHTML == before });)JS";
  auto run = [&](const std::string& call) {
    std::string script = probe;
    script.replace(script.find("CALL"), 4, call);
    return nlohmann::json::parse(page.EvalAsync(script));
  };
  // The same page again: no window is touched, and once the page has
  // reacted (marking today on the calendar again) it is as it was.
  auto again = run("Skerrow.InitPage(document)");
  EXPECT_EQ(again["touched"], nlohmann::json::array()) << again.dump();
  EXPECT_TRUE(again["same"]) << again.dump();
  // One memo renewed: the memo list and that memo's window change, the
  // eleven others and the link window are not touched.
  auto renew = run("Skerrow.RenewMemo(document, 'renewed', 'new text', 5)");
  EXPECT_EQ(renew["touched"], nlohmann::json::array({"memo", "memo#"})) << renew.dump();
  EXPECT_FALSE(renew["same"]);
  // A window the page changed itself (a view swapped) is brought back.
  EXPECT_EQ(page.Eval("var w = document.getElementById('memofield').children[3];"
                      "setview(w.id + '_option', w.id + '_view');"
                      "Skerrow.InitPage(document);"
                      "document.getElementById(w.id + '_view_id').textContent"),
            page.Eval("document.getElementById('memofield').children[3].id") + "_main");
}

// New memo windows that do not fit in view pile up in the corner, where the
// page draws the top two: a window under them is out of the drawing (and of
// style and layout), whatever its content or font, until it comes to the
// top. When more than a hundred new windows must be read at once, their
// places are read first, so one that goes under is never laid out.
TEST_F(WritePaths, APileDrawsOnlyWhatShows) {
  g_setenv("VELLUMINE_PLAIN_WRITES", "0", TRUE);
  Session page((root_ / "pile").string());
  ASSERT_TRUE(page.loaded());
  ASSERT_EQ(page.EvalAsync(R"JS(
    for (var i = 0; i < 160; ++i) Skerrow.AddMemo(document, "pile " + i, "text " + i + "\nmore");
    await new Promise(function (r) { setTimeout(r, 0); });
    return "ok";)JS"),
            "ok");
  // The windows under the pile, where the top two stand, and the pile's
  // windows drawn below its top two: a new window's place fans out from the
  // last, so every new shown window after the first under is in the pile.
  // All under are brought up for a moment (the page puts them back under
  // once it sees the change).
  const std::string probe = R"JS(
    await new Promise(function (r) { setTimeout(r, 0); });
    var all = Array.from(document.querySelectorAll("#memofield > div"));
    var under = all.filter(function (w) { return w.getAttribute("aria-hidden") == "true"; });
    var drawn = under.filter(function (w) { return getComputedStyle(w).display != "none"; });
    var tops = all.slice(-2), vw = document.documentElement.clientWidth,
        vh = document.documentElement.clientHeight;
    var corner = tops.every(function (t) {
      var r = t.getBoundingClientRect();
      return t.getAttribute("aria-hidden") === null && Math.abs(r.right - vw) < 1 &&
             Math.abs(r.bottom - vh) < 1;
    });
    var last = under.length ? all.indexOf(under[under.length - 1]) : -1;
    var showing = all.slice(under.length ? all.indexOf(under[0]) : all.length)
        .filter(function (w) {
          return w.getAttribute("aria-hidden") === null && !/px$/.test(w.style.left) &&
                 w.style.visibility != "hidden" && !w.style.zIndex;
        }).slice(0, -2);
    under.forEach(function (w) { w.removeAttribute("aria-hidden"); });
    // Brought up, a window draws its lines again (what is out of the
    // drawing keeps its children out only while it is).
    var blank = under.filter(function (u) {
      var lines = u.querySelectorAll("[id$='_view_value'] > pre");
      return lines.length == 0 || Array.from(lines).some(function (p) {
        return p.getClientRects().length == 0; });
    });
    await new Promise(function (r) { setTimeout(r, 0); });
    return JSON.stringify({ under: under.length, drawn: drawn.length, corner: corner,
                            belowTops: last < all.length - 2,
                            showing: showing.map(function (u) { return u.id; }),
                            blank: blank.map(function (u) { return u.id; }),
                            back: all.filter(function (u) {
                              return u.getAttribute("aria-hidden") == "true"; }).length });)JS";
  auto check = [&](const char* after) {
    const auto pile = nlohmann::json::parse(page.EvalAsync(probe));
    SCOPED_TRACE(std::string(after) + ": " + pile.dump());
    EXPECT_GE(pile["under"].get<int>(), 10);
    EXPECT_EQ(pile["drawn"], 0);
    EXPECT_TRUE(pile["corner"]);
    EXPECT_TRUE(pile["belowTops"]);
    EXPECT_EQ(pile["showing"], nlohmann::json::array());
    EXPECT_EQ(pile["blank"], nlohmann::json::array());
    EXPECT_EQ(pile["back"], pile["under"]);
    return pile;
  };
  // A smaller window on top sends one more under (the one that was second).
  const int under = check("the memos added")["under"].get<int>();
  page.Eval("Skerrow.AddMemo(document, 'small', 'x'); ''");
  EXPECT_EQ(check("a small memo added")["under"].get<int>(), under + 1);
  // A window under the pile that grows taller than the top two stays under.
  const std::string lines = R"JS("long\n".repeat(40))JS";
  EXPECT_EQ(page.EvalAsync("var u = document.querySelector('#memofield > div[aria-hidden]');"
                           "Skerrow.RenewMemo(document, 'grown', " +
                           lines +
                           ", Array.from(u.parentNode.children).indexOf(u));"
                           "await new Promise(function (r) { setTimeout(r, 0); });"
                           "return String(Array.from(document.querySelectorAll('#memofield > div'))"
                           ".filter(function (w) { return w.textContent.indexOf('grown') >= 0 &&"
                           " w.getAttribute('aria-hidden') === 'true'; }).length);"),
            "1");
  check("a memo under the pile grown");
  // A new text colour alone leaves the windows under where they are.
  EXPECT_EQ(page.EvalAsync("var u = document.querySelector('#memofield > div[aria-hidden]');"
                           "u.querySelectorAll('*').forEach(function (e) {"
                           " e.style.color = 'blue'; });"
                           "await new Promise(function (r) { setTimeout(r, 0); });"
                           "return String(u.getAttribute('aria-hidden'));"),
            "true");
  // Every window's font grows: the pile stays one, and no window under it
  // comes into the drawing to be read. Counted at each read of a window's
  // place: the memo windows then in the drawing.
  const std::string count_drawn = R"JS(
    var most = 0, proto = HTMLElement.prototype;
    var own = Object.getOwnPropertyDescriptor(proto, "offsetLeft");
    function inDrawing() {
      return document.querySelectorAll("#memofield > div:not([aria-hidden='true'])").length;
    }
    Object.defineProperty(proto, "offsetLeft", { configurable: true, get: function () {
      most = Math.max(most, inDrawing());
      return own.get.call(this);
    } });)JS";
  const auto grown = nlohmann::json::parse(page.EvalAsync(count_drawn + R"JS(
    var before = inDrawing();
    try {
      Skerrow.ChangeOption(document, "MenuFontSize", 3);
      await new Promise(function (r) { setTimeout(r, 0); });
    } finally {
      Object.defineProperty(proto, "offsetLeft", own);
    }
    return JSON.stringify({ before: before, most: most, after: inDrawing() });)JS"));
  SCOPED_TRACE(grown.dump());
  EXPECT_GT(grown["most"].get<int>(), 0);
  EXPECT_EQ(grown["most"], grown["before"]);
  EXPECT_EQ(grown["after"], grown["before"]);
  check("the font changed");
  // The page drawn anew: every memo window is new, and one that goes under
  // the pile is never laid out with its lines (its place is read with its
  // frame alone). Counted at each read of a window's place: the memo windows
  // then in the drawing with their lines.
  const auto drawn = nlohmann::json::parse(page.EvalAsync(count_drawn + R"JS(
    try {
      document.getElementById("memofield").innerHTML = "";
      Skerrow.InitPage(document);
      await new Promise(function (r) { setTimeout(r, 0); });
    } finally {
      Object.defineProperty(proto, "offsetLeft", own);
    }
    return JSON.stringify({ most: most, after: inDrawing(),
                            windows: document.querySelectorAll("#memofield > div").length });)JS"));
  SCOPED_TRACE(drawn.dump());
  EXPECT_GT(drawn["windows"].get<int>(), drawn["after"].get<int>() + 100);
  EXPECT_LE(drawn["most"].get<int>(), drawn["after"].get<int>());
  check("the page drawn anew");
  // One window under the pile is restyled as the control restyles a
  // window, every element of it, to a larger font: it stays under.
  EXPECT_EQ(page.EvalAsync("var u = document.querySelector('#memofield > div[aria-hidden]');"
                           "u.querySelectorAll('*').forEach(function (e) {"
                           " e.style.fontSize = '30px'; e.style.color = 'red'; });"
                           "await new Promise(function (r) { setTimeout(r, 0); });"
                           "return String(u.getAttribute('aria-hidden'));"),
            "true");
  check("a memo under the pile restyled");
  // The top window goes: the one under the top two comes up into the
  // corner, drawn with its lines.
  const int before_removal = check("before the top memo goes")["under"].get<int>();
  page.Eval(
      "Skerrow.RemoveMemo(document, document.getElementById('memofield')"
      ".children.length - 1); ''");
  EXPECT_EQ(check("the top memo removed")["under"].get<int>(), before_removal - 1);
  // A window under the pile placed by a record of its own leaves the pile
  // and is drawn where it was put.
  EXPECT_EQ(page.EvalAsync("var all = document.querySelectorAll('#memofield > div[aria-hidden]');"
                           "var u = all[all.length - 1];"
                           "u.style.left = '40px'; u.style.top = '50px';"
                           "await new Promise(function (r) { setTimeout(r, 0); });"
                           "var r = u.getBoundingClientRect();"
                           "return [String(u.getAttribute('aria-hidden')), r.left, r.top].join();"),
            "null,40,50");
  check("a memo under the pile placed");
}

// A memo or link menu window that is hidden is out of the drawing until it
// is shown again, by the control's writes or by the page: shown by the
// page, it is drawn at once, so that the focus can move into it; shown, it
// stands where it stood.
TEST_F(WritePaths, AHiddenWindowIsOutOfTheDrawingUntilShown) {
  g_setenv("VELLUMINE_PLAIN_WRITES", "0", TRUE);
  Session page((root_ / "hidden").string());
  ASSERT_TRUE(page.loaded());
  const auto seen = nlohmann::json::parse(page.EvalAsync(R"JS(
    for (var i = 0; i < 5; ++i) Skerrow.AddMemo(document, "memo " + i, "text " + i);
    Skerrow.MakeLinkMenu(document, "menu", -1);
    var tick = function () { return new Promise(function (r) { setTimeout(r, 0); }); };
    await tick();
    var memo = document.getElementById("memofield").children[2];
    var menu = document.getElementById("linkfield").children[0];
    var box = function (w) { var r = w.getBoundingClientRect(); return [r.left, r.top, r.width, r.height].join(); };
    var drawn = function (w) { return w.getClientRects().length > 0; };
    var before = box(memo);
    var out = {};
    // Hidden by the page, and as the control hides a window.
    change(memo.id);
    menu.style.visibility = "hidden";
    await tick();
    out.hidden = [memo.getAttribute("aria-hidden"), drawn(memo), menu.getAttribute("aria-hidden"), drawn(menu)];
    // Its place still reads as the control reads it.
    out.left = memo.style.left || String(memo.offsetLeft);
    // Shown by the page: drawn before the page has tidied.
    change(memo.id);
    var line = memo.querySelector("[data-kb]");
    if (line) line.focus();
    out.shownAtOnce = [drawn(memo), !!line && document.activeElement === line];
    menu.style.visibility = "visible";
    await tick();
    out.shown = [memo.getAttribute("aria-hidden"), drawn(memo), menu.getAttribute("aria-hidden"), drawn(menu)];
    out.sameBox = box(memo) == before;
    return JSON.stringify(out);)JS"));
  SCOPED_TRACE(seen.dump());
  EXPECT_EQ(seen["hidden"], nlohmann::json::parse(R"(["true", false, "true", false])"));
  EXPECT_NE(seen["left"], "0");
  EXPECT_EQ(seen["shownAtOnce"], nlohmann::json::parse("[true, true]"));
  EXPECT_EQ(seen["shown"], nlohmann::json::parse("[null, true, null, true]"));
  EXPECT_TRUE(seen["sameBox"]);
}

// A window a call hides is out of the drawing when the call returns, and
// one it shows is back in it: nothing lays either out in between.
TEST_F(WritePaths, AWindowACallHidesIsOutOfTheDrawingWhenTheCallReturns) {
  g_setenv("VELLUMINE_PLAIN_WRITES", "0", TRUE);
  Session page((root_ / "hidden-by-call").string());
  ASSERT_TRUE(page.loaded());
  const auto seen = nlohmann::json::parse(page.EvalAsync(R"JS(
    for (var i = 0; i < 3; ++i) Skerrow.AddMemo(document, "memo " + i, "text " + i);
    await new Promise(function (r) { setTimeout(r, 0); });
    var id = document.getElementById("memofield").children[1].id;
    var state = function () {
      var w = document.getElementById(id);
      return [w.style.visibility, w.getAttribute("aria-hidden"), w.getClientRects().length > 0];
    };
    var out = {};
    Skerrow.SetWndPos(id, 40, 50, 0);
    Skerrow.InitPage(document);
    out.hidden = state();
    Skerrow.SetWndPos(id, 40, 50, 1);
    Skerrow.InitPage(document);
    out.shown = state();
    return JSON.stringify(out);)JS"));
  SCOPED_TRACE(seen.dump());
  EXPECT_EQ(seen["hidden"], nlohmann::json::parse(R"(["hidden", "true", false])"));
  EXPECT_EQ(seen["shown"], nlohmann::json::parse(R"(["visible", null, true])"));
}

// The page's own panels leave the drawing while hidden too, and come back
// at once when opened; one with something inside made visible on its own
// stays drawn, since that shows.
TEST_F(WritePaths, AHiddenPanelIsOutOfTheDrawingUnlessSomethingInsideShows) {
  g_setenv("VELLUMINE_PLAIN_WRITES", "0", TRUE);
  Session page((root_ / "panels").string());
  ASSERT_TRUE(page.loaded());
  const auto seen = nlohmann::json::parse(page.EvalAsync(R"JS(
    var tick = function () { return new Promise(function (r) { setTimeout(r, 0); }); };
    var option = document.getElementById("option");
    var drawn = function (w) { return w.getClientRects().length > 0; };
    var out = {};
    await tick();
    out.closed = [option.getAttribute("aria-hidden"), drawn(option)];
    change("option");
    out.openedAtOnce = [drawn(option), option.offsetWidth > 0];
    await tick();
    out.opened = [option.getAttribute("aria-hidden"), drawn(option)];
    change("option");
    await tick();
    out.closedAgain = [option.getAttribute("aria-hidden"), drawn(option)];
    var line = document.getElementById("option_menu");
    line.style.visibility = "visible";
    await tick();
    out.insideShown = [option.getAttribute("aria-hidden"), drawn(line)];
    line.style.visibility = "";
    await tick();
    out.insideHidden = [option.getAttribute("aria-hidden"), drawn(option)];
    return JSON.stringify(out);)JS"));
  SCOPED_TRACE(seen.dump());
  EXPECT_EQ(seen["closed"], nlohmann::json::parse(R"(["true", false])"));
  EXPECT_EQ(seen["openedAtOnce"], nlohmann::json::parse("[true, true]"));
  EXPECT_EQ(seen["opened"], nlohmann::json::parse("[null, true]"));
  EXPECT_EQ(seen["closedAgain"], nlohmann::json::parse(R"(["true", false])"));
  EXPECT_EQ(seen["insideShown"], nlohmann::json::parse("[null, true]"));
  EXPECT_EQ(seen["insideHidden"], nlohmann::json::parse(R"(["true", false])"));
}

// At start-up the control writes every window at once (InitPage, in the
// body's onload): the engine's first layout, whoever asks for it, lays out
// no more than a hundred of them, and the page then shows the same piles as
// when the windows were added one by one.
TEST_F(WritePaths, StartUpLaysOutAHundredWindowsAtMost) {
  g_setenv("VELLUMINE_PLAIN_WRITES", "0", TRUE);
  const fs::path data = root_ / "start";
  std::string added;
  {
    Session page(data.string());
    ASSERT_TRUE(page.loaded());
    added = page.EvalAsync(R"JS(
      for (var i = 0; i < 160; ++i) Skerrow.AddMemo(document, "pile " + i, "text " + i + "\nmore");
      await new Promise(function (r) { setTimeout(r, 0); });
      return Array.from(document.querySelectorAll("#memofield > div"))
          .map(function (w) { return w.getAttribute("aria-hidden") == "true" ? "u" : "s"; }).join("");)JS");
  }
  ASSERT_EQ(added.size(), 160u) << added;
  // Runs before the page's own scripts: its load listener comes first.
  const fs::path probe = root_ / "first-layout.js";
  WriteAll(probe, R"JS(
    document.addEventListener("DOMContentLoaded", function () {
      window.addEventListener("load", function () {
        document.body.offsetHeight;
        window.firstLayout = Array.from(document.querySelectorAll("#memofield > div"))
            .filter(function (w) { return getComputedStyle(w).display != "none"; }).length;
      });
    });)JS");
  g_setenv("VELLUMINE_TIMING_SCRIPT", probe.c_str(), TRUE);
  Session page(data.string());
  g_unsetenv("VELLUMINE_TIMING_SCRIPT");
  ASSERT_TRUE(page.loaded());
  const auto seen = nlohmann::json::parse(page.EvalAsync(R"JS(
    await new Promise(function (r) { setTimeout(r, 0); });
    return JSON.stringify({ first: window.firstLayout,
      piles: Array.from(document.querySelectorAll("#memofield > div"))
          .map(function (w) { return w.getAttribute("aria-hidden") == "true" ? "u" : "s"; }).join("") });)JS"));
  SCOPED_TRACE(seen.dump());
  ASSERT_TRUE(seen["first"].is_number());
  EXPECT_LE(seen["first"].get<int>(), 100);
  EXPECT_EQ(seen["piles"], added);
}

// A window under a pile is not laid out, yet a record made from it (its own
// options) keeps the place it stands at, on both write paths.
TEST_F(WritePaths, AWindowUnderAPileKeepsItsPlaceInItsRecord) {
  for (const char* plain : {"0", "1"}) {
    SCOPED_TRACE(std::string("plain writes ") + plain);
    g_setenv("VELLUMINE_PLAIN_WRITES", plain, TRUE);
    Session page((root_ / (std::string("pile-place-") + plain)).string());
    ASSERT_TRUE(page.loaded());
    const auto found = nlohmann::json::parse(page.EvalAsync(R"JS(
      for (var i = 0; i < 60; ++i) Skerrow.AddMemo(document, "pile " + i, "text " + i + "\nmore");
      await new Promise(function (r) { setTimeout(r, 0); });
      await new Promise(function (r) { setTimeout(r, 0); });
      var u = document.querySelector("#memofield > div[aria-hidden='true']");
      if (!u || !u.id) return JSON.stringify({ id: "" });
      u.removeAttribute("aria-hidden");
      var x = u.offsetLeft, y = u.offsetTop;
      u.setAttribute("aria-hidden", "true");
      await new Promise(function (r) { setTimeout(r, 0); });
      return JSON.stringify({ id: u.id, x: x, y: y,
                              under: u.getAttribute("aria-hidden") == "true" });)JS"));
    const std::string id = found["id"].get<std::string>();
    ASSERT_FALSE(id.empty()) << found.dump();
    ASSERT_TRUE(found["under"].get<bool>());
    ASSERT_NE(found["x"].get<int>(), 0);
    // The record made by a window option is what a redraw places it by.
    EXPECT_EQ(page.EvalAsync("Skerrow.ChangeWindowOption(document, '" + id +
                             "', 'TextColor', 5);"
                             "Skerrow.InitPage(document);"
                             "var w = document.getElementById('" +
                             id +
                             "');"
                             "return w.style.left + ',' + w.style.top;"),
              std::to_string(found["x"].get<int>()) + "px," +
                  std::to_string(found["y"].get<int>()) + "px");
  }
}

// The page keeps what it read of each memo window until something changes
// it: a window that grows, or whose field's font grows, past the edge of
// the view is still shown inside it.
TEST_F(WritePaths, AWindowThatGrowsPastTheEdgeIsStillShownInView) {
  g_setenv("VELLUMINE_PLAIN_WRITES", "0", TRUE);
  Session page((root_ / "grow").string());
  ASSERT_TRUE(page.loaded());
  // Where the memo window stands in view, once the page has seen the change.
  const std::string box = R"JS(
    await new Promise(function (r) { setTimeout(r, 0); });
    var w = document.getElementById("memofield").children[0], r = w.getBoundingClientRect();
    return JSON.stringify({ vw: document.documentElement.clientWidth,
                            vh: document.documentElement.clientHeight,
                            left: r.left, top: r.top, right: r.right, bottom: r.bottom });)JS";
  auto inView = [&](const char* after) {
    const auto b = nlohmann::json::parse(page.EvalAsync(box));
    SCOPED_TRACE(std::string(after) + ": " + b.dump());
    EXPECT_GE(b["left"].get<double>(), -0.5);
    EXPECT_GE(b["top"].get<double>(), -0.5);
    EXPECT_LE(b["right"].get<double>(), b["vw"].get<double>() + 0.5);
    EXPECT_LE(b["bottom"].get<double>(), b["vh"].get<double>() + 0.5);
    return b;
  };
  ASSERT_EQ(page.EvalAsync(R"JS(
    Skerrow.AddMemo(document, "edge", "one line");
    await new Promise(function (r) { setTimeout(r, 0); });
    var w = document.getElementById("memofield").children[0];
    var vw = document.documentElement.clientWidth, vh = document.documentElement.clientHeight;
    Skerrow.SetWndPos(w.id, vw - w.offsetWidth - 4, vh - w.offsetHeight - 4, 1);
    Skerrow.InitPage(document);
    return "ok";)JS"),
            "ok");
  const auto small = inView("the memo at the corner");
  page.Eval(R"JS(Skerrow.RenewMemo(document, "edge", "long\n".repeat(30), 0); '')JS");
  const auto tall = inView("the memo grown taller");
  EXPECT_GT(tall["bottom"].get<double>() - tall["top"].get<double>(),
            small["bottom"].get<double>() - small["top"].get<double>() + 100);
  page.Eval("document.getElementById('memofield').style.fontSize = '30px'; ''");
  const auto wide = inView("the field's font grown");
  EXPECT_GT(wide["right"].get<double>() - wide["left"].get<double>(),
            tall["right"].get<double>() - tall["left"].get<double>() + 100);
}

// After each call, what the page made of the windows (their place in view,
// shadow, ink, and which are under a pile) is what it makes of them looking
// at every window afresh: through the page writer, which tells the page
// what a call restyled, and through the plain writes, which it records.
// Each write path in a test of its own: one app per test.
void ExpectWhatThePageMadeToBeAFreshLook(const fs::path& root, const char* plain) {
  {
    g_setenv("VELLUMINE_PLAIN_WRITES", plain, TRUE);
    Session page((root / (std::string("told-") + plain)).string());
    ASSERT_TRUE(page.loaded());
    const auto result = nlohmann::json::parse(page.EvalAsync(R"JS(
    function settle() { return new Promise(function (r) { setTimeout(r, 0); }); }
    for (var i = 0; i < 120; ++i) Skerrow.AddMemo(document, "pile " + i, "text " + i + "\nmore");
    Skerrow.MakeLinkMenu(document, "menu", -1);
    await settle();
    var field = document.getElementById("memofield");
    var edge = field.children[0];
    Skerrow.SetWndPos(edge.id, document.documentElement.clientWidth - edge.offsetWidth - 2,
                      document.documentElement.clientHeight - edge.offsetHeight - 2, 1);
    Skerrow.InitPage(document);
    await settle();
    var told = 0, react = window.reactToCall;
    window.reactToCall = function () { ++told; return react(); };
    function seen() {
      return Array.from(allWindows()).map(function (e) {
        var l = lookOf(e);
        return e.id + " " + (e.getAttribute("aria-hidden") || "-") + " " + l.dx + "," + l.dy +
               " " + l.dark + " " + l.flat;
      });
    }
    function afresh() {
      known = new WeakMap();
      Array.from(allWindows()).forEach(function (e) {
        if (under.has(e)) {
          under.delete(e);
          e.removeAttribute("aria-hidden");
        }
      });
      tidy();
    }
    var first = function () { return document.getElementById("memofield").children[0].id; };
    var steps = [
      ["MenuFontSize up", function () { Skerrow.ChangeOption(document, "MenuFontSize", 1); }],
      ["MenuFontSize up", function () { Skerrow.ChangeOption(document, "MenuFontSize", 1); }],
      ["MenuTextColor", function () { Skerrow.ChangeOption(document, "MenuTextColor", 1); }],
      ["MenuTextColor", function () { Skerrow.ChangeOption(document, "MenuTextColor", 6); }],
      ["window FontSize", function () { Skerrow.ChangeWindowOption(document, first(), "FontSize", 4); }],
      ["window TextColor", function () { Skerrow.ChangeWindowOption(document, first(), "TextColor", 3); }],
      ["grown", function () { Skerrow.RenewMemo(document, "edge", "long line ".repeat(12), 0); }],
      ["MenuFontSize down", function () { Skerrow.ChangeOption(document, "MenuFontSize", -2); }],
      ["LinkItemNum", function () { Skerrow.ChangeOption(document, "LinkItemNum", 1); }]
    ];
    var differs = [], moved = 0, underCount = 0;
    for (var k = 0; k < steps.length; ++k) {
      steps[k][1]();
      await settle();
      var now = seen();
      afresh();
      var fresh = seen();
      underCount = Math.max(underCount, now.filter(function (l) { return / true /.test(l); }).length);
      moved += now.filter(function (l) { return !/ 0,0 /.test(l); }).length;
      for (var j = 0; j < now.length; ++j) {
        if (now[j] !== fresh[j]) { differs.push(steps[k][0] + ": " + now[j] + " / " + fresh[j]); break; }
      }
    }
    return JSON.stringify({ told: told, differs: differs, moved: moved, under: underCount });)JS"));
    SCOPED_TRACE(result.dump());
    EXPECT_EQ(result["differs"], nlohmann::json::array());
    // The writer told the page of the calls (the plain writes leave the page
    // to record them), some windows stood shifted into view, and the pile had
    // windows under it: the comparison saw all three.
    EXPECT_GE(result["told"].get<int>(), plain[0] == '0' ? 9 : 0);
    EXPECT_GT(result["moved"].get<int>(), 0);
    EXPECT_GT(result["under"].get<int>(), 10);
  }
}

TEST_F(WritePaths, WhatTheWriterToldKeepsThePageAsAFreshLookWould) {
  ExpectWhatThePageMadeToBeAFreshLook(root_, "0");
}

TEST_F(WritePaths, WhatThePlainWritesLeaveIsWhatAFreshLookMakes) {
  ExpectWhatThePageMadeToBeAFreshLook(root_, "1");
}

// The writer's script, as the app compiles it in.
constexpr char kWriterScript[] =
#include "page_writer_script.inc"
    ;

// What both writer-alone drivers start from: the writer's script, then a root
// of the given id in the live page, written through the writer, and its twin
// in an inactive document, written plainly; and the host's form of a walk's
// style write.
std::string WriterAlone(const std::string& root_id) {
  return "var writer = (\n" + std::string(kWriterScript) + "\n);\n" +
         R"JS(var live = document.createElement("div");
live.id = ")JS" +
         root_id + R"JS(";
document.body.appendChild(live);
var plainDoc = document.implementation.createHTMLDocument("");
var plain = plainDoc.createElement("div");
plain.id = live.id;
plainDoc.body.appendChild(plain);
// A write of a walk's batch as the host makes it: the element's step from
// the one written last (none for the same), "=" for the value the batch's
// last write of that property had.
function entry(last, i, p, v) {
  var same = last[p] === v;
  last[p] = v;
  var step = i - (last.at || 0);
  last.at = i;
  return (step === 0 ? "" : step) + ":" + p + ":" + (same ? "=" : v.length + ":" + v);
}
)JS";
}

// The writer on its own, driven as the host drives it, against the same
// operations written plainly into an inactive document: nested contents
// written over and again within one call, walks with the same style batch
// and with another, lookups, reads and page changes between calls. The
// control's calls reach only some of these orders.
constexpr char kWriterDriver[] = R"JS(
function line() { return one(["a", "b &amp; c", "", "d\ne", "<b>f</b>", "<span id='t-s" + pick(3) + "'>g</span>"]); }
function window_(n) {
  var lines = "";
  for (var i = pick(4); i > 0; --i) lines += "<pre>" + line() + "</pre>";
  return "<div id='t-w" + n + "' style='" + one(["left:1px;top:2px", "visibility:inherit", ""]) + "'>" +
         "<div id='t-w" + n + "_v'" + one(["", " style='visibility:hidden'"]) + ">" + lines + "</div>" +
         "<div id='t-w" + n + "_o'><pre><span id='t-w" + n + "_x'>" + one(["on", "off"]) +
         "</span></pre></div></div>";
}
function markup(id) {
  if (id == "t-root") {
    var m = "";
    for (var i = 0; i < 1 + pick(4); ++i) m += window_(one([0, 1, 2, 3, 4]));
    return m + one(["", "text", "<!-- c -->"]);
  }
  if (/_x$/.test(id) || /^t-s/.test(id)) return one(["on", "off", "<i>x</i>"]);
  if (/_v$/.test(id) || /_o$/.test(id)) return one(["<pre>a</pre>", "<pre>a</pre><pre>b</pre>", line()]);
  return one([window_(pick(5)).replace(/^<div[^>]*>/, "").replace(/<\/div>$/, ""), "<pre>z</pre>"]);
}
var marks = new Map(), numbers = 0, log = [];
function write(id, w, p, given) {
  var m = given !== undefined ? given : one([markup(id), (marks.get(id) || {}).markup || markup(id)]);
  var last = marks.get(id);
  log.push("html " + id + (last && last.markup == m ? " (again)" : ""));
  if (!(last && last.markup == m && writer.again(w, last.number))) {
    marks.set(id, { markup: m, number: ++numbers });
    writer.html(w, m, numbers);
  }
  p.innerHTML = m;
}
var names = { c: "color", f: "fontFamily", s: "fontSize" };
var theme = 0;
function walk(w, p) {
  writer.descendants(w);
  var tags = writer.tags();
  var list = p.querySelectorAll("*");
  var count = tags === "" ? 0 : tags.split("\n").length;
  if (count != list.length) throw new Error("the walk found " + count + " elements, not " + list.length);
  // Now and then from the last element back: the batch then steps back.
  var batch = "", last = {}, back = pick(4) == 0;
  for (var n = 0; n < list.length; ++n) {
    var i = back ? list.length - 1 - n : n;
    var props = theme % 3 == 2 && i % 2 ? ["c", "s", "c"] : ["c", "f", "s"];
    for (var k = 0; k < props.length; ++k) {
      var v = props[k] == "c" ? ["red", "rgb(0, 0, 255)", "#123456"][(theme + k) % 3]
            : props[k] == "f" ? ["serif", "\"ＭＳ ゴシック\""][theme % 2] : ["13px", "15px"][theme % 2];
      batch += entry(last, i, props[k], v);
      list[i].style[names[props[k]]] = v;
    }
  }
  log.push("walk " + (w.id || "?") + " theme " + theme + (back ? " back" : ""));
  writer.styles(batch);
}
function path(e, root) {
  var out = [];
  for (; e && e !== root; e = e.parentNode) out.unshift(Array.prototype.indexOf.call(e.parentNode.childNodes, e));
  return out.join(".");
}
function ids() {
  return [plain].concat(Array.from(plain.querySelectorAll("[id]"))).map(function (e) { return e.id; });
}
// What the control's redraw does at the end of a call: everything written
// again, mostly as it was, then one walk styling it all; or, as a redraw of
// memo windows and then of link menus goes, a walk after each half.
function redraw() {
  var list = ids(), halves = rnd() < 0.5;
  log.push("redraw" + (halves ? " in halves" : ""));
  for (var k = 0; k < list.length; ++k) {
    var w = writer.find(list[k]), p = plainDoc.getElementById(list[k]), last = marks.get(list[k]);
    if (w && p && last && rnd() < 0.85) write(list[k], w, p, rnd() < 0.9 ? last.markup : markup(list[k]));
    if (halves && k == list.length >> 1) walk(writer.find("t-root"), plain);
  }
  walk(writer.find("t-root"), plain);
}
function call() {
  if (redrawFirst && rnd() < 0.3) redraw();
  if (rnd() < 0.3) theme = pick(4);
  for (var n = 1 + pick(6); n > 0; --n) {
    var id = one(ids());
    var w = writer.find(id), p = plainDoc.getElementById(id);
    if (!w || !p) throw new Error("the lookup of " + id + " found " + !!w + " and " + !!p);
    if (path(w, live) != path(p, plain)) throw new Error("the lookup of " + id + " found " + path(w, live) + " and " + path(p, plain));
    var r = rnd();
    if (r < 0.4) write(id, w, p);
    else if (r < 0.65) walk(w, p);
    else if (r < 0.72) {
      var prop = one(["color", "fontSize", "left", "top", "visibility", "margin"]);
      var v = one(["", "3px", "red", "hidden"]);
      log.push("style " + id + " " + prop + " " + v);
      writer.style(w, prop, v);
      p.style[prop] = v;
    } else if (r < 0.77) {
      var got = writer.inline(w, "color"), want = p.style.color;
      log.push("inline " + id);
      if (got !== want) throw new Error("inline color of " + id + ": " + got + " not " + want);
    } else if (r < 0.82) {
      var name = one(["title", "style", "class"]), value = one(["", "x", "color: red"]);
      log.push("attr " + id + " " + name + " " + value);
      writer.attr(w, name, value);
      p.setAttribute(name, value);
    } else if (r < 0.86) {
      log.push("text " + id);
      writer.text(w, "t\nu");
      p.innerText = "t\nu";
    } else if (r < 0.9 && id != "t-root") {
      var o = window_(pick(5));
      log.push("outer " + id);
      writer.outer(w, o);
      p.outerHTML = o;
    } else {
      log.push("layout " + id);
      writer.layout(w, "offsetWidth");
    }
  }
  if (!redrawFirst && rnd() < 0.3) redraw();
  writer.end();
  log.push("end");
}
// What the page's own script does between calls.
function act() {
  var id = one(ids());
  var w = document.getElementById(id), p = plainDoc.getElementById(id);
  var r = rnd();
  log.push("page " + id);
  [w, p].forEach(function (e) {
    if (r < 0.4) e.style.color = "green";
    else if (r < 0.6) e.setAttributeNS("urn:vellumine-test", "aria-mark", "mark");
    else if (r < 0.8) e.appendChild(e.ownerDocument.createTextNode("+"));
    else e.setAttribute("title", "page");
  });
}
// The tree with each element's attributes in name order. A style the walk
// gives a new node joins its attributes only when they are next read, so an
// attribute set later in the call comes before it; on a kept node it comes
// after. The order is all that differs then.
function sorted(root) {
  var out = [];
  (function visit(n) {
    if (n.nodeType != 1) {
      out.push(n.nodeType + ":" + n.nodeValue);
      return;
    }
    out.push("<" + n.localName + " " + Array.from(n.attributes).map(function (a) {
      return (a.namespaceURI || "") + "|" + a.name + "=" + a.value;
    }).sort().join(" ") + ">");
    for (var c = n.firstChild; c; c = c.nextSibling) visit(c);
    out.push("</" + n.localName + ">");
  })(root);
  return out.join("\n");
}
var i = 0;
try {
  for (; i < steps; ++i) {
    if (i > 0 && rnd() < 0.15) act();
    call();
    if (redrawFirst ? sorted(live) != sorted(plain) : live.innerHTML != plain.innerHTML) {
      return "differs after step " + i + ":\n" + log.slice(-60).join("\n") +
             "\nwriter: " + live.innerHTML + "\nplain:  " + plain.innerHTML;
    }
  }
} catch (e) {
  return "step " + i + ": " + e + "\n" + log.slice(-60).join("\n");
} finally {
  live.remove();
}
return "same";
)JS";

TEST_F(WritePaths, TheWriterAloneLeavesWhatThePlainWritesDo) {
  g_setenv("VELLUMINE_PLAIN_WRITES", "1", TRUE);
  Session page((root_ / "alone").string());
  ASSERT_TRUE(page.loaded());
  // A redraw at the end of a call, as the control does it, and one at its
  // start, with more writes into the redrawn windows after it (compared with
  // each element's attributes in name order, see sorted()).
  for (const bool first : {false, true}) {
    for (int seed = 1; seed <= 30; ++seed) {
      const std::string body = "var seed = " + std::to_string(seed) +
                               ", steps = 800, redrawFirst = " + (first ? "true" : "false") +
                               ";\n" + WriterAlone("t-root") + kRandom + kWriterDriver;
      EXPECT_EQ(page.EvalAsync(body), "same") << "seed " << seed << (first ? ", redraw first" : "");
    }
  }
}

// A redraw writes every window again, mostly as it was, and then styles the
// whole page in one walk. A window written again as it was keeps the styles
// that walk gave it last time only when the walk gives them again, and
// nothing else changed them meanwhile.
constexpr char kRedrawDriver[] = R"JS(
function inner(n, lines) {
  var m = "<div id='r-w" + n + "_v'>";
  for (var i = 0; i < lines; ++i) m += "<pre>line " + i + "</pre>";
  return m + "</div><pre><span id='r-w" + n + "_x'>on</span></pre>";
}
var numbers = 0, marks = {};
function write(id, markup) {
  var w = writer.find(id), p = plainDoc.getElementById(id), last = marks[id];
  if (!(last && last.markup == markup && writer.again(w, last.number))) {
    marks[id] = { markup: markup, number: ++numbers };
    writer.html(w, markup, numbers);
  }
  p.innerHTML = markup;
}
// Every DIV and PRE in the colour of its window; with sizes, the PREs of
// the windows it names in that size too.
function walk(colours, sizes) {
  writer.descendants(live);
  var list = plain.querySelectorAll("*"), batch = "", last = {};
  for (var i = 0; i < list.length; ++i) {
    if (list[i].tagName != "DIV" && list[i].tagName != "PRE") continue;
    var w = list[i].closest("#r-root > div"), v = colours[w.id];
    batch += entry(last, i, "c", v);
    list[i].style.color = v;
    var size = sizes && list[i].tagName == "PRE" ? sizes[w.id] : undefined;
    if (size) {
      batch += entry(last, i, "s", size);
      list[i].style.fontSize = size;
    }
  }
  writer.styles(batch);
}
// As the control draws a field: the windows' empty frames, then each
// window's content.
var lines = [2, 3, 1];
function windows() {
  var m = "";
  for (var n = 0; n < lines.length; ++n) m += "<div id='r-w" + n + "'></div>";
  return m;
}
function rewrite() {
  write("r-root", windows());
  for (var n = 0; n < lines.length; ++n) write("r-w" + n, inner(n, lines[n]));
}
// One window in red (as one with options of its own is styled).
function walkOne() {
  writer.descendants(writer.find("r-w1"));
  var list = plainDoc.getElementById("r-w1").querySelectorAll("*"), batch = "", last = {};
  for (var i = 0; i < list.length; ++i) {
    batch += entry(last, i, "c", "red");
    list[i].style.color = "red";
  }
  writer.styles(batch);
}
var first = { "r-w0": "red", "r-w1": "blue", "r-w2": "green" };
var second = { "r-w0": "red", "r-w1": "purple", "r-w2": "green" };
var big = { "r-w0": "20px" };
// As a redraw goes: the windows' frames and the first two windows drawn,
// the page walked, the last window drawn, and the page walked again (with
// between() done before the last window is drawn).
function twoWalks(a, sizes, b, laterSizes, between) {
  write("r-root", windows());
  for (var n = 0; n < lines.length - 1; ++n) write("r-w" + n, inner(n, lines[n]));
  walk(a, sizes);
  if (between) between();
  var last = lines.length - 1;
  write("r-w" + last, inner(last, lines[last]));
  if (b) walk(b, laterSizes);
}
var steps = [
  ["drawn", function () { rewrite(); walk(first); }],
  ["the same again", function () { rewrite(); walk(first); }],
  ["and again", function () { rewrite(); walk(first); }],
  ["one window in another colour", function () { rewrite(); walk(second); }],
  ["back", function () { rewrite(); walk(first); }],
  ["a line recoloured by the page between calls", function () {
    live.querySelector("#r-w0_v pre").style.color = "orange";
    plain.querySelector("#r-w0_v pre").style.color = "orange";
    rewrite(); walk(first);
  }],
  ["a window with a line more", function () { lines[0] = 3; rewrite(); walk(first); }],
  ["the same again", function () { rewrite(); walk(first); }],
  ["a style written inside a window before the walk", function () {
    rewrite();
    writer.style(writer.find("r-w2_v"), "color", "pink");
    plainDoc.getElementById("r-w2_v").style.color = "pink";
    walk(first);
  }],
  ["the same again", function () { rewrite(); walk(first); }],
  ["written again with no walk", function () { rewrite(); }],
  ["drawn", function () { rewrite(); walk(second); }],
  ["a window's content written again but not the others", function () {
    write("r-w1", inner(1, lines[1]));
    walk(second);
  }],
  ["a walk over one window, then over all", function () { rewrite(); walkOne(); walk(second); }],
  ["the same again", function () { rewrite(); walk(second); }],
  ["a walk over all, then over one window", function () { rewrite(); walk(second); walkOne(); }],
  ["the same again", function () { rewrite(); walk(second); }],
  ["a style written inside a window after the walk", function () {
    rewrite();
    walk(second);
    writer.style(writer.find("r-w1_v"), "color", "pink");
    plainDoc.getElementById("r-w1_v").style.color = "pink";
  }],
  ["a walk over one window only", function () { rewrite(); walkOne(); }],
  ["a walk over all as before the last", function () { rewrite(); walk(second); }],
  ["a window taken away", function () { lines.pop(); rewrite(); walk(second); }],
  ["the same again", function () { rewrite(); walk(second); }],
  ["a window brought back", function () { lines.push(1); rewrite(); walk(second); }],
  ["two walks, the last window drawn between them", function () { twoWalks(first, big, first); }],
  ["the same again", function () { twoWalks(first, big, first); }],
  ["and again", function () { twoWalks(first, big, first); }],
  ["the second walk otherwise", function () { twoWalks(first, big, second); }],
  ["the same again", function () { twoWalks(first, big, second); }],
  ["the first walk otherwise", function () { twoWalks(second, big, second); }],
  ["the same again", function () { twoWalks(second, big, second); }],
  ["a style written between the two walks", function () {
    twoWalks(second, big, second, null, function () {
      writer.style(writer.find("r-w0_v"), "color", "pink");
      plainDoc.getElementById("r-w0_v").style.color = "pink";
    });
  }],
  ["the same again", function () { twoWalks(second, big, second); }],
  ["and again", function () { twoWalks(second, big, second); }],
  ["the first walk only", function () { twoWalks(second, big, null); }],
  ["two walks", function () { twoWalks(second, big, second); }],
  ["the same again", function () { twoWalks(second, big, second); }],
  ["a walk over one window between the two", function () { twoWalks(second, big, second, null, walkOne); }],
  ["two walks", function () { twoWalks(second, big, second); }],
  ["the same again", function () { twoWalks(second, big, second); }],
  ["a window with a line more between two walks", function () { lines[0] = 4; twoWalks(second, big, second); }],
  ["the same again", function () { twoWalks(second, big, second); }],
  ["sizes from the second walk", function () { twoWalks(second, null, second, big); }],
  ["the same again", function () { twoWalks(second, null, second, big); }],
  ["no sizes from the second walk", function () { twoWalks(second, null, second, null); }]
];
try {
  for (var i = 0; i < steps.length; ++i) {
    steps[i][1]();
    writer.end();
    if (live.innerHTML != plain.innerHTML) {
      return "differs after " + steps[i][0] + " (step " + i + "):\nwriter: " + live.innerHTML +
             "\nplain:  " + plain.innerHTML;
    }
  }
} finally {
  live.remove();
}
return "same";
)JS";

TEST_F(WritePaths, ARedrawKeepsOnlyTheStylesItWouldGiveAgain) {
  g_setenv("VELLUMINE_PLAIN_WRITES", "1", TRUE);
  Session page((root_ / "redraw").string());
  ASSERT_TRUE(page.loaded());
  EXPECT_EQ(page.EvalAsync(WriterAlone("r-root") + kRedrawDriver), "same");
}

TEST_F(WritePaths, RandomSequencesLeaveThePageAsThePlainWritesDo) {
  Compare(1, 320);
  Compare(2, 320);
  Compare(3, 320);
}

}  // namespace
}  // namespace vellumine::desktop

int main(int argc, char** argv) {
  return vellumine::desktop::e2e::Main(argc, argv, 600, "desktop_writes");
}
