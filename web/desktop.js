// Desktop-only behaviour of the page, added by the desktop app after the
// page's own scripts.
//
// Moving a window: a click on a window's handle calls movewnd(name); the
// window then follows the mouse until the next click, which drops it where
// it is and reports the new place to the control.
(function () {
  "use strict";
  var moving = null;

  function report(element, name) {
    var shown = element.style.visibility !== "hidden";
    if (typeof Skerrow !== "undefined") {
      Skerrow.SetWndPos(name, parseInt(element.style.left, 10) || element.offsetLeft,
                        parseInt(element.style.top, 10) || element.offsetTop, shown ? 1 : 0);
    }
  }

  function follow(event) {
    if (!moving) return;
    moving.element.style.left = (event.pageX - moving.dx) + "px";
    moving.element.style.top = (event.pageY - moving.dy) + "px";
  }

  function drop(event) {
    if (!moving || event === moving.start) return;
    var done = moving;
    moving = null;
    document.removeEventListener("mousemove", follow, true);
    document.removeEventListener("mouseup", drop, true);
    event.stopPropagation();
    event.preventDefault();
    report(done.element, done.name);
  }

  window.movewnd = function (name) {
    var element = document.getElementById(name);
    var event = window.event;
    // Only a mouse click picks a window up; the keyboard moves it otherwise.
    if (!element || moving || !event || typeof event.pageX != "number") return;
    moving = {
      element: element,
      name: name,
      start: event,
      dx: event.pageX - element.offsetLeft,
      dy: event.pageY - element.offsetTop
    };
    document.addEventListener("mousemove", follow, true);
    document.addEventListener("mouseup", drop, true);
  };
})();
