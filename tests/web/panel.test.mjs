// The trace panel and the program's clock, in Chromium and Firefox, as a
// learner uses them: one tick exactly as the recorder writes it
// (tests/app/one_tick.h), a line's fields, messages alone; Pause, Step and
// the speeds against the model of the picture; the restart controls
// (?show=, ?fail=) and what a failing set-up shows; the panel and the bar
// are not the desktop; and on a phone, the panel below, behind its button.
import assert from "node:assert/strict";
import fs from "node:fs";
import path from "node:path";
import {fileURLToPath} from "node:url";
import {describe, it} from "node:test";
import {Follow, pointAt} from "./model.mjs";
import {BROWSERS, Clock, DEADLINE, box, disc, ended, look, running, session, until, visit as visitPage} from "./page.mjs";

const TIMEOUT = 4 * DEADLINE;
const PHONE = {width: 390, height: 844, deviceScaleFactor: 3, isMobile: true, hasTouch: true};

// The lines of tests/app/one_tick.h, read from the C++ source the native
// tests compile: adjacent literals joined, one entry per comma.
function oneTick() {
  const source = fs.readFileSync(path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../app/one_tick.h"), "utf8");
  const body = source.slice(source.indexOf("{", source.indexOf("kOneTick")) + 1, source.lastIndexOf("};"))
    .replace(/^\s*\/\/.*$/gm, "");
  const lines = [];
  let line = null;
  for (const [, literal] of body.matchAll(/"((?:[^"\\]|\\.)*)"|,/g)) {
    if (literal !== undefined) line = (line ?? "") + JSON.parse(`"${literal}"`);
    else if (line !== null) lines.push(line), (line = null);
  }
  if (line !== null) lines.push(line);
  assert.ok(lines.length > 10 && lines[0].startsWith("DispatchMessageA"), `one_tick.h read as ${JSON.stringify(lines)}`);
  return lines;
}
const ONE_TICK = oneTick();
const FIRST_POINT = "x=371, y=301";  // the first tick's, as one_tick.h has it

// The panel's lines in the document, top to bottom: group headers as
// {group: label}, events as the recorder writes them, indented two spaces a
// level.
function panelLines(page) {
  return page.$$eval("#trace .row:not([hidden])", (rows) => rows
    .sort((a, b) => parseInt(a.style.top) - parseInt(b.style.top))
    .map((r) => r.classList.contains("group") ? {group: r.textContent.replace(/^\s*\d+/, "")}
                                              : "  ".repeat(Number(r.dataset.depth)) + r.querySelector(".l").textContent));
}

// The newest tick the panel shows: its number and lines.
async function lastTick(page) {
  const lines = await panelLines(page);
  const at = lines.findLastIndex((l) => typeof l === "object" && /^tick \d+/.test(l.group));
  if (at < 0) return {number: 0, label: "", lines: []};
  const end = lines.findIndex((l, i) => i > at && typeof l === "object");
  return {number: Number(/^tick (\d+)/.exec(lines[at].group)[1]), label: lines[at].group,
          lines: lines.slice(at + 1, end < 0 ? undefined : end)};
}

function heard(page) {
  return page.$eval("#trace-count", (e) => Number(e.dataset.heard));
}

// A click at the middle of `selector`: page.click() waits for a rendered
// frame, and a held clock renders none.
async function press(page, selector) {
  const r = await box(page, selector);
  await page.mouse.click(r.x + r.width / 2, r.y + r.height / 2);
}

// The tick's lines from DispatchMessageA on, with the point it drew at.
function tickDrawnAt(lines, [x, y]) {
  return lines.slice(lines.findIndex((l) => l.startsWith("DispatchMessageA")))
    .map((l) => l.replace(/x=\d+, y=\d+/, `x=${x}, y=${y}`));
}

const expectedAt = (point) => ONE_TICK.map((l) => l.replace(FIRST_POINT, `x=${point[0]}, y=${point[1]}`));

// Restarts through the bar's form with `choices` (select name: value), the
// page's clock kept as it is.
async function restart(page, choices = {}) {
  await page.click("#restart summary");
  for (const [name, value] of Object.entries(choices)) await page.select(`#restart-form select[name=${name}]`, value);
  await Promise.all([page.waitForNavigation(), page.click("#restart-form button[type=submit]")]);
}

for (const name of BROWSERS) describe(`the trace panel and the clock in ${name}`, () => {
  const s = session(name);
  const visit = (query, test, viewport = {}) => visitPage(s.browser, s.site.url + query, test, {viewport});

  it("shows one tick exactly as the recorder writes it; a line selected shows its fields; messages alone on request",
     {timeout: TIMEOUT}, () => visit("", async (page) => {
    await running(page);
    // Paused, a restart stands before the first tick: Step runs it.
    await page.click("#pause");
    await restart(page);
    await until("the program paused at its start", async () =>
      /paused at 0 ms/.test(await page.$eval("#status", (e) => e.textContent)) && (await heard(page)) > 0);
    assert.equal((await lastTick(page)).number, 0, "a tick ran while paused");
    await page.click("#step");
    const tick = await until("the first tick, returned", async () => {
      const t = await lastTick(page);
      return /a frame drawn/.test(t.label) && t;
    });
    assert.equal(tick.number, 1);
    assert.deepEqual(tick.lines.slice(tick.lines.findIndex((l) => l.startsWith("DispatchMessageA"))), ONE_TICK);
    const d = disc(await look(page));
    assert.deepEqual([d.x, d.y, d.count], [...pointAt(50), 21], "the first frame on the canvas");
    const newest = () => page.$eval("#newest", (b) => b.checkVisibility());
    assert.equal(await newest(), false, "a way back to the newest line, while the panel follows it");

    // The blit's line, clicked; then the line above it by the keyboard.
    const blt = await page.$$eval("#trace .row:not([hidden])", (rows) =>
      rows.find((r) => r.textContent.includes("IDirectDrawSurface::Blt(")).id);
    const [list, row] = await page.evaluate((id) => [document.querySelector("#trace").getBoundingClientRect().toJSON(),
                                                     document.getElementById(id).getBoundingClientRect().toJSON()], blt);
    assert.ok(row.y >= list.y && row.bottom <= list.bottom, "the blit's line in view");
    await page.mouse.click(list.x + 40, row.y + row.height / 2);  // the line is wider than the panel
    const fields = () => page.$eval("#event", (e) => [e.querySelector("h2").textContent,
      Object.fromEntries([...e.querySelectorAll("dt")].map((dt) => [dt.textContent, dt.nextElementSibling.textContent]))]);
    let [title, f] = await fields();
    assert.equal(title, "IDirectDrawSurface::Blt");
    assert.equal(f.destRect, "{4,23,644,503}");
    assert.equal(f.flags, "DDBLT_WAIT");
    assert.equal(f.result, "DD_OK");
    assert.equal(await page.$eval("#trace", (l) => l.getAttribute("aria-activedescendant")), blt);
    await page.keyboard.press("ArrowUp");
    [title, f] = await fields();
    assert.equal(title, "OffsetRect");
    assert.equal(f.rect, "{0,0,640,480} => {4,23,644,503}");

    await page.click("#panel input[name=filter][value=messages]");
    assert.deepEqual((await lastTick(page)).lines, ["WM_TIMER posted hwnd=hwnd#1 wParam=1 lParam=NULL -> 0"]);
    const kinds = await page.$$eval("#trace .row:not([hidden]):not(.group)", (rows) => [...new Set(rows.map((r) => r.classList[1]))]);
    assert.deepEqual(kinds, ["message"]);
  }));

  it("stands still when paused, disc and trace; Step adds exactly one tick's events and 2 degrees",
     {timeout: TIMEOUT}, () => visit("", async (page) => {
    await running(page);
    await page.click("#pause");
    assert.equal(await page.$eval("#pause", (b) => b.getAttribute("aria-pressed")), "true");
    const clock = await Clock.hold(page), follow = new Follow();
    assert.equal(follow.next(await look(page)), "");
    const before = await heard(page), tick = (await lastTick(page)).number;
    await clock.run(1500);
    assert.equal(follow.next(await look(page), 0), "", "paused, 1.5 s on");
    assert.equal(await heard(page), before, "the trace went on while paused");

    for (let step = 1; step <= 3; step++) {
      const was = await heard(page);
      await press(page, "#step");
      const t = await until(`step ${step}'s tick`, async () => {
        const last = await lastTick(page);
        return last.number === tick + step && /a frame drawn/.test(last.label) && last;
      });
      const picture = await look(page), d = disc(picture);
      assert.equal(follow.next(picture, 1), "", `step ${step}: one frame on`);
      assert.deepEqual(tickDrawnAt(t.lines, [d.x, d.y]), expectedAt([d.x, d.y]), `step ${step}'s lines`);
      await clock.run(1000);
      assert.equal(await heard(page), was + 2 + ONE_TICK.length, `step ${step}: GetMessageA, TranslateMessage and the tick`);
      assert.equal(follow.next(await look(page), 0), "", `step ${step}: and then it stands`);
    }

    await press(page, "#pause");  // runs again
    await clock.run(500);
    assert.equal(follow.next(await look(page), 5), "", "running again");
  }));

  it("runs at four times and a quarter of the page's speed", {timeout: TIMEOUT}, () => visit("", async (page) => {
    await running(page);
    await page.click("#bar .speed input[value='4'] + span");
    const clock = await Clock.hold(page);
    // Just after a tick (within a millisecond), then half a period on: no
    // tick falls on the end of a run.
    let number = (await lastTick(page)).number;
    for (let ms = 0; (await lastTick(page)).number === number; ms++) {
      assert.ok(ms < 100, "no tick within 100 ms at four times the speed");
      await clock.run(1);
    }
    await clock.run(12);
    const follow = new Follow();
    assert.equal(follow.next(await look(page)), "");
    number = (await lastTick(page)).number;
    for (const [ms, ticks] of [[100, 4], [100, 4], [500, 20]]) {
      await clock.run(ms);
      const now = (await lastTick(page)).number;
      assert.equal(now - number, ticks, `${ms} ms of the page's time at four times the speed`);
      assert.equal(follow.next(await look(page), ticks), "");
      number = now;
    }
    // A quarter: 12 ms after a tick at 4x is 48 of the program's ms; the
    // next tick comes 52 of them (208 of the page's) later, then one in 400.
    await press(page, "#bar .speed input[value='0.25'] + span");
    await clock.run(1600);
    assert.equal((await lastTick(page)).number - number, 4, "1600 ms of the page's time at a quarter of the speed");
    assert.equal(follow.next(await look(page), 4), "");
  }));

  it("restarts with a show command and a set-up call made to fail: the call's HRESULT, MessageBoxA, the window's end",
     {timeout: TIMEOUT}, () => visit("", async (page) => {
    await running(page);
    await restart(page, {show: "maximized", fail: "CreateSurface"});
    assert.equal(new URL(page.url()).search, "?show=maximized&fail=CreateSurface");
    const dialog = await page.waitForSelector(".box[role=alertdialog][aria-label=ERROR]");
    const frame = await page.$eval(".frame", (f) => [f.offsetWidth, f.offsetHeight]);
    const desktop = await page.$eval("#desktop", (d) => [d.clientWidth, d.clientHeight]);
    assert.ok(frame[0] >= desktop[0] && frame[1] >= desktop[1], `maximised: ${frame} on ${desktop}`);
    let lines = await panelLines(page);
    const failed = lines.findIndex((l) => /^IDirectDraw::CreateSurface\(.*\) -> DDERR_OUTOFMEMORY$/.test(l));
    assert.ok(failed >= 0, lines.join("\n"));
    const box1 = lines.findIndex((l) => /^MessageBoxA\(owner=hwnd#1, text="Direct Draw Init Failed \(8007000e\)\\n", caption="ERROR"/.test(l));
    assert.ok(box1 > failed, `MessageBoxA after the failed call:\n${lines.join("\n")}`);
    assert.doesNotMatch(lines[box1], / -> /, "MessageBoxA returned before OK");
    await dialog.$eval("button", (b) => b.click());
    await ended(page, 0);
    lines = await panelLines(page);
    assert.match(lines.find((l) => l.startsWith("MessageBoxA(")), / -> IDOK$/);
    const destroy = lines.findIndex((l) => /^DestroyWindow\(hwnd=hwnd#1\) -> TRUE$/.test(l));
    assert.ok(destroy > lines.findIndex((l) => l.startsWith("MessageBoxA(")), lines.join("\n"));
    assert.ok(lines.slice(destroy).some((l) => /^  WM_DESTROY sent hwnd=hwnd#1/.test(l)), lines.join("\n"));
    assert.ok(!lines.some((l) => /^(GetMessageA|SetTimer)\(/.test(l)), "the message loop ran");

    // The show command as the trace has it, from the top of the panel down, by the keyboard.
    await page.focus("#trace");
    await page.keyboard.press("Home");
    assert.equal(await page.$eval("#newest", (b) => b.checkVisibility()), true, "no way back to the newest line");
    const shown = "ShowWindow(hwnd=hwnd#1, showCommand=SW_SHOWMAXIMIZED) -> TRUE";
    for (let pages = 0; !(await panelLines(page)).includes(shown); pages++) {
      assert.ok(pages < 10, `no ${shown} in the panel`);
      await page.keyboard.press("PageDown");
    }
  }));

  it("leaves the program active when its own controls and the panel are used; the desktop does not",
     {timeout: TIMEOUT}, () => visit("", async (page) => {
    await running(page);
    await page.click(".frame canvas");  // the focus in the window
    for (const part of ["#pause", "#pause", "#trace", "#event", "#legend summary", "#trace-count", "#status"])
      await page.click(part);
    const clock = await Clock.hold(page), follow = new Follow();
    await clock.run(100);
    assert.equal(follow.next(await look(page)), "");
    await clock.run(500);
    assert.equal(follow.next(await look(page), 5), "", "after clicks on the controls and the panel");
    const frame = await box(page, ".frame");
    await page.mouse.click(frame.right + 30, frame.bottom + 30);
    await clock.run(100);
    const label = (await lastTick(page)).label;
    assert.match(label, /nothing drawn/);
    await clock.run(500);
    assert.equal(follow.next(await look(page), 0), "", "after a click on the desktop");
  }));

  it("on a phone, is closed behind its button, opens below the desktop and hears the program from then on",
     {timeout: TIMEOUT}, () => visit("", async (page) => {
    await running(page);
    assert.equal(await page.$eval("#panel", (p) => p.hidden), true);
    assert.equal(await page.$eval("#panel-toggle", (b) => b.getAttribute("aria-expanded")), "false");
    assert.equal(await heard(page), 0);
    const bar = await page.$$eval("#bar button, #bar summary, #bar .speed label",
                                  (all) => all.filter((e) => e.checkVisibility()).map((e) => e.getBoundingClientRect().toJSON()));
    assert.equal(bar.length, 7, "Pause, Step, three speeds, Trace, Restart");
    for (const r of bar) assert.ok(r.x >= 0 && r.right <= PHONE.width && r.bottom <= PHONE.height && r.height >= 36, JSON.stringify(r));
    const toggle = await box(page, "#panel-toggle");
    await page.touchscreen.tap(toggle.x + toggle.width / 2, toggle.y + toggle.height / 2);
    await until("events in the panel", async () => (await heard(page)) > 0);
    const desktop = await box(page, "#desktop");
    const panel = await box(page, "#panel");
    assert.ok(panel.top >= desktop.bottom && panel.width === PHONE.width, `${JSON.stringify(panel)} below ${JSON.stringify(desktop)}`);
    const frame = await box(page, ".frame");
    assert.ok(frame.right <= desktop.right + 0.5 && frame.bottom <= desktop.bottom + 0.5, "the window still fits");
    // The first ticks may restore the surfaces the desktop's new size lost.
    const first = (await lastTick(page)).number;
    const tick = await until("a tick in the panel", async () => {
      const t = await lastTick(page);
      return t.number > first + 2 && /a frame drawn/.test(t.label) && t;
    });
    assert.equal(tick.lines.length, 2 + ONE_TICK.length);
  }, PHONE));
});
