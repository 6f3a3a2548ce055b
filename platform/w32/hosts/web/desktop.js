// The desktop the page plays for tarvelmin's web host (hosts/web.cpp calls
// the methods below as Module.desk): the program's screen, scaled down to
// fit when the page is smaller than its windows, as a remote-desktop viewer
// does; the queue of what the user did, which the program carries out
// through its window manager when it next looks; the program's clock
// (clock.js), which its waits go by; and the status line. The trace panel
// (trace.js) hears the program through trace() and starts and stops
// listening through listen().
import {showMessageBox} from "./dialog.js";
import {Frame} from "./frame.js";

// A client area smaller than this leaves some of the orbit's marks (the disc
// goes round within 238..402 x 158..322 of the back surface) outside the
// rectangle each tick clears.
const ORBIT = {width: 403, height: 323};

// What the user did, as hosts/web.cpp numbers it.
const Event = {
  CLOSE: 1, ACTIVATE: 2, ACTIVATE_OTHER: 3, HIDDEN: 4, SHOWN: 5,
  PRESS: 6, DOUBLE_CLICK: 7, POINTER: 8, RELEASE: 9, SCREEN: 10,
};

export class Desktop {
  constructor(element, status, clock) {
    this.element = element;  // the page's area for the desktop
    this.screen = element.querySelector("#screen");
    this.status = status;
    this.clock = clock;
    const query = new URLSearchParams(location.search);
    this.fault = query.get("fail") || "";
    this.show = query.get("show") || "";
    this.picture = element.dataset.picture || "";
    this.events = [];
    this.frames = new Map();
    this.waking = null;
    this.scale = 1;
    this.smooth = false;
    this.size = {width: 0, height: 0};  // the program's screen
    this.refusal = "";
    this.running = false;
    this.program = null;    // Emscripten's module, once its runtime is up
    this.listening = false;
    this.offered = () => {};  // what the program may be started with (restart.js)
    this.trace = null;        // the trace panel's ear
  }

  // ---- What the program calls

  // The show commands and the set-up calls that can be made to fail.
  open(shows, calls) {
    this.clock.start();
    this.offered(shows, calls);
    // The desktop itself, clicked or given the keyboard's focus, is the shell
    // of another application; the frames say when focus leaves them for it.
    this.element.addEventListener("pointerdown", (e) => {
      if (e.target === this.element || e.target === this.screen) this.activateOther();
    });
    this.element.addEventListener("focus", () => this.activateOther());
    document.addEventListener("visibilitychange", () => this.queue({kind: document.hidden ? Event.HIDDEN : Event.SHOWN}));
    new ResizeObserver(() => this.fit(true)).observe(this.element);
    this.fit(true);
    this.running = true;
    this.tell();
    return this.size;
  }

  // Resolves when the program's clock has run `ms` on (negative: never) or
  // when an event is queued, whichever comes first.
  wait(ms) {
    return new Promise((resolve) => {
      const done = () => {
        this.waking = null;
        this.clock.cancel();
        resolve();
      };
      this.waking = done;
      if (ms >= 0) this.clock.sleep(ms, done);
    });
  }

  // A window as the window manager has it now: its outer and client
  // rectangles on the program's screen.
  window(id, title, outer, client, flags) {
    let frame = this.frames.get(id);
    if (!frame) {
      frame = new Frame(this, id);
      this.frames.set(id, frame);
      this.screen.append(frame.element);
    }
    frame.show(title, outer, client, flags);
    if (frame.shown && !frame.maximized && (outer.width > this.size.width || outer.height > this.size.height))
      this.fit(false);
    this.tell();
  }

  gone(id) {
    this.frames.get(id)?.element.remove();
    this.frames.delete(id);
    this.tell();
  }

  put(id, rgba, x, y, width, height) {
    this.frames.get(id)?.put(rgba, x, y, width, height);
  }

  messageBox(text, caption) {
    return showMessageBox(text, caption);
  }

  refused(why) {
    this.refusal = why;
  }

  ended(code) {
    this.running = false;
    this.program = null;  // its runtime is gone: nothing more to listen to
    this.clock.cancel();
    window.tarvelminExitCode = code;
    this.status.classList.toggle("trouble", this.refusal !== "");
    this.say(this.refusal ? `tarvelmin did not start: ${this.refusal} (exit code ${code}).`
                          : `tarvelmin has ended with exit code ${code}.`);
  }

  // ---- What the user did, for the frames

  activate(id) {
    this.queue({kind: Event.ACTIVATE, id});
  }
  activateOther() {
    this.queue({kind: Event.ACTIVATE_OTHER});
  }
  close(id) {
    this.queue({kind: Event.CLOSE, id});
  }
  // The button goes down on part `hit` of window `id`'s frame, at `at` on
  // the program's screen, or is pressed there a second time.
  press(id, hit, at) {
    this.queue({kind: Event.PRESS, id, a: at.x, b: at.y, c: hit});
  }
  doubleClick(id, hit, at) {
    this.queue({kind: Event.DOUBLE_CLICK, id, a: at.x, b: at.y, c: hit});
  }
  pointer(at) {
    this.queue({kind: Event.POINTER, a: at.x, b: at.y});
  }
  release(at) {
    this.queue({kind: Event.RELEASE, a: at.x, b: at.y});
  }

  // ---- The trace

  // Emscripten's module, before the program's main() runs: a panel open
  // from the start hears the program from its first call.
  runtimeReady(program) {
    this.program = program;
    if (this.listening) program._tarvelmin_trace(1);
  }

  // Listening on or off; true when the program already runs (a panel opened
  // now hears it from here on).
  listen(on) {
    if (on !== this.listening && this.program) this.program._tarvelmin_trace(on ? 1 : 0);
    this.listening = on;
    return this.running;
  }

  // ---- The page's own

  say(text) {
    if (this.status.textContent !== text) this.status.textContent = text;
  }

  // The status line while the program runs: its clock, and what the window
  // shows when that needs saying.
  tell() {
    if (!this.running) return;
    const c = this.clock;
    let text = "tarvelmin is running";
    if (c.paused) text += `, paused at ${Math.floor(c.now())} ms of its time: Step runs one tick`;
    else if (c.speed !== 1) text += ` at ${c.speed === 4 ? "four times" : "a quarter of"} the page's speed`;
    text += ".";
    const frames = [...this.frames.values()];
    if (frames.length && !frames.some((f) => f.shown)) {
      text += " Its window is not shown (minimised or hidden), and this page has no taskbar to bring it back: " +
              "restart it with another show command.";
    } else if (frames.some((f) => f.shown && f.client && (f.client.width < ORBIT.width || f.client.height < ORBIT.height))) {
      text += " The window is smaller than the orbit, so old marks stay: each tick's FillRect clears only the " +
              "client rectangle of the 640 x 480 surface, not all of it (see the trace). The program does that " +
              "on Windows too.";
    }
    this.say(text);
  }

  queue(e) {
    // Only where the pointer is now matters, not where it passed.
    const last = this.events[this.events.length - 1];
    if (e.kind === Event.POINTER && last?.kind === Event.POINTER) this.events.pop();
    this.events.push(e);
    const wake = this.waking;
    this.waking = null;
    if (wake) wake();
  }

  // A point of the page (CSS pixels from the viewport's corner) on the
  // program's screen; the pixel under it, exactly, whatever the scale.
  toScreen(clientX, clientY) {
    const r = this.screen.getBoundingClientRect();
    return {x: Math.floor((clientX - r.left) / this.scale), y: Math.floor((clientY - r.top) / this.scale)};
  }

  // The scale that shows every window whole (never above 1), and the
  // program's screen as large as the page at that scale. When the page
  // itself changed, where the windows are counts too, so that none is left
  // out of reach; otherwise only their sizes, so that a window dragged
  // partly off the screen does not zoom the desktop out.
  fit(pageChanged) {
    const area = {width: Math.max(1, this.element.clientWidth), height: Math.max(1, this.element.clientHeight)};
    let need = {width: 1, height: 1};
    for (const f of this.frames.values()) {
      if (!f.shown || f.maximized) continue;  // a maximised window fills whatever screen there is
      const o = f.outer;
      need.width = Math.max(need.width, o.width, pageChanged ? o.x + o.width : 0);
      need.height = Math.max(need.height, o.height, pageChanged ? o.y + o.height : 0);
    }
    const scale = Math.min(1, area.width / need.width, area.height / need.height);
    const size = {width: Math.floor(area.width / scale), height: Math.floor(area.height / scale)};
    this.scale = scale;
    this.screen.style.width = size.width + "px";
    this.screen.style.height = size.height + "px";
    this.screen.style.transform = scale < 1 ? `scale(${scale})` : "";
    this.screen.style.setProperty("--scale", scale);
    // Scaled below one device pixel per program pixel, smooth rather than
    // dropping rows and columns.
    this.smooth = scale * devicePixelRatio < 1;
    for (const f of this.frames.values()) f.element.classList.toggle("smooth", this.smooth);
    if (size.width === this.size.width && size.height === this.size.height) return;
    const told = this.size.width > 0;
    this.size = size;
    if (told) this.queue({kind: Event.SCREEN, a: size.width, b: size.height});
  }
}
