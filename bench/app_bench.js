// The in-app benchmark's side in the page: put into the desktop app's page
// before the page's own scripts (VELLUMINE_TIMING_SCRIPT) by
// bench/app_bench.sh, after a line that sets window.vellumineBench to
// { command: NAME, calls: N, linkTargets: [PATH, PATH], picture: PATH,
//   lastGlobal: INDEX, settle: MS }. The app calls timingReport() until it
// settles to something other than null, and prints that. Without a command
// (an idle run) there is no yardstick either: the report waits settle
// milliseconds after the start-up (the first frames are drawn meanwhile),
// and the app then measures its idle CPU time.
//
// Every time is the page's own clock (performance.now(), whose zero is the
// navigation start):
//   startup_ms          navigation start to the end of the first layout
//                       after the body's onload (which runs InitPage)
//   startup_settled_ms  the same to the end of the page's first reaction
//                       (tidy) after the load and the layout that follows it
//   yardstick_ms        one write of the page's whole markup
//                       (document.documentElement.innerHTML) into a fresh
//                       document made with createHTMLDocument, median of 3,
//                       after the timed calls
//   call_ms             each timed call: from the call to the end of the
//                       layout that follows it and of the page's reaction
//   frame_ms            each timed call: from the call to the first frame
//                       the engine paints after that (what the user sees;
//                       no target)
// A command's setup and the undoing of its change between timed calls are
// not timed; the page has finished reacting to them before the next call.
(function () {
  "use strict";
  var config = window.vellumineBench || { command: "", calls: 5 };
  var loadedAt = -1;
  var layoutAt = -1;
  var settledAt = -1;
  var reactions = 0;
  var waiters = [];

  // The whole layout: the document's scroll height takes every box's,
  // the windows placed absolutely too; the body's offsetHeight lets the
  // engine leave those out, since they do not change the body's height.
  function layout() { return document.documentElement.scrollHeight; }

  // The page's reaction is its tidy(); wrapped once the page defined it, so
  // that the measurement knows when it has run.
  function wrapTidy() {
    var own = window.tidy;
    if (typeof own !== "function" || own.measured) return;
    var wrapped = function () {
      var result = own.apply(this, arguments);
      ++reactions;
      if (settledAt < 0 && loadedAt >= 0) {
        layout();
        settledAt = performance.now();
      }
      var ready = waiters;
      waiters = [];
      ready.forEach(function (resolve) { resolve(); });
      return result;
    };
    wrapped.measured = true;
    window.tidy = wrapped;
  }

  // Added after the body (and its onload attribute) was parsed, so this runs
  // after the body's onload, that is after InitPage.
  document.addEventListener("DOMContentLoaded", function () {
    wrapTidy();
    window.addEventListener("load", function () {
      loadedAt = performance.now();
      layout();
      layoutAt = performance.now();
    });
  });

  function nextTask() { return new Promise(function (resolve) { setTimeout(resolve, 0); }); }
  // The second animation frame after a change comes once the first one,
  // the one that shows the change, has been painted. A page that is not
  // shown gets no frames: the run goes on after 5 s, and the figure shows it.
  function painted() {
    return new Promise(function (resolve) {
      setTimeout(resolve, 5000);
      requestAnimationFrame(function () { requestAnimationFrame(resolve); });
    });
  }
  function tidyDone() { return new Promise(function (resolve) { waiters.push(resolve); }); }

  // After a change: the page's observers run in the microtasks that follow
  // it; a reaction it queued for later is awaited.
  async function reaction() {
    var before = reactions;
    await Promise.resolve();
    await Promise.resolve();
    if (reactions === before && window.tidyQueued) await tidyDone();
    layout();
  }

  function median(values) {
    var v = values.slice().sort(function (a, b) { return a - b; });
    return v.length === 0 ? NaN : v[Math.floor((v.length - 1) / 2)];
  }

  function yardstick() {
    var html = document.documentElement.innerHTML;
    var times = [];
    for (var i = 0; i < 3; ++i) {
      var fresh = document.implementation.createHTMLDocument("");
      var t0 = performance.now();
      fresh.documentElement.innerHTML = html;
      times.push(performance.now() - t0);
    }
    return { ms: median(times), chars: html.length };
  }

  function el(id) { return document.getElementById(id); }
  function count(id) { var e = el(id); return e ? e.children.length : -1; }
  function text(head, fill, units) {
    var s = head;
    while (s.length < units) s += fill;
    return s.slice(0, units);
  }
  var subjectA = text("Benchmark subject ", "s", 20), messageA = text("Benchmark message ", "m", 500);
  var subjectB = text("Other subject ", "t", 20), messageB = text("Other message ", "n", 500);
  var scheduleA = text("予定A ", "a", 200), scheduleB = text("予定B ", "b", 200);
  var S = function () { return window.Skerrow; };
  function memoCount() { return count("memofield"); }
  function menuCount() { return count("linkfield"); }
  function linkCount() { var l = el("linklist"); return l ? l.options.length : -1; }
  function wallpaperCount() { var l = el("wplist"); return l ? l.options.length : -1; }
  function memoWindow(k) { var f = el("memofield"); return f && f.children[k] ? f.children[k].id : ""; }
  function expect(ok, what) { if (!ok) throw new Error(what + " had no effect"); }

  // Each command: setup (untimed), run(i) (timed), after(i) (untimed: undo
  // and check). Arguments follow the in-memory benchmarks.
  var commands = {
    InitPage: { run: function () { S().InitPage(document); } },
    AddMemo: {
      setup: function () { S().RemoveMemo(document, memoCount() - 1); },
      run: function () { S().AddMemo(document, subjectA, messageA); },
      after: function () {
        var n = memoCount();
        S().RemoveMemo(document, n - 1);
        expect(memoCount() === n - 1, "AddMemo");
      }
    },
    RenewMemo: {
      run: function (i) {
        var n = Math.floor(memoCount() / 2);
        if (i % 2 === 0) S().RenewMemo(document, subjectB, messageB, n);
        else S().RenewMemo(document, subjectA, messageA, n);
      },
      after: function (i) {
        var w = el("subject" + memoWindow(Math.floor(memoCount() / 2)).slice(4));
        expect(w && w.textContent === (i % 2 === 0 ? subjectB : subjectA), "RenewMemo");
      }
    },
    RemoveMemo: {
      run: function () { S().RemoveMemo(document, memoCount() - 1); },
      after: function () {
        var n = memoCount();
        S().AddMemo(document, subjectA, messageA);
        expect(memoCount() === n + 1, "RemoveMemo");
      }
    },
    EditMemo: { run: function () { S().EditMemo(document, 0); } },
    ChangeMemoPage: { run: function (i) { S().ChangeMemoPage(document, 1 + i % 2); } },
    MakeLinkMenu: {
      // The removals answer the control's question with the scripted "yes".
      setup: function () { S().RemoveLinkMenu(document, menuCount() - 1); },
      run: function () { S().MakeLinkMenu(document, "新しいメニュー", -1); },
      after: function () {
        var n = menuCount();
        S().RemoveLinkMenu(document, n - 1);
        expect(menuCount() === n - 1, "MakeLinkMenu");
      }
    },
    ChangeLinkMenu: { run: function (i) { S().ChangeLinkMenu(document, i % 2); } },
    AddLink: {
      setup: function () { S().ChangeLinkMenu(document, 0); S().RemoveLink(document, linkCount() - 1, 0); },
      run: function () { S().AddLink(document, config.linkTargets[0], 0); },
      after: function () {
        var n = linkCount();
        S().RemoveLink(document, n - 1, 0);
        expect(linkCount() === n - 1, "AddLink");
      }
    },
    ChangeLink: {
      setup: function () { S().ChangeLinkMenu(document, 0); },
      run: function (i) { S().ChangeLink(document, 0, config.linkTargets[i % 2], 0); }
    },
    RemoveLink: {
      setup: function () { S().ChangeLinkMenu(document, 0); },
      run: function () { S().RemoveLink(document, linkCount() - 1, 0); },
      after: function () {
        var n = linkCount();
        S().AddLink(document, config.linkTargets[0], 0);
        expect(linkCount() === n + 1, "RemoveLink");
      }
    },
    PermuteLink: {
      setup: function () { S().ChangeLinkMenu(document, 0); },
      run: function () { S().PermuteLink(document, 0, linkCount() - 1, 0); }
    },
    ChangeLinkPage: { run: function (i) { S().ChangeLinkPage(document, 0, 1 + i % 2); } },
    SetWndPos: {
      run: function (i) { S().SetWndPos(memoWindow(config.lastGlobal), 100 + i % 2, 200, 1); }
    },
    "ChangeOption(MenuTextColor)": {
      run: function (i) { S().ChangeOption(document, "MenuTextColor", i % 2 === 0 ? 1 : -1); }
    },
    "ChangeOption(MenuFontSize)": {
      run: function (i) { S().ChangeOption(document, "MenuFontSize", i % 2 === 0 ? 1 : -1); }
    },
    "ChangeOption(WeekDayColor)": {
      run: function (i) { S().ChangeOption(document, "WeekDayColor", i % 2 === 0 ? 1 : -1); }
    },
    "ChangeOption(LinkItemNum)": {
      run: function (i) { S().ChangeOption(document, "LinkItemNum", i % 2 === 0 ? 1 : -1); }
    },
    "ChangeOption(MemoItemNum)": {
      run: function (i) { S().ChangeOption(document, "MemoItemNum", i % 2 === 0 ? 1 : -1); }
    },
    "ChangeWindowOption(TextColor)": {
      run: function (i) {
        S().ChangeWindowOption(document, memoWindow(0), "TextColor", i % 2 === 0 ? 1 : -1);
      }
    },
    "ChangeWindowOption(FontSize)": {
      run: function (i) {
        S().ChangeWindowOption(document, memoWindow(0), "FontSize", i % 2 === 0 ? 1 : -1);
      }
    },
    SetBG: {
      setup: function () { S().SetBG(document, 0); },
      run: function (i) { S().SetBG(document, i % 2 === 0 ? 1 : 0); }
    },
    SetBG_Random: { run: function () { S().SetBG_Random(document); } },
    AddWallPaper: {
      setup: function () { S().RemoveWallPaper(document, wallpaperCount() - 1); },
      run: function () { S().AddWallPaper(document, config.picture); },
      after: function () {
        var n = wallpaperCount();
        S().RemoveWallPaper(document, n - 1);
        expect(wallpaperCount() === n - 1, "AddWallPaper");
      }
    },
    RemoveWallPaper: {
      run: function () { S().RemoveWallPaper(document, wallpaperCount() - 1); },
      after: function () {
        var n = wallpaperCount();
        S().AddWallPaper(document, config.picture);
        expect(wallpaperCount() === n + 1, "RemoveWallPaper");
      }
    },
    SetCalender: { run: function (i) { S().SetCalender(document, 2026, 1 + i % 2); } },
    ChangeDate: { run: function (i) { S().ChangeDate(document, 2026, 1, 1 + i % 2); } },
    ChangeSchedule: {
      run: function (i) { S().ChangeSchedule(document, i % 2 === 0 ? scheduleB : scheduleA, 2026, 1, 1); }
    }
  };

  window.vellumineBenchCommands = Object.keys(commands);

  // The app calls timingReport() again, each time in an evaluation of its
  // own, while it returns null: the setup, each timed call, each undoing and
  // the report are separate steps, so that each gets the fresh user
  // activation a click would give (an undoing that asks first needs one, and
  // a slow call with the page's reaction may outlast the one before).
  var step = { started: false, command: null, lines: null, times: [], splits: [], frames: [], undone: 0 };

  async function start() {
    wrapTidy();
    // The load's own reaction first.
    while (settledAt < 0) {
      if (!window.tidyQueued) { tidy(); break; }
      await tidyDone();
    }
    step.lines = [
      "startup_ms=" + layoutAt.toFixed(1),
      "startup_settled_ms=" + settledAt.toFixed(1),
      "onload_end_ms=" + loadedAt.toFixed(1)
    ];
    if (!config.command) {
      await new Promise(function (resolve) { setTimeout(resolve, config.settle || 0); });
      return step.lines.join("\n");
    }
    step.command = commands[config.command];
    if (!step.command) throw new Error("no such command: " + config.command);
    step.undone = -1;
    return null;
  }

  async function setup() {
    step.undone = 0;
    if (step.command.setup) { step.command.setup(); await reaction(); }
    return null;
  }

  async function timedCall(i) {
    await nextTask();
    var t0 = performance.now();
    step.command.run(i);
    var t1 = performance.now();
    layout();
    var t2 = performance.now();
    await reaction();
    step.times.push(performance.now() - t0);
    step.splits.push([t1 - t0, t2 - t1, performance.now() - t2].map(function (t) { return t.toFixed(1); }).join("/"));
    await painted();
    step.frames.push(performance.now() - t0);
    if (!step.command.after) step.undone = step.times.length;
    return null;
  }

  async function undo(i) {
    step.command.after(i);
    await reaction();
    step.undone = step.times.length;
    return null;
  }

  async function report() {
    var lines = step.lines, times = step.times;
    // The app's peak memory so far, before the yardstick's document, which
    // is the measurement's and not the app's (the app prints it when the
    // title changes).
    document.title = "vellumine:mark";
    await new Promise(function (resolve) { setTimeout(resolve, 500); });
    var y = yardstick();
    lines.push("page_chars=" + y.chars, "yardstick_ms=" + y.ms.toFixed(1));
    var m = median(times);
    lines.push("command=" + config.command, "call_ms=" + times.map(function (t) { return t.toFixed(1); }).join(","),
               "median_ms=" + m.toFixed(1), "max_ms=" + Math.max.apply(null, times).toFixed(1),
               "ratio=" + (m / y.ms).toFixed(3),
               "split_ms=" + step.splits.join(","),
               "frame_ms=" + step.frames.map(function (t) { return t.toFixed(1); }).join(","),
               "frame_median_ms=" + median(step.frames).toFixed(1));
    return lines.join("\n");
  }

  window.timingReport = function () {
    if (!step.started) { step.started = true; return start(); }
    if (step.undone < 0) return setup();
    if (step.undone < step.times.length) return undo(step.times.length - 1);
    if (step.times.length < (config.calls || 5)) return timedCall(step.times.length);
    return report();
  };
})();
