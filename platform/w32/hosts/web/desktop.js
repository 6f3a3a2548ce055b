// The page plays the desktop for tarvelmin's web host (hosts/web.cpp): a
// frame with a caption, a close box and a sizing grip around each window's
// canvas, dialogs for message boxes, and the line at the bottom that says
// how the program is doing. What the user does is only queued here; the
// program carries it out through its window manager when it next looks.
"use strict";

// Metrics of the frame, as the program's window manager has them.
const FRAME = 4, CAPTION = 19;
// Event kinds, as hosts/web.cpp numbers them.
const CLOSE = 1, ACTIVATE = 2, ACTIVATE_OTHER = 3, RESIZE = 4, HIDDEN = 5, SHOWN = 6;

const desk = {
  events: [],
  windows: new Map(),
  fault: new URLSearchParams(location.search).get("fail") || "",
  element: document.getElementById("desktop"),
  status: document.getElementById("status"),
  waking: null,

  open() {
    this.element.addEventListener("pointerdown", (e) => {
      if (e.target === this.element) this.queue({kind: ACTIVATE_OTHER});
    });
    document.addEventListener("visibilitychange", () => this.queue({kind: document.hidden ? HIDDEN : SHOWN}));
    this.status.textContent = "tarvelmin is running.";
    return {width: this.element.clientWidth, height: this.element.clientHeight};
  },

  queue(e) {
    if (e.kind === RESIZE) {  // only the latest size of a drag matters
      const i = this.events.findIndex((o) => o.kind === RESIZE && o.id === e.id);
      if (i >= 0) {
        this.events[i] = e;
        return;
      }
    }
    this.events.push(e);
    const wake = this.waking;
    this.waking = null;
    if (wake) wake();
  },

  // Resolves at the deadline (ms; negative: none) or when an event is queued.
  wait(ms) {
    return new Promise((resolve) => {
      let timer = null;
      this.waking = () => {
        if (timer !== null) clearTimeout(timer);
        resolve();
      };
      if (ms >= 0) timer = setTimeout(() => {
        this.waking = null;
        resolve();
      }, ms);
    });
  },

  window(id, title, x, y, width, height, visible) {
    let w = this.windows.get(id);
    if (!w) w = this.make(id);
    w.caption.firstChild.textContent = title;
    w.frame.style.left = (x - FRAME) + "px";
    w.frame.style.top = (y - FRAME - CAPTION) + "px";
    w.frame.style.width = (width + 2 * FRAME) + "px";
    w.frame.style.height = (height + 2 * FRAME + CAPTION) + "px";
    if (w.canvas.width !== width || w.canvas.height !== height) {
      w.canvas.width = width;  // clears it: the program sends the whole picture
      w.canvas.height = height;
    }
    w.frame.hidden = !visible;
  },

  make(id) {
    const frame = document.createElement("div");
    frame.className = "frame";
    frame.dataset.window = id;
    const caption = document.createElement("div");
    caption.className = "caption";
    caption.append(document.createTextNode(""));
    const close = document.createElement("button");
    close.className = "close";
    close.textContent = "\u00d7";
    close.title = "Close";
    close.setAttribute("aria-label", "Close");
    close.addEventListener("click", () => this.queue({kind: CLOSE, id}));
    caption.append(close);
    const canvas = document.createElement("canvas");
    canvas.style.left = FRAME + "px";
    canvas.style.top = (FRAME + CAPTION) + "px";
    const grip = document.createElement("div");
    grip.className = "grip";
    frame.append(caption, canvas, grip);
    frame.addEventListener("pointerdown", (e) => {
      if (e.target !== close) this.queue({kind: ACTIVATE, id});
    });
    // Dragging the grip sizes the client area; the program stretches its picture.
    grip.addEventListener("pointerdown", (e) => {
      e.preventDefault();
      grip.setPointerCapture(e.pointerId);
      const start = {x: e.clientX, y: e.clientY, width: canvas.width, height: canvas.height};
      const move = (m) => this.queue({kind: RESIZE, id, a: Math.max(1, start.width + m.clientX - start.x),
                                      b: Math.max(1, start.height + m.clientY - start.y)});
      grip.addEventListener("pointermove", move);
      grip.addEventListener("pointerup", () => grip.removeEventListener("pointermove", move), {once: true});
    });
    this.element.append(frame);
    // Desynchronized: each picture goes to the screen by itself, not through a
    // new frame of the whole page; at ten pictures a second that halves what
    // the page costs the browser.
    const w = {frame, caption, canvas, context: canvas.getContext("2d", {desynchronized: true})};
    this.windows.set(id, w);
    return w;
  },

  gone(id) {
    const w = this.windows.get(id);
    if (w) w.frame.remove();
    this.windows.delete(id);
  },

  put(id, rgba, x, y, width, height) {
    const w = this.windows.get(id);
    if (w) w.context.putImageData(new ImageData(new Uint8ClampedArray(rgba), width, height), x, y);
  },

  // A modal box over the desktop; resolves when dismissed.
  messageBox(id, text, caption) {
    return new Promise((resolve) => {
      const box = document.createElement("div");
      box.className = "box";
      box.setAttribute("role", "alertdialog");
      box.setAttribute("aria-label", caption);
      const title = document.createElement("div");
      title.className = "caption";
      title.style.position = "static";
      title.textContent = caption;
      const message = document.createElement("p");
      message.textContent = text;
      const buttons = document.createElement("div");
      buttons.className = "buttons";
      const ok = document.createElement("button");
      ok.textContent = "OK";
      ok.addEventListener("click", () => {
        box.remove();
        resolve(1);
      });
      buttons.append(ok);
      box.append(title, message, buttons);
      box.style.left = "80px";
      box.style.top = "80px";
      this.element.append(box);
      ok.focus();
    });
  },

  ended(code) {
    window.tarvelminExitCode = code;
    this.status.textContent = "tarvelmin has ended with exit code " + code + ".";
  },
};

// The program's exit() ends it from inside the callback that woke it from a
// wait, a promise's: the ExitStatus it throws to unwind is no error.
window.addEventListener("unhandledrejection", (e) => {
  if (e.reason && e.reason.name === "ExitStatus") e.preventDefault();
});

var Module = {
  desk,
  onExit: (code) => desk.ended(code),
  print: (text) => console.log(text),
  printErr: (text) => console.error(text),
};
