// What the browser tests share: the site served from build/web/page/, headless
// Chromium and Firefox ESR, the program's window read back from its canvas as
// a person would see it, and the page's clock held and let run by the test.
import assert from "node:assert/strict";
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import {fileURLToPath} from "node:url";
import {after, before} from "node:test";
import puppeteer from "puppeteer-core";

export const SITE = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../../build/web/page");
export const CHROMIUM = process.env.TARVELMIN_CHROMIUM || "/usr/bin/chromium";
export const FIREFOX = process.env.TARVELMIN_FIREFOX || "/usr/bin/firefox-esr";
// The browsers each test runs in; TARVELMIN_BROWSERS=chromium (say) narrows it.
export const BROWSERS = (process.env.TARVELMIN_BROWSERS || "chromium,firefox").split(",").filter(Boolean);
export const DEADLINE = 60_000;  // generous: the machine may be busy

const TYPES = {
  ".html": "text/html; charset=utf-8",
  ".js": "text/javascript; charset=utf-8",
  ".wasm": "application/wasm",
  ".png": "image/png",
};

function get(url) {
  return new Promise((resolve, reject) => {
    http.get(url, (res) => {
      res.resume();
      res.on("end", () => resolve(res));
    }).on("error", reject);
  });
}

// The site on 127.0.0.1, on a port of its own; checked to answer before use.
// `types` overrides the type a file is served with, `replace` its bytes
// (null: it is not there); every request is kept in `requests`.
export async function serve(root = SITE, {types = {}, replace = {}} = {}) {
  const requests = [];
  const server = http.createServer((req, res) => {
    const name = path.normalize(decodeURIComponent(new URL(req.url, "http://x").pathname));
    const file = path.join(root, name.endsWith("/") ? name + "index.html" : name);
    const base = path.basename(file);
    requests.push(base);
    const send = (error, data) => {
      if (error || !file.startsWith(root + path.sep) || data === null) {
        res.writeHead(404).end();
        return;
      }
      res.writeHead(200, {"content-type": types[base] || TYPES[path.extname(file)] || "application/octet-stream"}).end(data);
    };
    if (base in replace) send(null, replace[base]);
    else fs.readFile(file, send);
  });
  await new Promise((resolve, reject) => server.once("error", reject).listen(0, "127.0.0.1", resolve));
  const url = `http://127.0.0.1:${server.address().port}/`;
  const index = await get(url);
  assert.equal(index.statusCode, 200, `the test's web server does not serve ${url}`);
  requests.length = 0;
  return {url, requests, close: () => new Promise((resolve) => server.close(resolve))};
}

export async function launch(name = "chromium") {
  const firefox = name === "firefox";
  const executablePath = firefox ? FIREFOX : CHROMIUM;
  let browser;
  try {
    browser = await puppeteer.launch({
      browser: firefox ? "firefox" : "chrome",
      executablePath,
      headless: true,
      args: firefox ? [] : ["--no-sandbox"],
      timeout: DEADLINE,
      protocolTimeout: 2 * DEADLINE,
    });
    await browser.version();  // it answers
  } catch (e) {
    throw new Error(`headless ${name} (${executablePath}) did not start: ${e.message}`);
  }
  browser.tarvelminName = name;
  return browser;
}

// For the tests of one describe(): the site served and a browser of that
// kind, made before the first and closed after the last.
export function session(name) {
  const s = {site: null, browser: null};
  before(async () => {
    s.site = await serve();
    s.browser = await launch(name);
  });
  after(async () => {
    await s.browser?.close();
    await s.site?.close();
  });
  return s;
}

// A fresh page with the program started in it; uncaught errors in the page
// are collected in page.errors, console errors in page.consoleErrors. The
// default size leaves room for the window stretched to 1280 x 960 beside
// the trace panel, open at this width: the program's screen is the desktop
// as it opens. `viewport` takes puppeteer's
// other settings too (touch, a phone's pixel ratio).
export async function open(browser, url, {width = 1900, height = 1100, ...viewport} = {}) {
  const page = await browser.newPage();
  page.setDefaultTimeout(DEADLINE);
  page.errors = [];
  page.consoleErrors = [];
  page.on("pageerror", (e) => page.errors.push(String(e)));
  page.on("console", (m) => m.type() === "error" && page.consoleErrors.push(m.text()));
  page.browserName = browser.tarvelminName || "chromium";
  if (page.browserName === "firefox") await page.evaluateOnNewDocument(PAGE_CLOCK);
  await page.setViewport({width, height, ...viewport});
  await page.goto(url);
  return page;
}

// The program in a page of its own for one test, `test(page)`: then nothing
// may have gone uncaught in the page, nor (unless `console` is false, for a
// page expected to fail) been said as an error on its console.
export async function visit(browser, url, test, {viewport = {}, console = true} = {}) {
  const page = await open(browser, url, viewport);
  try {
    await test(page);
    assert.deepEqual(page.errors, [], "errors in the page");
    if (console) assert.deepEqual(page.consoleErrors, [], "errors on the console");
  } finally {
    await page.close();
  }
}

// The program has ended with `code`, and the page says so, with no window
// or dialog left.
export async function ended(page, code) {
  await until(`exit code ${code} in window.tarvelminExitCode`,
              async () => (await page.evaluate(() => window.tarvelminExitCode)) === code);
  assert.equal(await page.$eval("#status", (e) => e.textContent), `tarvelmin has ended with exit code ${code}.`);
  assert.equal(await page.$(".frame"), null, "a window is left");
  assert.equal(await page.$(".box"), null, "a dialog is left");
}

// Where `selector`'s element is on the page, in CSS pixels.
export function box(page, selector) {
  return page.$eval(selector, (e) => e.getBoundingClientRect().toJSON());
}

// The window's canvas: its size, where its exactly red pixels are, and how
// many pixels are neither red nor opaque black.
export function look(page) {
  return page.evaluate(() => {
    const canvas = document.querySelector(".frame canvas");
    if (!canvas) return null;
    const {width, height} = canvas;
    const d = canvas.getContext("2d").getImageData(0, 0, width, height).data;
    const red = [];
    let other = 0;
    for (let i = 0; i < d.length; i += 4) {
      if (d[i + 3] !== 255) other++;
      else if (d[i] === 255 && d[i + 1] === 0 && d[i + 2] === 0) red.push([(i / 4) % width, Math.floor(i / 4 / width)]);
      else if (d[i] || d[i + 1] || d[i + 2]) other++;
    }
    return {width, height, red, other};
  });
}

// The window's picture once the disc is on it.
export function running(page) {
  return until("the disc on the canvas", async () => {
    const p = await look(page);
    return p && p.red.length > 0 && p;
  });
}

// The red pixels' extent and middle.
export function disc(picture) {
  const xs = picture.red.map((p) => p[0]), ys = picture.red.map((p) => p[1]);
  const mean = (v) => v.reduce((a, b) => a + b, 0) / v.length;
  return {
    count: picture.red.length,
    width: Math.max(...xs) - Math.min(...xs) + 1,
    height: Math.max(...ys) - Math.min(...ys) + 1,
    x: mean(xs),
    y: mean(ys),
  };
}

// Polls `check` (async, returns a value or something falsy) until it gives a
// value or the deadline passes.
export async function until(what, check, deadline = DEADLINE) {
  const end = Date.now() + deadline;
  for (;;) {
    const value = await check();
    if (value) return value;
    if (Date.now() > end) throw new Error(`waited ${deadline / 1000} s in vain for ${what}`);
    await new Promise((resolve) => setTimeout(resolve, 20));
  }
}

// The page's own clock, held still, then let run by exact amounts, whatever
// the machine's load: DevTools' virtual time in Chromium; in Firefox, which
// has none, the page's timers and performance.now(), replaced by open()
// before the page's scripts run (PAGE_CLOCK) and held from here on.
export class Clock {
  static async hold(page) {
    const clock = new Clock();
    clock.page = page;
    if (page.browserName === "firefox") {
      await page.evaluate(() => window.tarvelminClock.hold());
      return clock;
    }
    clock.session = await page.createCDPSession();
    await clock.session.send("Emulation.setVirtualTimePolicy", {policy: "pause"});
    return clock;
  }

  async run(milliseconds) {
    if (!this.session) {
      await this.page.evaluate((ms) => window.tarvelminClock.run(ms), milliseconds);
      return;
    }
    const spent = new Promise((resolve) => this.session.once("Emulation.virtualTimeBudgetExpired", resolve));
    await this.session.send("Emulation.setVirtualTimePolicy", {policy: "advance", budget: milliseconds});
    await spent;
  }
}

// Runs in the page before its scripts: setTimeout and performance.now() go
// on as usual until hold(); then time stands still, and run(ms) moves it on,
// firing each timer that falls due in order and letting the page do what
// that timer woke before the next.
function PAGE_CLOCK() {
  const real = {now: performance.now.bind(performance), set: setTimeout.bind(window), clear: clearTimeout.bind(window)};
  const timers = new Map();
  let held = false, heldAt = 0, serial = 0;
  const now = () => held ? heldAt : real.now();
  const fire = (id) => {
    const t = timers.get(id);
    if (!t) return;
    timers.delete(id);
    if (typeof t.fn === "function") t.fn(...t.args);
  };
  performance.now = now;
  window.setTimeout = (fn, ms = 0, ...args) => {
    const id = ++serial, delay = Math.max(0, Number(ms) || 0);
    timers.set(id, {fn, args, due: now() + delay, real: held ? null : real.set(() => fire(id), delay)});
    return id;
  };
  window.clearTimeout = (id) => {
    const t = timers.get(id);
    if (t?.real !== null && t?.real !== undefined) real.clear(t.real);
    timers.delete(id);
  };
  window.tarvelminClock = {
    // What fell due before now happens now, as it would have.
    hold() {
      heldAt = real.now();
      held = true;
      for (const t of timers.values()) {
        if (t.real !== null) real.clear(t.real);
        t.real = null;
      }
      return this.run(0);
    },
    async run(ms) {
      const end = heldAt + ms;
      for (;;) {
        let next = null;
        for (const [id, t] of timers) if (t.due <= end && (!next || t.due < next.due)) next = {id, due: t.due};
        if (!next) break;
        heldAt = Math.max(heldAt, next.due);
        fire(next.id);
        // A task of its own (a message, which a hidden tab does not slow
        // down as it does timers), after all that the timer set going.
        await new Promise((resolve) => {
          const channel = new MessageChannel();
          channel.port1.onmessage = resolve;
          channel.port2.postMessage(0);
        });
      }
      heldAt = end;
    },
  };
}
