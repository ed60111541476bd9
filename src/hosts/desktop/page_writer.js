// The page writer: how the desktop app applies the control's page operations
// to the live page. Evaluated once per load of the page, in the page's own
// script world before the page's scripts run; evaluates to the writer object,
// which the app keeps out of the page's names.
//
// Every write the control makes is one the page must end up holding, but
// writing markup into the live page costs the engine a parse, a teardown of
// what was there and a new style and layout, and a redraw of the control
// rewrites every memo and link window when one changed. So:
//
// - A content written with the markup it already holds is not written again.
//   The host keeps the markup it last had written into the element of each
//   id, and when the same comes again sends only the number it gave it
//   (again()); the writer remembers, per element, the number of the markup
//   it wrote into it ("roots"); a change anyone else makes inside (seen by a
//   mutation observer) or any write of its own inside forgets it. Style
//   writes inside are journaled instead: when the same markup comes again, a
//   fresh parse would have none of them, so each journaled element's style
//   starts again from its markup's ("restyled") and takes the style writes
//   that follow; only a style that then differs from the one the element
//   has reaches it. When those writes come as the same batch as last time
//   (a redraw of a window that did not change), nothing is restarted
//   ("deferred" until the batch shows it).
// - Any other content is parsed in an inactive document (no style, no
//   layout) and the live content is brought to it node by node: nodes that
//   are alike are kept and only their differences are written. A kept
//   element whose style is not its markup's is restyled from its markup's,
//   as above, rather than given it at once.
// - When a list of windows is rewritten, the content of a kept window that
//   the writer wrote itself is not touched yet ("owed"): the control goes on
//   to rewrite each window, usually with the markup it already has. Nor are
//   a kept window's attributes: they are kept on its new node in the
//   inactive document ("shadow"), which takes the style writes that follow
//   (the control puts every window back in its place), and only what then
//   differs reaches the live window. Whatever is still owed or shadowed is
//   settled before anything could see the difference: a lookup that could
//   land in it, a walk over descendants, a layout read, and the end of the
//   call.
//
// After every call the page holds exactly what the plain writes give.
(function () {
  "use strict";
  const doc = document;
  const HTML = "http://www.w3.org/1999/xhtml";
  // Elements whose state is more than their markup (form values, loaded
  // media, scripts): never kept, always replaced by the new node.
  const FRESH = new Set(["input", "select", "textarea", "option", "optgroup", "button", "form",
    "img", "picture", "source", "video", "audio", "track", "iframe", "object", "embed", "canvas",
    "script", "style", "link", "template", "details", "dialog", "slot", "svg", "math", "meta",
    "base", "marquee", "fieldset", "legend", "output", "area", "map", "frame", "frameset",
    "noscript", "title"]);
  // Markup that parses differently inside a live page than in an inactive
  // document (form pointer, scripting flag): written as it is.
  const CONTEXTUAL = /<\s*\/?\s*(form|noscript|template|script)\b/i;
  // Contexts where the fragment parser does more than take the tag name.
  const SPECIAL_CONTEXT = new Set(["template", "html", "head", "frameset", "noscript", "iframe",
    "noembed", "noframes", "script", "style", "textarea", "title", "xmp", "plaintext"]);

  // element -> { number, journal: Map(element -> style) | null, fresh, batch,
  // chain, next, replays }: the number the host gave the markup it
  // last wrote into it; fresh while nothing inside has been styled since its
  // markup (or since it was restarted); batch, the style batch of a walk over
  // it that styled it from fresh, while nothing else has styled anything
  // inside; chain, the walks over what holds it (see walks) that styled it
  // since fresh, in one call and in their order, while nothing else has.
  // While it is deferred: next, this call's records of the walks of its
  // chain that came again as they were; replays, their writes into it,
  // skipped then, to be played if it is restarted before its chain is over.
  function newState(number) {
    return { number: number || 0, journal: null, fresh: true, batch: null, chain: null, next: null,
             replays: null };
  }
  // The walk a deferred content's chain expects next, if it has a chain.
  function awaited(state) {
    return state.chain === null ? undefined : state.chain[state.next === null ? 0 : state.next.length];
  }
  // Elements grouped under a key element (the element written, the content
  // restyled or deferred), with each key's ancestors counted: the keys at or
  // inside an element are found without going through them all (a redraw
  // writes every window). Within a call the writer moves nodes only among
  // their siblings, so the ancestors stay those counted.
  function groups() {
    const by = new Map();      // key -> its elements
    const above = new Map();   // key -> its ancestors
    const inside = new Map();  // element -> keys strictly inside it
    return {
      get size() {
        return by.size;
      },
      get: (key) => by.get(key),
      has: (key) => by.has(key),
      add(key, element) {
        let mine = by.get(key);
        if (!mine) {
          by.set(key, (mine = new Set()));
          const chain = [];
          for (let p = key.parentNode; p; p = p.parentNode) {
            chain.push(p);
            inside.set(p, (inside.get(p) || 0) + 1);
          }
          above.set(key, chain);
        }
        mine.add(element);
      },
      remove(key, element) {
        const mine = by.get(key);
        if (!mine) return;
        mine.delete(element);
        if (mine.size > 0) return;
        by.delete(key);
        for (const p of above.get(key)) {
          const n = inside.get(p) - 1;
          if (n > 0) inside.set(p, n);
          else inside.delete(p);
        }
        above.delete(key);
      },
      clear() {
        by.clear();
        above.clear();
        inside.clear();
      },
      // The keys at or inside element.
      within(element) {
        const found = by.has(element) ? [element] : [];
        if (inside.has(element)) {
          for (const key of by.keys()) if (key !== element && element.contains(key)) found.push(key);
        }
        return found;
      }
    };
  }
  const roots = new WeakMap();
  const owed = new Map();       // element -> { holder, ids, parent }: the content it must get
  const owedBy = groups();      // written element -> its children in owed
  let owedIds = 0;              // owed contents that hold elements with ids
  const shadows = new Map();    // live element -> { staged, parent }: the attributes it must get
  const shadowsBy = groups();   // written element -> its children in shadows
  // Written elements whose content is what their markup gives once what is
  // owed and shadowed below them is settled (element -> the same state as
  // in roots): remembered then.
  const pendingRoots = new Map();
  // Journaled elements of a content written again: element -> { root, state,
  // markup, writes } where markup is the style its markup gave it and writes
  // the style writes it has had since, to be played on that style.
  const restyled = new Map();
  const restyledBy = groups();   // root -> its elements in restyled
  // Live element -> { property: value, [STYLE]: its style object }: what
  // the writer last wrote through its style object, as the control gave it.
  // The same value again changes nothing and is not even read back (the
  // engine writes a colour back in another form, and reads cost a
  // serialisation): anything else that changes the element's inline style
  // forgets the entry (unstyled()). The style object is kept with it: the
  // engine looks it up anew at every read of element.style, a tenth of a
  // font change's writing at capacity. The entry is a property of the
  // element's own, under a symbol only the writer knows: a recolouring at
  // capacity looks up some twenty thousand, which a property finds at a
  // fraction of what a weak map's lookup costs.
  const WROTE = Symbol("wrote");
  const STYLE = Symbol("style");
  const KEPT_STYLES = new Set(["color", "fontFamily", "fontSize", "left", "top", "visibility"]);
  function unstyled(element) {
    if (element[WROTE] !== undefined) element[WROTE] = undefined;
  }
  let stage = null;
  let observer = null;
  let inCall = false;
  let list = [];                // the last descendant walk
  let listRoot = null;          // the element it walked
  // The element lists of walks, kept while no node anywhere is added or
  // taken away (a redraw walks the whole page twice, some 25,000 elements
  // at capacity): element -> { number, list }, numbered for the host, which
  // keeps their tag names.
  let lists = new WeakMap();
  let listNumber = 0;
  let shape = null;
  let reshaped = false;
  function unchangedShape() {
    if (shape === null) {
      shape = new MutationObserver(() => { reshaped = true; });
      shape.observe(doc, { childList: true, subtree: true });
      return false;
    }
    const taken = shape.takeRecords().length;
    const same = !reshaped && taken === 0;
    reshaped = false;
    return same;
  }
  // The page may ask to be told of each call (window.vellumineWriterHook:
  // begin(), then end(restyled, reattributed) with the elements whose
  // style, or other attributes, the call changed; a walk's root stands for
  // what it walked). Its observers then need not record every style write
  // of a recolouring; the writes of content they still see themselves.
  let hook = null;
  let restyledNow = [];
  let reattributedNow = [];
  function pageHook() {
    const view = doc.defaultView;
    const h = view ? view.vellumineWriterHook : undefined;
    return h && typeof h.begin === "function" && typeof h.end === "function" ? h : null;
  }

  function forgetFrom(node) {
    for (let n = node; n; n = n.parentNode) {
      roots.delete(n);
      if (pendingRoots.size > 0) pendingRoots.delete(n);
    }
  }
  // Its own content only: one written in this call and still pending too.
  function forgetOnly(node) {
    roots.delete(node);
    if (pendingRoots.size > 0) pendingRoots.delete(node);
  }
  function forgetAbove(node) {
    if (node) forgetFrom(node.parentNode);
  }

  // What the page's own script gives the control's elements for the keyboard
  // and screen readers: no markup of the control holds these, so a rewrite
  // leaves them be and their coming and going changes nothing written.
  function pageOwnedName(name) {
    return name === "role" || name === "tabindex" || name === "data-kb" || name === "data-year" ||
      name.startsWith("aria-");
  }
  function pageOwned(attribute) {
    return attribute.namespaceURI === null && pageOwnedName(attribute.localName);
  }

  function noticed(records) {
    if (inCall) return;  // the writer's own writes
    for (const r of records) {
      if (r.type === "attributes") {
        if (r.attributeName === "style") unstyled(r.target);
        if (r.attributeNamespace === null && pageOwnedName(r.attributeName)) continue;
        forgetAbove(r.target);
      } else {
        forgetFrom(r.target);
      }
    }
  }

  // The observer watches the page between calls only: the writer's own
  // writes need no record (a recolouring makes tens of thousands).
  const watching = { subtree: true, childList: true, attributes: true, characterData: true };
  function begin() {
    if (inCall) return;
    if (!observer) {
      observer = new MutationObserver(noticed);
    } else {
      noticed(observer.takeRecords());
      observer.disconnect();
    }
    inCall = true;
    hook = pageHook();
    if (hook !== null && !quietly(() => { hook.begin(); })) hook = null;
  }
  function end() {
    if (!inCall) return;
    undeferAll();
    settleAll();
    played.clear();
    for (const [element, mine] of callWalks) {
      if (mine.some((walk) => walk.roots.size > 0)) walks.set(element, mine);
      else walks.delete(element);
    }
    callWalks.clear();
    observer.observe(doc, watching);
    inCall = false;
    list = [];
    listRoot = null;
    const told = hook, styledList = restyledNow, attributedList = reattributedNow;
    hook = null;
    restyledNow = [];
    reattributedNow = [];
    if (told !== null) quietly(() => { told.end(styledList, attributedList); });
  }

  function dropOwed(element) {
    const entry = owed.get(element);
    if (!entry) return;
    owed.delete(element);
    if (entry.ids) --owedIds;
    owedBy.remove(entry.parent, element);
  }
  // Owed contents at or below element: its new content makes them moot.
  function dropOwedWithin(element) {
    dropOwed(element);
    if (owedBy.size === 0) return;
    for (const parent of owedBy.within(element)) {
      for (const child of Array.from(owedBy.get(parent) || [])) dropOwed(child);
    }
  }
  function insideOwed(element) {
    for (let p = element.parentNode; p; p = p.parentNode) if (owed.has(p)) return true;
    return false;
  }
  function dropShadow(live) {
    const entry = shadows.get(live);
    if (!entry) return;
    shadows.delete(live);
    shadowsBy.remove(entry.parent, live);
  }
  // Shadows strictly below element: its new content makes them moot.
  function dropShadowsBelow(element) {
    if (shadowsBy.size === 0) return;
    for (const parent of shadowsBy.within(element)) {
      for (const child of Array.from(shadowsBy.get(parent) || [])) dropShadow(child);
    }
  }
  function settleOwed(element) {
    const entry = owed.get(element);
    if (!entry) return;
    dropOwed(element);
    if (diffChildren(element, entry.holder, false)) forgetFrom(element);
  }
  // Gives a shadowed element the attributes its shadow holds.
  function settleShadow(live) {
    const entry = shadows.get(live);
    if (!entry) return;
    settleOwed(live);
    dropShadow(live);
    if (syncAttributes(live, entry.staged)) forgetAbove(live);
  }
  // Content first (what lookups and walks see), then attributes, then
  // styles (what layout sees).
  function settleContent() {
    if (owed.size === 0) return;
    const entries = Array.from(owed);
    owed.clear();
    owedBy.clear();
    owedIds = 0;
    for (const [element, entry] of entries) {
      if (diffChildren(element, entry.holder, false)) forgetFrom(element);
    }
  }
  function settleAll() {
    settleContent();
    if (shadows.size > 0) for (const live of Array.from(shadows.keys())) settleShadow(live);
    shadowsBy.clear();
    if (restyled.size > 0) for (const element of Array.from(restyled.keys())) settleStyle(element);
    for (const [element, state] of pendingRoots) roots.set(element, state);
    pendingRoots.clear();
  }


  // The same markup again for a remembered content: each journaled element
  // is restyled from the style its markup gave it.
  function restart(root, state) {
    const mine = restyledBy.get(root);
    // Restyled already in this call: back to the markup's style.
    if (mine) for (const element of mine) restyled.get(element).writes.length = 0;
    if (!state.journal) return;
    for (const [element, markupStyle] of state.journal) addRestyled(element, root, state, markupStyle);
    state.journal = null;
  }
  function addRestyled(element, root, state, markupStyle) {
    // Restyled already for another content: that one no longer holds it.
    const old = restyled.get(element);
    if (old !== undefined) restyledBy.remove(old.root, element);
    restyled.set(element, { root: root, state: state, markup: markupStyle, writes: [] });
    restyledBy.add(root, element);
  }
  // Contents written again whose styles came from a walk's batch: each is
  // restarted only when the batch of its next walk differs, or when anything
  // else could see or change its styles first. A window drawn again as it
  // was then costs nothing.
  const deferred = new Map();      // root -> its state
  const deferredBy = groups();     // root -> itself: found from its ancestors
  // The walks over an element that holds remembered contents (a redraw
  // styles the whole body, every window in it), in the order of the last
  // call that made any: element -> [{ batch, roots: Map(root -> { state,
  // fresh, chain, first, firstIndex, last, lastIndex }) }], the contents
  // inside that each walk styled from fresh or went on styling after the
  // walk before it, with the positions of the first and last element of
  // each that it styled. A redraw may walk the body twice (once the memo
  // windows are drawn, and again once the link menus are), so each walk of
  // a call is held against the walk of the same rank in the last call. When
  // the same batch comes again and a content written again as it was
  // stands at the same positions, its writes are skipped, and once every
  // walk of its chain has come again its styles stand.
  const walks = new WeakMap();
  // This call's walks: element -> its records so far.
  const callWalks = new Map();
  function walksSoFar(element) {
    const mine = callWalks.get(element);
    return mine === undefined ? 0 : mine.length;
  }
  // The last call's walk over element of the given rank.
  function priorWalk(element, rank) {
    const theirs = walks.get(element);
    return theirs === undefined ? undefined : theirs[rank];
  }
  function restartNow(root, state, dropped) {
    if (state.journal || restyledBy.has(root) || dropped) forgetAbove(root);
    restart(root, state);
    state.fresh = true;
    state.batch = null;
    state.chain = null;
  }
  function defer(root, state) {
    deferred.set(root, state);
    deferredBy.add(root, root);
    state.next = null;
    state.replays = null;
  }
  // Takes root off the deferred ones: restarted unless its styles stand.
  // One restarted part way through its chain gets the writes it skipped.
  function undefer(root, stand) {
    const state = deferred.get(root);
    if (state === undefined) return;
    deferred.delete(root);
    deferredBy.remove(root, root);
    const replays = state.replays;
    const next = state.next;
    state.replays = null;
    state.next = null;
    if (stand) return;
    restartNow(root, state, false);
    if (replays === null) return;
    for (const r of replays) replay(root, state, r);
    state.fresh = false;
    state.chain = next;
  }
  // The writes of a walk into root's elements, from the first to the last
  // position it styled, played on their markup's styles.
  function replay(root, state, r) {
    const w = reader();
    for (let pos = 0; (pos = readWrite(r.batch, pos, w)) >= 0;) {
      if (w.index < r.firstIndex || w.index > r.lastIndex || w.property === null) continue;
      const element = r.list[w.index];
      if (!restyled.has(element)) addRestyled(element, root, state, element.getAttribute("style"));
      restyled.get(element).writes.push(w.property, valueOf(r.batch, w));
    }
  }
  // Reads the style write at pos of a walk's batch ("step:p:length:value",
  // p being c, f or s, or "step:p:=" for the value the last write of p in
  // the batch had; step, the element's index less the last write's, empty
  // for the same element and starting from 0) into w (from reader()): the
  // position after it, or -1 at the end or at anything else. Read in place,
  // digit by digit: a redraw's batch holds tens of thousands of writes, and
  // a substring for each field costs more than the write it leads to (most
  // of a redraw's are skipped).
  // valueOf(batch, w) makes the value's string, once for a run of the same.
  function reader() {
    const slot = (property) => ({ property: property, from: -1, length: 0, text: null });
    return { index: 0, property: null, slot: null, c: slot("color"), f: slot("fontFamily"),
             s: slot("fontSize") };
  }
  function readWrite(batch, pos, w) {
    let step = 0;
    let k = pos;
    const back = batch.charCodeAt(k) === 45;
    if (back) ++k;
    for (let d = batch.charCodeAt(k); d >= 48 && d <= 57; d = batch.charCodeAt(++k)) {
      step = step * 10 + (d - 48);
    }
    if (batch.charCodeAt(k) !== 58 || batch.charCodeAt(k + 2) !== 58) return -1;
    const index = back ? w.index - step : w.index + step;
    const code = batch.charCodeAt(k + 1);
    const slot = code === 99 ? w.c : code === 102 ? w.f : code === 115 ? w.s : null;
    const from = k + 3;
    let end;
    if (batch.charCodeAt(from) === 61) {
      if (slot === null || slot.from < 0) return -1;
      end = from + 1;
    } else {
      let length = 0;
      k = from;
      for (let d = batch.charCodeAt(k); d >= 48 && d <= 57; d = batch.charCodeAt(++k)) {
        length = length * 10 + (d - 48);
      }
      if (k === from || batch.charCodeAt(k) !== 58) return -1;
      end = k + 1 + length;
      if (slot !== null) {
        slot.from = k + 1;
        slot.length = length;
        slot.text = null;
      }
    }
    w.index = index;
    w.property = slot !== null ? slot.property : null;
    w.slot = slot;
    return end;
  }
  function valueOf(batch, w) {
    const slot = w.slot;
    if (slot.text === null) slot.text = batch.substr(slot.from, slot.length);
    return slot.text;
  }
  function undeferAll() {
    if (deferred.size === 0) return;
    for (const root of Array.from(deferred.keys())) undefer(root, false);
  }
  // Deferred contents that hold node, from node itself up.
  function undeferAbove(node) {
    if (deferred.size === 0) return;
    for (let n = node; n; n = n.parentNode) if (deferred.has(n)) undefer(n, false);
  }
  // Deferred contents inside element, strictly; with spare (a walk over
  // element), not those whose styles came from that walk's batch: they wait
  // for the batch of this one.
  function undeferInside(element, spare) {
    if (deferred.size === 0) return;
    for (const root of deferredBy.within(element)) {
      const state = deferred.get(root);
      if (root === element ||
          (spare !== undefined && awaited(state) === spare)) {
        continue;
      }
      undefer(root, false);
    }
  }
  // Deferred contents that hold element or are inside it.
  function undeferAround(element) {
    undeferAbove(element);
    undeferInside(element);
  }
  // The remembered content of element: in roots, or written in this call
  // and still pending.
  function stateOf(element) {
    return roots.get(element) || (pendingRoots.size > 0 && pendingRoots.get(element)) || null;
  }
  function dropRestyled(element) {
    const entry = restyled.get(element);
    if (!entry) return null;
    restyled.delete(element);
    restyledBy.remove(entry.root, element);
    return entry;
  }
  // The style attribute a markup style and style writes played on it give,
  // as the engine writes it; the same ones recur for every window, so the
  // answers are kept for the call.
  let scratch = null;
  const played = new Map();
  function play(markupStyle, writes) {
    const key = (markupStyle === null ? "\u0001" : markupStyle) + "\u0000" + writes.join("\u0000");
    const known = played.get(key);
    if (known !== undefined) return known;
    if (!stage) stage = doc.implementation.createHTMLDocument("");
    if (!scratch) scratch = stage.createElement("div");
    scratch.setAttribute("style", markupStyle === null ? "" : markupStyle);
    if (markupStyle === null) scratch.removeAttribute("style");
    for (let i = 0; i < writes.length; i += 2) scratch.style[writes[i]] = writes[i + 1];
    const result = scratch.getAttribute("style");
    played.set(key, result);
    return result;
  }
  // Gives a restyled element the style it must have; the remembered content
  // it is in journals it again when that is not its markup's.
  function settleStyle(element) {
    const entry = dropRestyled(element);
    if (!entry) return;
    const want = entry.writes.length === 0 ? entry.markup : play(entry.markup, entry.writes);
    unstyled(element);
    const now = element.getAttribute("style");
    if (now !== want) {
      if (hook !== null) restyledNow.push(element);
      if (now === null && entry.markup === null) {
        // Made through the style object, as the style writes would have:
        // the engine adds such a style attribute when it is next read,
        // after any attribute set before then.
        element.style.cssText = want;
      } else {
        // Removed from a written style attribute only: the engine writes
        // one changed through the style object lazily, and would bring it
        // back empty.
        element.setAttribute("style", want === null ? "" : want);
        if (want === null) element.removeAttribute("style");
      }
    }
    if (want !== entry.markup && stateOf(entry.root) === entry.state) {
      if (!entry.state.journal) entry.state.journal = new Map();
      entry.state.journal.set(element, entry.markup);
    }
  }
  // Restyled elements strictly below element: its new content makes them
  // moot (its own style stays what it was to become).
  // Found through the roots that hold element and those inside it, not by
  // going through every root (a redraw restyles every window).
  // With kept (the new content is brought in by a diff), a content inside
  // may stay as it is, owed its markup: its elements still have the styles
  // they were to lose, and are journaled in it again, so that writing it
  // again as it was restarts them.
  function dropRestyledWithin(element, kept) {
    if (restyledBy.size === 0) return;
    for (const root of restyledBy.within(element)) {
      for (const e of Array.from(restyledBy.get(root) || [])) {
        const entry = dropRestyled(e);
        if (!kept || root === element || entry === null || stateOf(root) !== entry.state) continue;
        const state = entry.state;
        if (!state.journal) state.journal = new Map();
        if (!state.journal.has(e)) state.journal.set(e, entry.markup);
        state.fresh = false;
        state.batch = null;
        state.chain = null;
      }
    }
    for (let p = element.parentNode; p; p = p.parentNode) {
      const mine = restyledBy.get(p);
      if (mine) for (const e of Array.from(mine)) if (e !== element && element.contains(e)) dropRestyled(e);
    }
  }
  // A style write: to a shadowed element's shadow, a restyled element's
  // writes, or the element itself. Whether it reached the element now (the
  // others reach it when settled).
  function writeStyle(element, property, value) {
    const shadow = shadows.get(element);
    if (shadow) {
      shadow.staged.style[property] = value;
      return false;
    }
    const entry = restyled.get(element);
    if (entry) {
      entry.writes.push(property, String(value));
      return false;
    }
    value = String(value);
    const kept = KEPT_STYLES.has(property);
    let mine = kept ? element[WROTE] : undefined;
    const had = mine !== undefined ? mine[property] : undefined;
    // Written so already: nothing to do, not even fetch the style object.
    if (had === value) return false;
    const style = mine !== undefined ? mine[STYLE] : element.style;
    if (style === null || typeof style !== "object") return false;
    if (!kept) {
      // A shorthand would change what is kept for its longhands.
      unstyled(element);
      style[property] = value;
      return true;
    }
    // A value the element holds already, as the engine writes it, is not
    // written again: that would change nothing, yet cost the engine a parse
    // (a recolouring leaves tens of thousands of fonts as they are). One the
    // writer wrote, and nothing changed since, is not read back: the write
    // may change nothing, as a plain write would.
    let written = false;
    if (had !== undefined || value === "" || style[property] !== value ||
        style.getPropertyPriority(dash(property)) !== "") {
      style[property] = value;
      written = true;
    }
    if (mine === undefined) {
      mine = Object.create(null);
      mine[STYLE] = style;
      element[WROTE] = mine;
    }
    mine[property] = value;
    return written;
  }
  // A style property's name as the style attribute spells it.
  const dashed = new Map();
  function dash(property) {
    let name = dashed.get(property);
    if (name === undefined) {
      name = property.replace(/[A-Z]/g, (c) => "-" + c.toLowerCase());
      dashed.set(property, name);
    }
    return name;
  }
  // The style object whose property a read of element's style finds: its
  // shadow's, a node's styled as a restyled element must be, or its own.
  function styleFor(element) {
    const shadow = shadows.get(element);
    if (shadow) return shadow.staged.style;
    const entry = restyled.get(element);
    if (!entry) return element.style;
    const want = entry.writes.length === 0 ? entry.markup : play(entry.markup, entry.writes);
    if (!stage) stage = doc.implementation.createHTMLDocument("");
    if (!scratch) scratch = stage.createElement("div");
    scratch.setAttribute("style", want === null ? "" : want);
    return scratch.style;
  }
  // A style write on element: journaled in the nearest remembered content
  // that holds it; any remembered content further out is forgotten. batch,
  // when not 0, numbers the walk's batch being written: a parent walked
  // already in it keeps the content found for it (a property of its own,
  // NEAR, marked with the batch; the next batch's walk replaces it). The
  // content the write fell in, whether it was fresh until then and its
  // chain then are left in notedRoot, notedFresh and notedChain.
  let notedRoot = null;
  let notedFresh = false;
  let notedChain = null;
  const NEAR = Symbol("near");
  let batches = 0;
  function noteStyle(element, batch) {
    const entry = restyled.get(element);
    if (entry) {
      notedRoot = entry.root;
      notedFresh = entry.state.fresh;
      notedChain = entry.state.chain;
      entry.state.fresh = false;
      entry.state.batch = null;
      entry.state.chain = null;
      return null;
    }
    const parent = element.parentNode;
    const keep = batch !== 0 && parent !== null;
    let found = keep ? parent[NEAR] : undefined;
    if (found === undefined || found.batch !== batch) {
      found = { batch: batch, state: null, root: null };
      for (let p = parent; p; p = p.parentNode) {
        if (found.state) {
          roots.delete(p);
          if (pendingRoots.size > 0) pendingRoots.delete(p);
          continue;
        }
        found.state = stateOf(p);
        if (found.state) found.root = p;
      }
      if (keep) parent[NEAR] = found;
    }
    const state = found.state;
    notedRoot = found.root;
    notedFresh = state !== null && state.fresh;
    notedChain = state !== null ? state.chain : null;
    if (!state) return null;
    state.fresh = false;
    state.batch = null;
    state.chain = null;
    if (!state.journal) state.journal = new Map();
    if (!state.journal.has(element)) {
      // The style the markup gave it: a shadowed element's is its shadow's.
      const shadow = shadows.get(element);
      state.journal.set(element, (shadow ? shadow.staged : element).getAttribute("style"));
    }
    return state;
  }

  function stageParse(context, markup) {
    if (!stage) stage = doc.implementation.createHTMLDocument("");
    const holder = stage.createElement(context.localName);
    holder.innerHTML = markup;
    return holder;
  }
  function diffable(element, markup) {
    return doc.compatMode === "CSS1Compat" && element.namespaceURI === HTML &&
      !SPECIAL_CONTEXT.has(element.localName) && !CONTEXTUAL.test(markup);
  }

  // Whether live can be made into staged by patching it. Each property is
  // read once: every read is a call into the engine.
  function alike(live, staged) {
    const type = live.nodeType;
    if (type !== staged.nodeType) return false;
    if (type === 1) {
      const name = live.localName;
      return name === staged.localName && live.namespaceURI === HTML && staged.namespaceURI === HTML &&
        !FRESH.has(name) && name.indexOf("-") < 0 && live.id === staged.id;
    }
    return type === 3 || type === 8;
  }

  // Gives live the attributes of staged, in their order; whether anything
  // changed. Attributes are copied as nodes: the parser takes names that
  // setAttribute refuses. The page's own attributes stay where they are,
  // unless something else than the style changed: then they go, as they
  // would with a new node, and the page gives them again.
  function syncAttributes(live, staged) {
    unstyled(live);
    if (sameAttributes(live, staged)) return false;
    const want = staged.attributes;
    const have = live.attributes;
    if (have.length === 0 && want.length === 0) return false;
    let changed = false;
    let other = false;
    const note = (name) => {
      changed = true;
      if (name !== "style") other = true;
    };
    // Attributes staged lacks go first; then the two lists agree up to the
    // first difference of name, and from there are written in order.
    for (let i = have.length - 1; i >= 0; --i) {
      const a = have[i];
      if (want.getNamedItemNS(a.namespaceURI, a.localName) === null && !pageOwned(a)) {
        live.removeAttributeNode(a);
        note(a.localName);
      }
    }
    let i = 0;
    let k = 0;
    for (; i < want.length; ++i, ++k) {
      while (k < have.length && pageOwned(have[k])) ++k;
      if (k >= have.length) break;
      const a = have[k];
      const b = want[i];
      if (a.localName !== b.localName || a.namespaceURI !== b.namespaceURI || a.prefix !== b.prefix) break;
      if (a.value !== b.value) {
        a.value = b.value;
        note(a.localName);
      }
    }
    let rest = false;
    for (let m = k; m < have.length && !rest; ++m) rest = !pageOwned(have[m]);
    if (i < want.length || rest) {
      for (let m = have.length - 1; m >= k; --m) {
        if (!pageOwned(have[m])) live.removeAttributeNode(have[m]);
      }
      for (let n = i; n < want.length; ++n) live.setAttributeNode(want[n].cloneNode(true));
      note("");
    }
    if (other) dropPageOwned(live);
    if (changed && hook !== null) (other ? reattributedNow : restyledNow).push(live);
    return changed;
  }
  // Whether live has staged's attributes, in their order, and others of the
  // page's own only: the usual case, told with a few calls rather than
  // several per attribute. A parsed HTML element's attributes have no
  // namespace; a live one's must have none either.
  function sameAttributes(live, staged) {
    const want = staged.getAttributeNames();
    const have = live.getAttributeNames();
    let k = 0;
    let own = null;
    for (let i = 0; i < have.length; ++i) {
      const name = have[i];
      if (pageOwnedName(name)) {
        // Twice, or with a namespace: not the page's own after all.
        if (own === null) own = [];
        if (own.includes(name) || !live.hasAttributeNS(null, name)) return false;
        own.push(name);
        continue;
      }
      // staged has each name once: a second one here fails this.
      if (k >= want.length || name !== want[k]) return false;
      if (live.getAttributeNS(null, name) !== staged.getAttribute(name)) return false;
      ++k;
    }
    return k === want.length;
  }
  function dropPageOwned(element) {
    const have = element.attributes;
    for (let i = have.length - 1; i >= 0; --i) {
      if (pageOwned(have[i])) element.removeAttributeNode(have[i]);
    }
  }

  // A node's children as an array: walked from sibling to sibling, which
  // costs the engine less than going through the node's child list (a diff
  // takes the children of every node it keeps, thousands in a redraw).
  function childrenOf(node) {
    const out = [];
    for (let c = node.firstChild; c !== null; c = c.nextSibling) out.push(c);
    return out;
  }
  // Brings live's children to staged's (moving staged's nodes in where
  // needed). With defer, the content of a kept child whose content the
  // writer wrote itself is owed instead. Returns whether anything changed;
  // remembered contents that changed are forgotten.
  function diffChildren(live, staged, defer) {
    const have = childrenOf(live);
    const want = childrenOf(staged);
    let changed = false;
    const keep = (l, s) => {
      if (patch(l, s, defer, live)) changed = true;
    };
    if (have.length === want.length) {
      let same = true;
      for (let i = 0; i < have.length && same; ++i) same = alike(have[i], want[i]);
      if (same) {
        for (let i = 0; i < have.length; ++i) keep(have[i], want[i]);
        if (changed) forgetOnly(live);
        return changed;
      }
    }
    const wanted = new Set();
    for (const s of want) if (s.nodeType === 1 && s.id) wanted.add(s.id);
    const byId = new Map();
    for (const l of have) if (l.nodeType === 1 && l.id && !byId.has(l.id)) byId.set(l.id, l);
    const used = new Set();
    let j = 0;
    for (const s of want) {
      while (j < have.length &&
             (used.has(have[j]) || (have[j].nodeType === 1 && have[j].id && !wanted.has(have[j].id)))) {
        if (!used.has(have[j])) {
          live.removeChild(have[j]);
          changed = true;
        }
        ++j;
      }
      const next = j < have.length ? have[j] : null;
      if (next && alike(next, s)) {
        used.add(next);
        ++j;
        keep(next, s);
        continue;
      }
      const match = s.nodeType === 1 && s.id ? byId.get(s.id) : undefined;
      if (match && !used.has(match) && alike(match, s)) {
        used.add(match);
        live.insertBefore(match, next);
        changed = true;
        keep(match, s);
        continue;
      }
      live.insertBefore(s, next);
      changed = true;
    }
    for (; j < have.length; ++j) {
      if (!used.has(have[j])) {
        live.removeChild(have[j]);
        changed = true;
      }
    }
    if (changed) forgetOnly(live);
    return changed;
  }

  // Makes live (alike staged) equal to it: whether something changed. With
  // defer (live is a child of the element written), its attributes and, when
  // the writer wrote it, its content wait.
  function patch(live, staged, defer, parent) {
    if (live.nodeType !== 1) {
      if (live.data === staged.data) return false;
      // The page renames the line from its observer of text changes.
      live.data = staged.data;
      return true;
    }
    if (defer) {
      shadows.set(live, { staged: staged, parent: parent });
      shadowsBy.add(parent, live);
      if (roots.has(live) && live.firstChild) {
        const ids = staged.querySelector("[id]") !== null;
        owed.set(live, { holder: staged, ids: ids, parent: parent });
        owedBy.add(parent, live);
        if (ids) ++owedIds;
        return false;
      }
      return diffChildren(live, staged, false);
    }
    if (restyleInto !== null) keepStyle(live, staged);
    const attributes = syncAttributes(live, staged);
    const content = diffChildren(live, staged, false);
    return attributes || content;
  }
  // While a content is brought to new markup: a kept element whose style is
  // not its markup's (the style writes of the last walk over it, which the
  // control makes again right after) keeps it for now and is restyled from
  // its markup's style, as a content written again is. Only a style that
  // then differs reaches it: a window redrawn with one line more does not
  // lose and regain the colour and font of every line.
  let restyleInto = null;       // { root, state }: the content being written
  function keepStyle(live, staged) {
    const have = live.getAttribute("style");
    if (have === null) return;
    const markup = staged.getAttribute("style");
    if (have === markup) return;
    // The staged node is dropped once patched: its style stands for the
    // live one's in the comparison of attributes (order included).
    staged.setAttribute("style", have);
    addRestyled(live, restyleInto.root, restyleInto.state, markup);
  }

  // A window the page keeps out of the drawing (aria-hidden: under a pile,
  // hidden, or not read yet) has no layout of its own: its place is read
  // with it drawn for a moment, so that a record made from it keeps the
  // place the window stands at.
  function laidOut(element, property) {
    if (typeof element.getAttribute !== "function" ||
        element.getAttribute("aria-hidden") !== "true") {
      return element[property];
    }
    element.removeAttribute("aria-hidden");
    const value = element[property];
    element.setAttribute("aria-hidden", "true");
    return value;
  }
  function isElement(value) {
    return value !== null && typeof value === "object" && value.nodeType === 1;
  }
  // A write the page refuses is dropped; false then.
  function quietly(f) {
    try {
      f();
      return true;
    } catch (e) {
      return false;
    }
  }

  return {
    end: end,
    // A lookup sees no style: a deferred restart waits.
    find: function (id) {
      begin();
      if (owedIds > 0) settleContent();
      let found = doc.getElementById(id);
      if (found && owed.size > 0 && insideOwed(found)) {
        settleContent();
        found = doc.getElementById(id);
      }
      return found;
    },
    body: function () {
      begin();
      return doc.body;
    },
    // The markup of number again: true when the element's content is still
    // what the writer made of it (then it stays), false when the host must
    // send the markup.
    again: function (element, number) {
      begin();
      if (!isElement(element)) return false;
      undeferAround(element);
      const state = roots.get(element);
      if (!state || state.number !== number) return false;
      // What is pending below it goes; the markup decides anew. Nothing
      // changes unless styles written inside go back to the markup's, or
      // something pending below it went.
      const pending = owed.size + shadows.size + restyled.size;
      // Its own content owed is that same markup: the live one stays.
      const own = owed.has(element) ? 1 : 0;
      dropOwedWithin(element);
      dropShadowsBelow(element);
      const gone = pending - (owed.size + shadows.size + restyled.size);
      const dropped = gone !== 0;
      if (gone === own && (state.batch !== null || state.chain !== null) && !restyledBy.has(element)) {
        defer(element, state);
        return true;
      }
      restartNow(element, state, dropped);
      return true;
    },
    // number: the host's for this markup (0 when it keeps none).
    html: function (element, markup, number) {
      begin();
      if (!isElement(element)) return;
      undeferAround(element);
      if (!element.isConnected || element.ownerDocument !== doc ||
          Object.prototype.hasOwnProperty.call(element, "innerHTML")) {
        dropOwedWithin(element);
        dropShadowsBelow(element);
        dropRestyledWithin(element);
        forgetFrom(element);
        quietly(() => { element.innerHTML = markup; });
        return;
      }
      const pending = owed.size + shadows.size + restyled.size;
      dropOwedWithin(element);
      dropShadowsBelow(element);
      dropRestyledWithin(element, true);
      roots.delete(element);
      pendingRoots.delete(element);
      const state = newState(number);
      if (!element.firstChild || !diffable(element, markup)) {
        forgetAbove(element);
        if (quietly(() => { element.innerHTML = markup; })) roots.set(element, state);
        return;
      }
      const dropped = owed.size + shadows.size + restyled.size !== pending;
      const before = owed.size + shadows.size;
      const staged = stageParse(element, markup);
      restyleInto = { root: element, state: state };
      let changed;
      try {
        changed = diffChildren(element, staged, true);
      } finally {
        restyleInto = null;
      }
      // A write that leaves the content as it was leaves what holds it
      // remembered; one whose styles are yet to be settled does not.
      if (changed || dropped || owed.size + shadows.size !== before || restyledBy.has(element)) {
        forgetAbove(element);
      }
      // Parts of it may still be owed or shadowed.
      pendingRoots.set(element, state);
    },
    outer: function (element, markup) {
      begin();
      if (!isElement(element)) return;
      undeferAround(element);
      dropOwedWithin(element);
      dropShadowsBelow(element);
      dropShadow(element);
      dropRestyledWithin(element);
      dropRestyled(element);
      forgetFrom(element);
      quietly(() => { element.outerHTML = markup; });
    },
    text: function (element, text) {
      begin();
      if (!isElement(element)) return;
      undeferAround(element);
      dropOwedWithin(element);
      dropShadowsBelow(element);
      dropRestyledWithin(element);
      forgetFrom(element);
      if (String(element.tagName).toUpperCase() === "TEXTAREA") {
        // A text area's innerText drops line breaks and stops showing once
        // the user has typed; its content and its shown value keep it whole.
        quietly(() => { element.textContent = text; });
        quietly(() => { element.value = text; });
      } else {
        quietly(() => { element.innerText = text; });
      }
    },
    attr: function (element, name, value) {
      begin();
      if (!isElement(element)) return;
      undeferAround(element);
      // On a new node, a style attribute made by style writes joins the
      // attributes when first read, after those set before: so the
      // attribute is set before the styles still pending reach it.
      const shadow = shadows.get(element);
      if (shadow) quietly(() => { shadow.staged.setAttribute(name, value); });
      settleShadow(element);
      const entry = restyled.get(element);
      if (entry && entry.markup === null && entry.writes.length > 0 && name !== "style") {
        element.removeAttribute("style");
        quietly(() => { element.setAttribute(name, value); });
      }
      settleStyle(element);
      forgetAbove(element);
      unstyled(element);
      if (hook !== null) (name === "style" ? restyledNow : reattributedNow).push(element);
      quietly(() => { element.setAttribute(name, value); });
      // The attribute alone no longer changes what a form field shows once
      // the user has typed into it; the control means the shown value.
      if (name === "value" && "value" in element) quietly(() => { element.value = value; });
    },
    style: function (element, property, value) {
      begin();
      if (!isElement(element)) return;
      // A content's own style is not its content's.
      undeferAbove(element.parentNode);
      noteStyle(element, 0);
      if (hook !== null) restyledNow.push(element);
      try {
        writeStyle(element, property, value);
      } catch (e) {
        // refused by the page: dropped
      }
    },
    // The inline value of a style property ("" when none); null when the
    // element has no style.
    inline: function (element, property) {
      begin();
      if (!isElement(element)) return null;
      undeferAbove(element.parentNode);
      const style = styleFor(element);
      if (style === null || typeof style !== "object") return null;
      const v = style[property];
      return v === null || v === undefined ? "" : String(v);
    },
    // A layout value: everything owed is settled first.
    layout: function (element, property) {
      begin();
      undeferAll();
      settleAll();
      return isElement(element) ? laidOut(element, property) : undefined;
    },
    // Lists every element inside element, in document order, and gives the
    // list's number: the same number while they are the same elements (0
    // for a list of nothing). tags() gives their tag names, a line each;
    // item() and styles() address them by position.
    descendants: function (element) {
      begin();
      if (isElement(element)) {
        undeferAbove(element.parentNode);
        undeferInside(element, priorWalk(element, walksSoFar(element)));
      } else {
        undeferAll();
      }
      settleContent();
      if (!unchangedShape()) lists = new WeakMap();
      listRoot = isElement(element) ? element : null;
      if (listRoot === null) {
        list = [];
        return 0;
      }
      const kept = lists.get(listRoot);
      if (kept !== undefined) {
        list = kept.list;
        return kept.number;
      }
      list = Array.from(element.querySelectorAll("*"));
      lists.set(listRoot, { number: ++listNumber, list: list });
      return listNumber;
    },
    tags: function () {
      return list.map((e) => String(e.tagName)).join("\n");
    },
    item: function (index) {
      return index >= 0 && index < list.length ? list[index] : null;
    },
    // Style writes on the listed elements: "step:property:length:value"
    // or "step:property:=" one after the other (property: c colour, f font
    // family, s font size; = the value of the last write of that property;
    // step, the element's index less the last write's, empty for none).
    styles: function (batch) {
      begin();
      // The same batch over a content written again as it was: its
      // elements have these styles already.
      const held = listRoot !== null ? deferred.get(listRoot) : undefined;
      if (held !== undefined && held.batch === batch) {
        undefer(listRoot, true);
        // As if it had been restarted: what holds it is forgotten.
        forgetAbove(listRoot);
        return;
      }
      if (held !== undefined) undefer(listRoot, false);
      // The contents inside that the last call's walk of this rank over it
      // styled: with the same batch, those written again as they were whose
      // chain has this walk next and whose first and last styled elements
      // are where they were have their writes (and those of any content
      // inside them) skipped, and stand once their chain is over; the others
      // start again from their markup.
      const rank = listRoot !== null ? walksSoFar(listRoot) : 0;
      const last = listRoot !== null ? priorWalk(listRoot, rank) : undefined;
      const before = rank > 0 ? callWalks.get(listRoot)[rank - 1] : undefined;
      const walk = { batch: batch, roots: new Map() };
      let skip = null;
      if (last !== undefined) {
        // Compared once: a redraw's batch is a long text.
        const same = last.batch === batch;
        for (const [root, at] of last.roots) {
          const state = deferred.get(root);
          if (state === undefined || awaited(state) !== last) continue;
          if (same && list[at.firstIndex] === at.first && list[at.lastIndex] === at.last) {
            forgetAbove(root);
            if (skip === null) skip = new Uint8Array(list.length);
            skip.fill(1, at.firstIndex, at.lastIndex + 1);
            walk.roots.set(root, at);
            const next = state.next === null ? [walk] : state.next.concat([walk]);
            if (next.length === state.chain.length) {
              undefer(root, true);
              state.chain = next;
            } else {
              state.next = next;
              const skipped = { batch: batch, list: list, firstIndex: at.firstIndex, lastIndex: at.lastIndex };
              state.replays = state.replays === null ? [skipped] : state.replays.concat([skipped]);
            }
          } else {
            undefer(root, false);
          }
        }
      }
      const touched = new Map();   // content inside -> what this walk styled in it
      const rootState = listRoot !== null ? stateOf(listRoot) : null;
      const fromFresh = rootState !== null && rootState.fresh;
      let onlyRoot = true;
      const batchNumber = ++batches;
      // One element's writes come one after the other, and take effect
      // through its style object, as the plain writes do: a value it already
      // has changes nothing there, and the engine adds a style attribute
      // made that way to the element's attributes only when it is next read
      // (the page may add attributes of its own meanwhile). Only a journaled
      // element that has a property written twice (the global options, then
      // the window's own) has them played together first on its style as it
      // stands (the engine's answer is kept for the call), and gets the
      // outcome only if it differs: a passing value never reaches it.
      let element = null;
      let journaled = false;
      let writes = [];
      const repeats = () => {
        for (let i = 2; i < writes.length; i += 2) {
          for (let k = 0; k < i; k += 2) if (writes[k] === writes[i]) return true;
        }
        return false;
      };
      // The page is told of the elements whose style this walk changed, each
      // by the remembered content it is in (a window), else by itself: a
      // redraw that changes nothing tells nothing.
      let told = null;
      const flush = () => {
        if (element === null) return;
        const now = !journaled || shadows.has(element) || restyled.has(element) || !repeats()
          ? null : element.getAttribute("style");
        let changed = false;
        // Without a style attribute, the writes make one as they would.
        if (now === null) {
          for (let i = 0; i < writes.length; i += 2) {
            if (writeStyle(element, writes[i], writes[i + 1])) changed = true;
          }
        } else {
          const style = element.style;
          if (style !== null && typeof style === "object") {
            const want = play(now, writes);
            unstyled(element);
            if (want !== now) {
              element.setAttribute("style", want === null ? "" : want);
              changed = true;
            }
          }
        }
        if (changed && hook !== null) {
          const which = notedRoot !== null ? notedRoot : element;
          if (which !== told) restyledNow.push((told = which));
        }
        element = null;
        writes.length = 0;
      };
      const w = reader();
      for (let pos = 0; (pos = readWrite(batch, pos, w)) >= 0;) {
        const index = w.index;
        const property = w.property;
        const target = list[index];
        if (!target || !property) continue;
        if (skip !== null && skip[index] === 1) continue;
        if (target !== element) {
          flush();
          element = target;
          const entry = restyled.get(element);
          const state = noteStyle(element, batchNumber);
          journaled = state !== null;
          const mine = entry ? entry.state : state;
          if (mine !== rootState) onlyRoot = false;
          if (notedRoot !== null && notedRoot !== listRoot) {
            const at = touched.get(notedRoot);
            if (at === undefined) {
              touched.set(notedRoot, { state: mine, fresh: notedFresh, chain: notedChain, first: element,
                                       firstIndex: index, last: element, lastIndex: index });
            } else if (index > at.lastIndex) {
              at.last = element;
              at.lastIndex = index;
            } else if (index < at.firstIndex) {
              at.first = element;
              at.firstIndex = index;
            }
          }
        }
        writes.push(property, valueOf(batch, w));
      }
      flush();
      if (rootState !== null) {
        rootState.fresh = false;
        rootState.batch = fromFresh && onlyRoot ? batch : null;
      }
      // What this walk leaves for the next call's walk of its rank: the
      // contents it styled from fresh, or right after the walk before it.
      for (const [root, at] of touched) {
        if (stateOf(root) !== at.state || !listRoot.contains(root)) continue;
        if (at.fresh) {
          at.state.chain = [walk];
        } else if (before !== undefined && at.chain !== null && at.chain[at.chain.length - 1] === before) {
          at.state.chain = at.chain.concat([walk]);
        } else {
          continue;
        }
        walk.roots.set(root, at);
      }
      if (listRoot !== null) {
        if (rank === 0) callWalks.set(listRoot, [walk]);
        else callWalks.get(listRoot).push(walk);
      }
    },
    // Whether value is the page's document, the one this writer writes.
    owns: function (value) {
      return value === doc;
    }
  };
})()
