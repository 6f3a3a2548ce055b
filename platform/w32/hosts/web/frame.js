// One of the program's top-level windows as the page draws it: the frame,
// the caption with its close box, the canvas that is the client area, and a
// sizing grip. What the user does with the pointer (mouse, pen or finger)
// goes to the program's window manager as Windows' own input would: a press
// on the caption or the grip, where the pointer goes while held, and the
// release; the window manager moves or sizes the window, with the messages
// Windows sends, and the frame follows when it says where the window is now.
// The keyboard reaches the close box and the canvas, and focusing the
// window makes the program the active application.

// Where on the frame, as Windows' hit-test codes name the parts.
const HTCAPTION = 2, HTBOTTOMRIGHT = 17;
// Windows' double-click: the second press within 500 ms and 4 pixels of the first.
const DOUBLE_CLICK_MS = 500, DOUBLE_CLICK_PX = 4;
// The window manager's flags, as hosts/web.cpp sends them.
const VISIBLE = 1, SIZABLE = 2, MAXIMIZED = 4;

function make(tag, className, parent) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  parent?.append(e);
  return e;
}

export class Frame {
  constructor(desk, id) {
    this.desk = desk;
    this.id = id;
    this.shown = false;
    this.maximized = false;
    this.outer = {x: 0, y: 0, width: 0, height: 0};
    this.client = {x: 0, y: 0, width: 0, height: 0};
    this.lastPress = null;

    const frame = this.element = make("div", "frame");
    frame.dataset.window = id;
    frame.tabIndex = -1;  // a click on the frame focuses the window, as a whole
    frame.setAttribute("role", "dialog");
    frame.setAttribute("aria-labelledby", `window-${id}-title`);
    frame.classList.toggle("smooth", desk.smooth);
    const caption = this.caption = make("div", "caption", frame);
    this.title = make("span", "title", caption);
    this.title.id = `window-${id}-title`;
    const close = make("button", "close", caption);
    close.textContent = "\u00d7";
    close.title = "Close";
    close.setAttribute("aria-label", "Close");
    const canvas = this.canvas = make("canvas", "", frame);
    canvas.tabIndex = 0;
    canvas.setAttribute("role", "img");
    this.grip = make("div", "grip", frame);
    this.grip.setAttribute("aria-hidden", "true");
    // Desynchronized: each picture goes to the screen by itself, not through a
    // new frame of the whole page; at ten pictures a second that halves what
    // the page costs the browser.
    this.context = canvas.getContext("2d", {desynchronized: true});

    // The close box closes when the button or finger comes up over it, as on
    // Windows, and not through the click that may follow: a browser keeps to
    // itself the click of a tap that stops what it takes for a fling. The
    // keyboard's Enter and Space click it.
    let pressed = null;
    close.addEventListener("pointerdown", (e) => {
      if (e.button === 0) pressed = e.pointerId;
    });
    close.addEventListener("pointerup", (e) => {
      const over = close.contains(document.elementFromPoint(e.clientX, e.clientY));
      if (e.pointerId === pressed && over) desk.close(id);
      pressed = null;
    });
    close.addEventListener("pointercancel", () => (pressed = null));
    close.addEventListener("click", (e) => {
      if (e.detail === 0) desk.close(id);
    });
    frame.addEventListener("pointerdown", (e) => {
      if (e.target !== close) desk.activate(id);
    });
    // Focus coming in activates the program; leaving for the desktop, or
    // for nothing the page has (another window), makes another application
    // active, as a click on the desktop does. The page's own controls and
    // trace panel are no application: focus there leaves the program active,
    // and so does a dialog of the program's own.
    frame.addEventListener("focusin", () => desk.activate(id));
    frame.addEventListener("focusout", (e) => {
      const to = e.relatedTarget;
      if (!to || (desk.element.contains(to) && !to.closest(".frame"))) desk.activateOther();
    });
    // Focusable, though not in the keyboard's order: a browser aims a
    // finger's touch at the nearest thing it takes for a control, which
    // would otherwise be the canvas rather than the caption or the grip.
    caption.tabIndex = this.grip.tabIndex = -1;
    this.drags(caption, HTCAPTION, (e) => e.target !== close);
    this.drags(this.grip, HTBOTTOMRIGHT, () => true);
  }

  // A press on `part` holds the pointer until it is released; the window
  // manager hears all of it, in the program's screen's pixels.
  drags(part, hit, takes) {
    part.addEventListener("pointerdown", (e) => {
      if (e.button !== 0 || !takes(e)) return;
      e.preventDefault();
      part.setPointerCapture(e.pointerId);
      const at = this.desk.toScreen(e.clientX, e.clientY), last = this.lastPress, now = e.timeStamp;
      const twice = hit === HTCAPTION && last && now - last.time <= DOUBLE_CLICK_MS &&
                    Math.abs(at.x - last.x) <= DOUBLE_CLICK_PX && Math.abs(at.y - last.y) <= DOUBLE_CLICK_PX;
      this.lastPress = twice ? null : {time: now, x: at.x, y: at.y};
      if (twice) this.desk.doubleClick(this.id, hit, at);
      else this.desk.press(this.id, hit, at);
    });
    part.addEventListener("pointermove", (e) => {
      if (part.hasPointerCapture(e.pointerId)) this.desk.pointer(this.desk.toScreen(e.clientX, e.clientY));
    });
    const release = (e) => {
      if (!part.hasPointerCapture(e.pointerId)) return;
      part.releasePointerCapture(e.pointerId);
      this.desk.release(this.desk.toScreen(e.clientX, e.clientY));
    };
    part.addEventListener("pointerup", release);
    part.addEventListener("pointercancel", release);
  }

  // Where the window manager has the window now, and how it stands.
  show(title, outer, client, flags) {
    const frame = this.element, style = frame.style;
    this.outer = outer;
    this.client = client;
    this.shown = (flags & VISIBLE) !== 0;
    this.maximized = (flags & MAXIMIZED) !== 0;
    frame.hidden = !this.shown;
    style.left = outer.x + "px";
    style.top = outer.y + "px";
    style.width = outer.width + "px";
    style.height = outer.height + "px";
    // The frame is as thick at the top as at the sides; the caption takes
    // the rest above the client area, less a line of the frame's colour.
    const left = client.x - outer.x, top = client.y - outer.y;
    const c = this.caption.style;
    c.left = c.right = c.top = left + "px";
    c.height = Math.max(0, top - left - 1) + "px";
    this.title.textContent = title;
    const canvas = this.canvas;
    canvas.style.left = left + "px";
    canvas.style.top = top + "px";
    canvas.style.width = client.width + "px";
    canvas.style.height = client.height + "px";
    if (canvas.width !== client.width || canvas.height !== client.height) {
      canvas.width = client.width;  // clears it: the program sends the whole picture
      canvas.height = client.height;
    }
    canvas.setAttribute("aria-label", `${title}, ${client.width} by ${client.height} pixels: ${this.desk.picture}`);
    this.grip.hidden = !(flags & SIZABLE) || this.maximized;
  }

  put(rgba, x, y, width, height) {
    this.context.putImageData(new ImageData(new Uint8ClampedArray(rgba), width, height), x, y);
  }
}
