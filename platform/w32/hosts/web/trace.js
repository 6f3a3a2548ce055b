// The trace panel: what the program does, live, as a message spy shows it,
// with the calls too. Each pass of the program's message loop is a group
// (GetMessageA, what it dispatched, and everything under it; a tick is one
// WM_TIMER); each line is one event as the recorder writes it: the program's
// time, the message (sent or posted) or call with its decoded fields, and
// its result, indented under the call or message that caused it. Newest at
// the bottom, followed unless the learner scrolls back; a filter for
// messages only; a selected line's fields below. The last KEEP events are
// kept; only the lines in view are in the document, so the panel costs the
// same whether it holds ten events or ten thousand.
//
// Listening starts when the panel opens and stops when it closes: closed,
// the program records nothing (hosts/web_trace.cpp).

const ROW = 18;       // px: every line is one row this high (index.html's --row)
const KEEP = 5000;    // events kept
const SLACK = 1000;   // dropped in one go once this many more have come
const AROUND = 10;    // rows drawn beyond those in view, either side
const KEPT = "tarvelmin.panel";  // open or closed, kept across a restart in this tab

// An event as one line, as the recorder writes it (trace.h's Line).
export function lineOf(e) {
  return parts(e).join("");
}

// The line's parts: the name, " sent" or " posted", the fields, the result.
function parts(e) {
  const message = e.kind === "message";
  const fields = message ? e.fields.map(([name, value]) => ` ${name}=${value}`).join("")
                         : "(" + e.fields.map(([name, value]) => `${name}=${value}`).join(", ") + ")";
  const shown = e.result !== null && (message || e.result !== "");
  return [e.name, message ? (e.posted ? " posted" : " sent") : "", fields, shown ? " -> " + e.result : ""];
}

// HRESULTs that say a call failed, marked as such (FALSE and NULL may be
// no failure at all: TranslateMessage and ShowWindow say FALSE as a rule).
const FAILED = /^(DDERR_|E_|CLASS_E_)/;

export class TracePanel {
  constructor(panel, toggle, desk) {
    this.panel = panel;
    this.toggle = toggle;
    this.desk = desk;
    this.list = panel.querySelector("#trace");
    this.sizer = this.list.querySelector(".sizer");
    this.count = panel.querySelector("#trace-count");
    this.newest = panel.querySelector("#newest");
    this.details = panel.querySelector("#event");

    this.all = [];        // rows: group headers and events, oldest first
    this.messages = [];   // the same, messages only
    this.calls = true;    // the filter: calls shown too
    this.heard = 0;       // events since the page began to listen
    this.events = 0;      // events in `all`
    this.seq = 0;
    this.open = [];       // per depth, the row of the event running there
    this.bySerial = new Map();  // rows not yet returned
    this.group = null;
    this.ticks = 0;
    this.resumed = false; // listening again after a pause: a group of its own
    this.selected = null;
    this.following = true;
    this.drawn = new Map();  // row -> its element, for the rows drawn now
    this.spare = [];
    this.widest = 0;
    this.scheduled = false;
    this.top = 0;         // where render() left the list scrolled
    this.shown = {};      // what render() last wrote outside the rows

    desk.trace = (began, e) => this.hear(began, e);
    this.list.addEventListener("scroll", () => {
      if (this.list.scrollTop === this.top) return;  // render()'s own
      this.following = this.atBottom();
      this.render();
    });
    this.list.addEventListener("click", (e) => {
      const el = e.target.closest(".row");
      if (el?.row) this.select(el.row);
    });
    this.list.addEventListener("keydown", (e) => this.key(e));
    this.newest.addEventListener("click", () => {
      this.follow();
      this.list.focus();
    });
    for (const r of panel.querySelectorAll("input[name=filter]"))
      r.addEventListener("change", () => r.checked && this.filter(r.value === "calls"));
    toggle.addEventListener("click", () => this.show(this.panel.hidden));
    new ResizeObserver(() => this.render()).observe(this.list);

    let kept = null;
    try {
      kept = sessionStorage.getItem(KEPT);
    } catch {}
    // Beside the window where both fit unscaled; elsewhere behind its button.
    this.show(kept ? kept === "open" : matchMedia("(min-width: 1200px)").matches, false);
    const legend = panel.querySelector("#legend");
    if (legend) legend.open = matchMedia("(min-width: 900px)").matches;
  }

  // Opens or closes the panel, and listens only while it is open.
  show(open, keep = true) {
    this.panel.hidden = !open;
    this.toggle.setAttribute("aria-expanded", String(open));
    if (keep) {
      try {
        sessionStorage.setItem(KEPT, open ? "open" : "closed");
      } catch {}
    }
    if (!open) {
      // What runs now will return unheard.
      this.open.length = 0;
      this.bySerial.clear();
    }
    // Opened once the program runs: what came before is not in the panel.
    if (open && this.desk.listen(true)) this.resumed = true;
    if (!open) this.desk.listen(false);
    if (open) this.schedule();
  }

  // ---- What the program does

  hear(began, e) {
    if (!began) {
      const row = this.bySerial.get(e.serial);
      if (!row) return;
      this.bySerial.delete(e.serial);
      this.open.length = Math.min(this.open.length, e.depth);
      row.e = e;
      row.version++;
      if (row === this.selected) this.describe(row);
      const g = row.group;
      if (e.kind === "message" && e.name === "WM_TIMER" && row.mdepth === 0) {
        g.drawn = g.blits > 0;
        g.version++;
      }
      if (e.depth === 0 && e.name === "GetMessageA" && e.result === "FALSE") {
        g.quit = true;
        g.version++;
      }
      this.schedule();
      return;
    }
    this.heard++;
    const parent = e.depth > 0 ? this.open[e.depth - 1] : null;
    if (!this.group || this.resumed || (e.depth === 0 && e.name === "GetMessageA")) this.begin(e);
    const g = this.group;
    const row = {
      e, group: g, parent, depth: e.depth, version: 0, seq: ++this.seq,
      mdepth: parent ? parent.mdepth + (parent.e.kind === "message" ? 1 : 0) : 0,
    };
    this.open[e.depth] = row;
    this.open.length = e.depth + 1;
    this.bySerial.set(e.serial, row);
    this.add(row);
    if (e.kind === "message") {
      // The message the loop dispatched names the group; those sent while
      // GetMessageA waited (activation, a new size) are noted beside it.
      if (parent?.e.name === "DispatchMessageA" && parent.depth === 0 && !g.message) {
        g.message = e.name;
        g.time = e.time;
        if (e.name === "WM_TIMER") g.tick = ++this.ticks;
      }
      if (e.name === "WM_ACTIVATEAPP") g.activation = e.fields[1][1];
      if (e.name === "WM_SIZE") g.size = e.fields[2][1];
      g.version++;
    } else if (e.name === "IDirectDrawSurface::Blt") {
      g.blits++;
    }
    this.schedule();
  }

  begin(e) {
    const g = {
      time: e.time, message: "", tick: 0, blits: 0, drawn: null, quit: false, activation: "", size: "", version: 0,
      first: !this.group && !this.resumed, resumed: this.resumed,
    };
    this.resumed = false;
    this.group = g;
    g.header = {header: true, group: g, version: 0, seq: ++this.seq, depth: 0, mdepth: 0};
    this.all.push(g.header);
    this.messages.push(g.header);
  }

  add(row) {
    this.all.push(row);
    if (row.e.kind === "message") this.messages.push(row);
    this.events++;
    if (this.events <= KEEP + SLACK) return;
    // Drop the oldest, and keep the group they leave behind named.
    const shown = this.rows();
    const before = shown.length;
    let cut = 0;
    while (this.events > KEEP) if (!this.all[cut++].header) this.events--;
    const from = this.all[cut].seq;
    this.all.splice(0, cut);
    const gone = this.messages.findIndex((r) => r.seq >= from);
    this.messages.splice(0, gone < 0 ? this.messages.length : gone);
    const first = this.all[0];
    if (!first.header) {
      this.all.unshift(first.group.header);
      if (this.messages[0] !== first.group.header) this.messages.unshift(first.group.header);
    }
    if (this.selected && this.selected.seq < from && !this.selected.header) this.select(null);
    if (!this.following) this.list.scrollTop -= (before - shown.length) * ROW;
    for (const el of this.drawn.values()) el.index = -1;  // every row has moved up
  }

  // ---- The view

  rows() {
    return this.calls ? this.all : this.messages;
  }

  filter(calls) {
    const keep = this.selected;
    this.calls = calls;
    for (const el of this.drawn.values()) el.index = -1;
    if (keep && !keep.header && !calls && keep.e.kind !== "message") this.select(null);
    this.render();
    if (this.following) this.follow();
    else if (this.selected) this.reveal(this.selected);
  }

  schedule() {
    // After the program's run up to its next wait: once for all it did.
    if (this.scheduled) return;
    this.scheduled = true;
    queueMicrotask(() => {
      this.scheduled = false;
      this.render();
    });
  }

  atBottom() {
    const l = this.list;
    return l.scrollTop + l.clientHeight >= l.scrollHeight - ROW / 2;
  }

  follow() {
    this.following = true;
    this.list.scrollTop = this.list.scrollHeight;
    this.render();
  }

  render() {
    if (this.panel.hidden) return;
    const rows = this.rows();
    // Only what changed goes to the document.
    const count = `${this.heard.toLocaleString("en")} events` +
                  (this.heard > this.events ? `, the last ${this.events.toLocaleString("en")} kept` : "");
    this.set("count", count, () => {
      this.count.textContent = count;
      this.count.dataset.heard = this.heard;
    });
    this.set("height", rows.length, () => (this.sizer.style.height = rows.length * ROW + "px"));
    this.set("widest", this.widest, () => (this.sizer.style.minWidth = `calc(${this.widest}ch + 16px)`));
    this.set("following", this.following, () => (this.newest.hidden = this.following));
    // Read before anything is written (the layout is still clean then), and
    // the scroll written last: one layout a render.
    const height = this.list.clientHeight;
    const top = this.following ? Math.max(0, rows.length * ROW - height) : this.list.scrollTop;
    const first = Math.max(0, Math.floor(top / ROW) - AROUND);
    const last = Math.min(rows.length, Math.ceil((top + height) / ROW) + AROUND);
    const wanted = new Set();
    for (let i = first; i < last; i++) wanted.add(rows[i]);
    for (const [row, el] of this.drawn) {
      if (wanted.has(row)) continue;
      this.drawn.delete(row);
      el.row = null;
      el.hidden = true;
      this.spare.push(el);
    }
    for (let i = first; i < last; i++) this.draw(rows[i], i, rows.length);
    // Last, once the rows are written: the layout this needs is the only one.
    if (this.following && this.top !== top) this.list.scrollTop = top;
    this.top = top;
  }

  set(what, value, write) {
    if (this.shown[what] === value) return;
    this.shown[what] = value;
    write();
  }

  draw(row, index, count) {
    let el = this.drawn.get(row);
    if (!el) {
      el = this.spare.pop() || this.make();
      el.hidden = false;
      el.row = row;
      el.version = -1;
      el.index = -1;
      this.drawn.set(row, el);
    }
    if (el.index !== index) {
      el.index = index;
      el.style.top = index * ROW + "px";
      el.setAttribute("aria-posinset", index + 1);
    }
    if (el.setsize !== count) {
      el.setsize = count;
      el.setAttribute("aria-setsize", count);
    }
    const version = row.header ? row.group.version : row.version;
    const depth = this.calls ? row.depth : row.mdepth;
    if (el.version === version && el.depth === depth && el.selected === (row === this.selected)) return;
    el.version = version;
    el.depth = depth;
    el.selected = row === this.selected;
    el.id = `trace-${row.seq}`;
    el.setAttribute("aria-selected", String(el.selected));
    const [time, line] = el.children;
    const spans = line.children;
    if (row.header) {
      time.textContent = String(row.group.time).padStart(7);
      spans[0].textContent = groupLabel(row.group);
      for (let i = 1; i < spans.length; i++) spans[i].textContent = "";
      line.style.paddingLeft = "";
      el.className = "row group" + (el.selected ? " selected" : "");
      delete el.dataset.depth;
      return;
    }
    const e = row.e, text = parts(e);
    time.textContent = String(e.time).padStart(7);
    for (let i = 0; i < spans.length; i++) spans[i].textContent = text[i];
    line.style.paddingLeft = depth * 2 + "ch";
    el.dataset.depth = depth;
    el.className = `row ${e.kind}` + (el.selected ? " selected" : "") + (e.result === null ? " running" : "") +
                   (e.kind === "call" && FAILED.test(e.result ?? "") ? " failed" : "");
    this.widest = Math.max(this.widest, 8 + depth * 2 + text.join("").length);
  }

  make() {
    const el = document.createElement("div");
    el.className = "row";
    el.setAttribute("role", "option");
    const time = document.createElement("span");
    time.className = "t";
    const line = document.createElement("span");
    line.className = "l";
    for (const name of ["h", "k", "a", "r"]) {
      const s = document.createElement("span");
      s.className = name;
      line.append(s);
    }
    el.append(time, line);
    this.sizer.append(el);
    return el;
  }

  // ---- Selecting a line

  select(row) {
    this.selected = row;
    if (row) this.list.setAttribute("aria-activedescendant", `trace-${row.seq}`);
    else this.list.removeAttribute("aria-activedescendant");
    this.describe(row);
    this.render();
  }

  reveal(row) {
    const i = this.rows().indexOf(row);
    if (i < 0) return;
    const l = this.list;
    if (i * ROW < l.scrollTop) l.scrollTop = i * ROW;
    else if ((i + 1) * ROW > l.scrollTop + l.clientHeight) l.scrollTop = (i + 1) * ROW - l.clientHeight;
    this.following = this.atBottom();
    this.render();
  }

  key(e) {
    const rows = this.rows();
    if (!rows.length) return;
    const page = Math.max(1, Math.floor(this.list.clientHeight / ROW) - 1);
    const at = this.selected ? rows.indexOf(this.selected) : -1;
    const to = {
      ArrowDown: at < 0 ? rows.length - 1 : at + 1, ArrowUp: at < 0 ? rows.length - 1 : at - 1,
      PageDown: at + page, PageUp: (at < 0 ? rows.length : at) - page, Home: 0, End: rows.length - 1,
    }[e.key];
    if (to === undefined) return;
    e.preventDefault();
    const row = rows[Math.max(0, Math.min(rows.length - 1, to))];
    this.select(row);
    this.reveal(row);
    if (e.key === "End") this.follow();
  }

  // The selected line's fields, one a line, and where it stands.
  describe(row) {
    const d = this.details;
    d.replaceChildren();
    if (!row) {
      const p = document.createElement("p");
      p.textContent = "Select a line to see its fields.";
      d.append(p);
      return;
    }
    const title = document.createElement("h2");
    const list = document.createElement("dl");
    const item = (name, value) => {
      const dt = document.createElement("dt"), dd = document.createElement("dd");
      dt.textContent = name;
      dd.textContent = value;
      list.append(dt, dd);
    };
    if (row.header) {
      title.textContent = groupLabel(row.group);
      item("began at", `${row.group.time} ms`);
    } else {
      const e = row.e;
      title.textContent = e.name;
      item(e.kind === "message" ? "message" : "call",
           e.kind === "message" ? (e.posted ? "posted: retrieved from the queue and dispatched" : "sent: the window procedure called directly")
                                : e.result === null ? "running" : "returned");
      item("at", `${e.time} ms`);
      item("under", row.parent ? row.parent.e.name : "nothing: the program's own code");
      for (const [name, value] of e.fields) item(name, value);
      if (e.result !== null && (e.kind === "message" || e.result !== "")) item("result", e.result);
    }
    d.append(title, list);
  }
}

function groupLabel(g) {
  let text = g.first ? "set-up: WinMain, up to its message loop" : g.resumed ? "listening from here" : "";
  if (g.tick) text = `tick ${g.tick}: WM_TIMER, ` + (g.drawn === null ? "running" : g.drawn ? "a frame drawn" : "nothing drawn");
  else if (g.message) text = g.message;
  else if (g.quit) text = "WM_QUIT: the message loop ends";
  else if (!text) text = "GetMessageA: waiting";
  if (g.activation) text += ` · WM_ACTIVATEAPP ${g.activation}`;
  if (g.size) text += ` · WM_SIZE ${g.size}`;
  return text;
}
