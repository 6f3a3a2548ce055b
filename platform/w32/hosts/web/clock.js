// The program's clock, in the learner's hands: the program reads its time
// here (GetTickCount, its timers) and waits here for its next deadline, so
// the page can stop that time, move it to the next deadline and no further
// (one tick: one WM_TIMER, one frame), or run it at a quarter, once or four
// times the page's own. And the controls that do it, in the page's bar.
// Time counts from the program's start, in milliseconds, as in the
// recorder's trace.

export const SPEEDS = [0.25, 1, 4];
const KEPT = "tarvelmin.clock";  // paused and speed, kept across a restart in this tab

export class ProgramClock {
  constructor({paused = false, speed = 1} = {}) {
    this.paused = paused;
    this.speed = SPEEDS.includes(speed) ? speed : 1;
    this.at = 0;                      // the program's time at `since`...
    this.since = performance.now();   // ...a reading of the page's clock
    this.pending = null;              // the wait for a deadline: {due, done}
    this.timer = null;
    this.changed = () => {};
  }

  now() {
    return this.paused ? this.at : this.at + (performance.now() - this.since) * this.speed;
  }

  // The program starts: its time starts at 0.
  start() {
    this.at = 0;
    this.since = performance.now();
  }

  // Calls `done` when the program's time has run `ms` on (whole milliseconds
  // of the program's, from the reading it made), unless cancel() comes first.
  sleep(ms, done) {
    this.pending = {due: Math.floor(this.now()) + ms, done};
    this.arm();
  }

  cancel() {
    this.pending = null;
    this.arm();
  }

  pause() {
    if (this.paused) return;
    this.at = this.now();
    this.paused = true;
    this.arm();
    this.changed();
  }

  run() {
    if (!this.paused) return;
    this.since = performance.now();
    this.paused = false;
    this.arm();
    this.changed();
  }

  setSpeed(speed) {
    if (!SPEEDS.includes(speed) || speed === this.speed) return;
    this.at = this.now();
    this.since = performance.now();
    this.speed = speed;
    this.arm();
    this.changed();
  }

  // Paused, the program's time moves to the deadline it waits for, and the
  // program runs up to its next wait. False when it waits for none.
  step() {
    this.pause();
    const p = this.pending;
    if (!p) return false;
    this.at = Math.max(this.at, p.due);
    this.changed();
    this.reach(p);
    return true;
  }

  // The page's timer for the pending deadline, while the clock runs. Never
  // early: the delay is rounded up, and a wake before the deadline (a
  // browser's timer may be a little early) finds the program's time set to it.
  arm() {
    if (this.timer !== null) clearTimeout(this.timer);
    this.timer = null;
    const p = this.pending;
    if (!p || this.paused) return;
    const delay = Math.max(0, Math.ceil((p.due - this.now()) / this.speed));
    this.timer = setTimeout(() => {
      this.timer = null;
      if (this.now() < p.due) {
        this.at = p.due;
        this.since = performance.now();
      }
      this.reach(p);
    }, delay);
  }

  reach(p) {
    if (this.pending !== p) return;
    this.pending = null;
    this.arm();
    p.done();
  }

  static kept() {
    try {
      return JSON.parse(sessionStorage.getItem(KEPT)) || {};
    } catch {
      return {};
    }
  }

  keep() {
    try {
      sessionStorage.setItem(KEPT, JSON.stringify({paused: this.paused, speed: this.speed}));
    } catch {}  // no storage: a restart starts running, at 1x
  }
}

// The bar's clock controls: Pause (a toggle), Step, and the speed (radio
// buttons). What they do shows in the buttons' state; the desktop says it
// in the status line.
export function clockControls(clock, bar) {
  const pause = bar.querySelector("#pause"), step = bar.querySelector("#step");
  const speeds = [...bar.querySelectorAll("input[name=speed]")];
  const show = () => {
    pause.setAttribute("aria-pressed", String(clock.paused));
    for (const s of speeds) s.checked = Number(s.value) === clock.speed;
  };
  pause.addEventListener("click", () => (clock.paused ? clock.run() : clock.pause()));
  step.addEventListener("click", () => clock.step());
  for (const s of speeds) s.addEventListener("change", () => s.checked && clock.setSpeed(Number(s.value)));
  const changed = clock.changed;
  clock.changed = () => {
    show();
    clock.keep();
    changed();
  };
  show();
}
