// What the browser tests share: the site served from build/web/page/, headless
// Chromium, the program's window read back from its canvas as a person would
// see it, and the page's clock held and let run by the test.
import assert from "node:assert/strict";
import fs from "node:fs";
import http from "node:http";
import path from "node:path";
import {fileURLToPath} from "node:url";
import puppeteer from "puppeteer-core";

export const SITE = path.resolve(path.dirname(fileURLToPath(import.meta.url)), "../../build/web/page");
export const CHROMIUM = process.env.TARVELMIN_CHROMIUM || "/usr/bin/chromium";
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
export async function serve(root = SITE) {
  const server = http.createServer((req, res) => {
    const name = path.normalize(decodeURIComponent(new URL(req.url, "http://x").pathname));
    const file = path.join(root, name.endsWith("/") ? name + "index.html" : name);
    fs.readFile(file, (error, data) => {
      if (error || !file.startsWith(root + path.sep)) {
        res.writeHead(404).end();
        return;
      }
      res.writeHead(200, {"content-type": TYPES[path.extname(file)] || "application/octet-stream"}).end(data);
    });
  });
  await new Promise((resolve, reject) => server.once("error", reject).listen(0, "127.0.0.1", resolve));
  const url = `http://127.0.0.1:${server.address().port}/`;
  const wasm = await get(url + "tarvelmin.wasm");
  assert.equal(wasm.statusCode, 200, `the test's web server does not serve ${url}tarvelmin.wasm`);
  assert.equal(wasm.headers["content-type"], "application/wasm");
  return {url, close: () => new Promise((resolve) => server.close(resolve))};
}

export async function launch() {
  let browser;
  try {
    browser = await puppeteer.launch({
      executablePath: CHROMIUM,
      headless: true,
      args: ["--no-sandbox"],
      timeout: DEADLINE,
      protocolTimeout: 2 * DEADLINE,
    });
    await browser.version();  // it answers
  } catch (e) {
    throw new Error(`headless Chromium (${CHROMIUM}) did not start: ${e.message}`);
  }
  return browser;
}

// A fresh page with the program started in it; uncaught errors in the page
// are collected in page.errors. The default size leaves room for the window
// stretched to 1280 x 960: the program's screen is the desktop as it opens.
export async function open(browser, url, {width = 1400, height = 1100} = {}) {
  const page = await browser.newPage();
  page.setDefaultTimeout(DEADLINE);
  page.errors = [];
  page.on("pageerror", (e) => page.errors.push(String(e)));
  await page.setViewport({width, height});
  await page.goto(url);
  return page;
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

// The page's own clock (DevTools virtual time): held still, then let run by
// exact amounts, whatever the machine's load.
export class Clock {
  static async hold(page) {
    const clock = new Clock();
    clock.session = await page.createCDPSession();
    await clock.session.send("Emulation.setVirtualTimePolicy", {policy: "pause"});
    return clock;
  }

  async run(milliseconds) {
    const spent = new Promise((resolve) => this.session.once("Emulation.virtualTimeBudgetExpired", resolve));
    await this.session.send("Emulation.setVirtualTimePolicy", {policy: "advance", budget: milliseconds});
    await spent;
  }
}
