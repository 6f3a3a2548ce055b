// The window's frame as a person uses it, in Chromium and Firefox: moved by
// its caption and sized by its grip with the mouse and with a finger, no
// smaller than Windows allows and never off the screen; on a phone's screen,
// scaled down whole so that the close box is there to tap; by the keyboard
// alone; and the ERROR box, modal and in the middle.
import assert from "node:assert/strict";
import {describe, it} from "node:test";
import {Follow} from "./model.mjs";
import {BROWSERS, Clock, DEADLINE, box, ended, look, running, session, until, visit as visitPage} from "./page.mjs";

const TIMEOUT = 4 * DEADLINE;
// A captioned, sizable window is no smaller than this (SM_CXMINTRACK, SM_CYMINTRACK).
const SMALLEST = {width: 116, height: 27};
const PHONE = {width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true};

// Where the window manager has put the window on the program's screen.
function placed(page) {
  return page.$eval(".frame", (f) => ({x: parseInt(f.style.left), y: parseInt(f.style.top),
                                       width: parseInt(f.style.width), height: parseInt(f.style.height)}));
}

async function placedAt(page, want, what) {
  await until(`the window at ${JSON.stringify(want)} ${what}`, async () => {
    const p = await placed(page);
    return Object.keys(want).every((k) => p[k] === want[k]);
  }).catch(async (e) => assert.fail(`${e.message}; it is at ${JSON.stringify(await placed(page))}`));
}

// The program's screen: the desktop's area in the page, and its scale.
function screen(page) {
  return page.$eval("#desktop", (d) => ({width: d.clientWidth, height: d.clientHeight}));
}

// A pixel of the page on the program's screen at `scale`: the one under it.
const pixel = (v, scale) => Math.floor(v / scale);

// Drags with the mouse from `from` through `to` in steps, holding the button.
async function mouseDrag(page, from, to, steps = 4) {
  await page.mouse.move(from.x, from.y);
  await page.mouse.down();
  for (let i = 1; i <= steps; i++)
    await page.mouse.move(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps);
  await page.mouse.up();
}

async function touchDrag(page, from, to, steps = 4) {
  await page.touchscreen.touchStart(from.x, from.y);
  for (let i = 1; i <= steps; i++)
    await page.touchscreen.touchMove(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps);
  await page.touchscreen.touchEnd();
}

const centre = (r) => ({x: r.x + r.width / 2, y: r.y + r.height / 2});

for (const name of BROWSERS) describe(`the window's frame in ${name}`, () => {
  const s = session(name);
  const visit = (query, viewport, test) => visitPage(s.browser, s.site.url + query, test, {viewport});

  it("moves by its caption and sizes by its grip, with the mouse, within Windows' limits and the screen",
     {timeout: TIMEOUT}, () => visit("", {}, async (page) => {
    await running(page);
    const start = await placed(page);
    assert.deepEqual(start, {x: 0, y: 0, width: 648, height: 507});
    const caption = await box(page, ".frame .caption");
    const grab = {x: caption.x + 200, y: caption.y + 9};
    await mouseDrag(page, grab, {x: grab.x + 120, y: grab.y + 70});
    await placedAt(page, {x: 120, y: 70, width: 648, height: 507}, "after the caption's drag");

    // A double-click on the caption (two presses, as a hand makes them): no
    // maximise box, so nothing; a drag from further along (not a third
    // click) still finds a window it can move.
    await page.mouse.move(grab.x + 120, grab.y + 70);
    for (const clickCount of [1, 2]) {
      await page.mouse.down({clickCount});
      await page.mouse.up({clickCount});
    }
    await mouseDrag(page, {x: grab.x + 140, y: grab.y + 70}, {x: grab.x + 150, y: grab.y + 70}, 1);
    await placedAt(page, {x: 130, y: 70, width: 648, height: 507}, "after a double-click and a drag");

    // The grip: 100 x 50 larger, the picture stretched into it.
    const grip = centre(await box(page, ".frame .grip"));
    await mouseDrag(page, grip, {x: grip.x + 100, y: grip.y + 50});
    await placedAt(page, {x: 130, y: 70, width: 748, height: 557}, "after the grip's drag");
    await until("a 740 x 530 picture", async () => {
      const p = await look(page);
      return p.width === 740 && p.height === 530 && p.red.length > 21 && p.other === 0;
    });

    // Dragged far up and left, the grip stops at the smallest size.
    const grip2 = centre(await box(page, ".frame .grip"));
    await mouseDrag(page, grip2, {x: 1, y: 1});
    await placedAt(page, {x: 130, y: 70, ...SMALLEST}, "at its smallest");

    // A caption dragged past the screen's corner (onto the status line)
    // stops with the point it was held by on the screen's last pixel.
    const area = await screen(page);
    const viewport = page.viewport();
    const held = {x: 130 + 50, y: 70 + 10};
    await mouseDrag(page, held, {x: viewport.width - 1, y: viewport.height - 1});
    await placedAt(page, {x: 130 + area.width - 1 - held.x, y: 70 + area.height - 1 - held.y}, "at the corner");

  }));

  it("fits a phone's screen, scaled; a finger moves and sizes it and taps its close box",
     {timeout: TIMEOUT}, () => visit("", PHONE, async (page) => {
    await running(page);
    const area = await screen(page);
    // The window (648 x 507) is wider than the phone: everything is shown at
    // the scale that fits it, and the program's screen grows to match.
    const scale = Math.min(area.width / 648, area.height / 507);
    assert.ok(scale < 1, `scale ${scale}`);
    const frame = await box(page, ".frame");
    assert.ok(Math.abs(frame.width - 648 * scale) < 0.5 && frame.right <= area.width + 0.5,
              `the whole frame on the screen: ${JSON.stringify(frame)}`);
    for (const part of [".frame .close", ".frame .grip"]) {
      const r = await box(page, part);
      assert.ok(r.width > 0 && r.x >= 0 && r.right <= area.width + 0.5 && r.y >= 0 && r.bottom <= area.height + 0.5,
                `${part} on the screen: ${JSON.stringify(r)}`);
    }

    // Sized by a finger on the grip, 60 x 40 CSS pixels smaller (whole CSS
    // pixels: that is all a touch screen reports here).
    const middle = centre(await box(page, ".frame .grip"));
    const grip = {x: Math.round(middle.x), y: Math.round(middle.y)}, end = {x: grip.x - 60, y: grip.y - 40};
    await touchDrag(page, grip, end);
    const sized = {width: 648 + pixel(end.x, scale) - pixel(grip.x, scale),
                   height: 507 + pixel(end.y, scale) - pixel(grip.y, scale)};
    await placedAt(page, sized, "after the grip's drag");

    // Moved by a finger on the caption: exactly as far as the pixels under it,
    // and still on the screen whole.
    const caption = await box(page, ".frame .caption");
    const from = {x: Math.round(caption.x + 100), y: Math.round(caption.y + 5)}, to = {x: from.x + 30, y: from.y + 60};
    await touchDrag(page, from, to);
    const moved = {x: pixel(to.x, scale) - pixel(from.x, scale), y: pixel(to.y, scale) - pixel(from.y, scale)};
    await placedAt(page, {...moved, ...sized}, "after the finger's drag");

    const close = centre(await box(page, ".frame .close"));
    await page.touchscreen.tap(close.x, close.y);
    await ended(page, 0);
  }));

  it("is used by the keyboard alone: named parts, focus makes it active, Enter on the close box ends it",
     {timeout: TIMEOUT}, () => visit("", {}, async (page) => {
    await running(page);
    const focused = () => page.evaluate(() => {
      const e = document.activeElement;
      return e.matches(".frame .close") ? "close" : e.matches(".frame canvas") ? "canvas" : e.tagName.toLowerCase();
    });
    // The window is a dialog named by its caption; the canvas says what it shows.
    assert.deepEqual(await page.$eval(".frame", (f) => [f.getAttribute("role"),
                                                        document.getElementById(f.getAttribute("aria-labelledby")).textContent]),
                     ["dialog", "tarvelmin demo"]);
    assert.match(await page.$eval(".frame canvas", (c) => c.getAttribute("role") + ": " + c.getAttribute("aria-label")),
                 /^img: tarvelmin demo, 640 by 480 pixels: a red dot going round/);
    if (name === "chromium") {
      // And so the browser tells assistive technology (Firefox's tree is not
      // reachable through WebDriver BiDi).
      const nodes = [];
      const walk = (n) => (nodes.push(`${n.role}: ${n.name}`), (n.children || []).forEach(walk));
      walk(await page.accessibility.snapshot());
      for (const node of [/^main: Desktop$/, /^dialog: tarvelmin demo$/, /^button: Close$/,
                          /^image: tarvelmin demo, 640 by 480 pixels: a red dot/])
        assert.ok(nodes.some((n) => node.test(n)), `${node} among ${nodes.join("; ")}`);
    }

    const tab = async (shift = false) => {
      if (shift) await page.keyboard.down("Shift");
      await page.keyboard.press("Tab");
      if (shift) await page.keyboard.up("Shift");
      return focused();
    };
    assert.equal(await tab(), "main", "the desktop first");
    assert.equal(await tab(), "close");
    assert.equal(await tab(), "canvas");
    // Back to the desktop: another application is active, the disc stands still.
    await tab(true);
    assert.equal(await tab(true), "main");
    const clock = await Clock.hold(page);
    await clock.run(200);  // what was under way is done
    const follow = new Follow();
    assert.equal(follow.next(await look(page)), "");
    await clock.run(1000);
    assert.equal(follow.next(await look(page), 0), "", "with the focus on the desktop");
    // Into the window again: the program is active, and goes on from there.
    assert.equal(await tab(), "close");
    await clock.run(500);
    assert.equal(follow.next(await look(page), 5), "", "with the focus back");

    await page.keyboard.press("Enter");
    await clock.run(100);
    await ended(page, 0);
  }));

  for (const key of ["Escape", "Enter"]) {
    it(`shows the ERROR box modal and in the middle; the focus stays in it; ${key} is OK`, {timeout: TIMEOUT}, () =>
      visit("?fail=DirectDrawCreate", {}, async (page) => {
        const dialog = await page.waitForSelector("dialog.box[role=alertdialog][aria-label=ERROR]");
        assert.match(await dialog.evaluate((b) => document.getElementById(b.getAttribute("aria-describedby")).textContent),
                     /^Direct Draw Init Failed/);
        const r = await dialog.evaluate((b) => b.getBoundingClientRect().toJSON());
        const v = page.viewport();
        assert.ok(Math.abs(r.x + r.width / 2 - v.width / 2) <= 1 && Math.abs(r.y + r.height / 2 - v.height / 2) <= 1,
                  `the box at ${JSON.stringify(r)} in a ${v.width} x ${v.height} page`);
        for (let i = 0; i < 3; i++) {
          assert.equal(await page.evaluate(() => document.activeElement.textContent), "OK");
          await page.keyboard.press("Tab");
        }
        // The window behind cannot be reached meanwhile.
        assert.equal(await page.$eval(".frame .close", (c) => c.matches(":focus") || document.elementFromPoint(
          c.getBoundingClientRect().x + 2, c.getBoundingClientRect().y + 2) === c), false);
        assert.equal(await page.evaluate(() => window.tarvelminExitCode), undefined, "ended before OK");
        await page.keyboard.press(key);
        await ended(page, 0);
      }));
  }
});
