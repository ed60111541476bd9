// Put into the desktop app's page before the page's own scripts by
// bench/app_initpage.sh (VELLUMINE_TIMING_SCRIPT); the app prints what
// timingReport() returns once the page has loaded.
//
// Times, in the page's own engine with performance.now():
//   first:   the InitPage the body's onload runs
//   second:  InitPage called again on the loaded page
//   fresh:   the page InitPage leaves written in one go into a new document
//   live:    the same written in one go into the page itself
// and, with "+layout", the same followed by the style and layout the
// browser would do before painting (the new document has none to do).
(function () {
  "use strict";
  var firstStart = -1;
  var firstMs = -1;
  // Added before the body's onload handler exists, so it runs just before it.
  window.addEventListener("load", function () { firstStart = performance.now(); });
  // Added after the body (and its onload handler) was parsed: runs after it.
  document.addEventListener("DOMContentLoaded", function () {
    window.addEventListener("load", function () { firstMs = performance.now() - firstStart; });
  });

  // The whole layout, absolutely placed boxes too (see app_bench.js).
  function layout(doc) { return doc.documentElement.scrollHeight; }
  function ms(v) { return v.toFixed(1); }

  window.timingReport = function () {
    var t0 = performance.now();
    Skerrow.InitPage(document);
    var t1 = performance.now();
    layout(document);
    var t2 = performance.now();

    var html = document.documentElement.innerHTML;
    var fresh = document.implementation.createHTMLDocument("");
    var t3 = performance.now();
    fresh.documentElement.innerHTML = html;
    var t4 = performance.now();

    var t5 = performance.now();
    document.documentElement.innerHTML = html;
    var t6 = performance.now();
    layout(document);
    var t7 = performance.now();

    var second = t1 - t0, freshMs = t4 - t3, live = t6 - t5;
    return [
      "page_chars=" + html.length,
      "elements=" + fresh.getElementsByTagName("*").length,
      "first_initpage_ms=" + ms(firstMs),
      "second_initpage_ms=" + ms(second),
      "second_initpage_layout_ms=" + ms(t2 - t0),
      "write_fresh_ms=" + ms(freshMs),
      "write_live_ms=" + ms(live),
      "write_live_layout_ms=" + ms(t7 - t5),
      "ratio_first_fresh=" + (firstMs / freshMs).toFixed(2),
      "ratio_second_fresh=" + (second / freshMs).toFixed(2),
      "ratio_second_live=" + (second / live).toFixed(2),
      "ratio_layout=" + ((t2 - t0) / (t7 - t5)).toFixed(2)
    ].join("\n");
  };
})();
