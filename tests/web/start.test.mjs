// How the page starts, or says why it cannot, in Chromium and Firefox: opened
// from disk, with its program missing or broken, served with the wrong type
// (downloaded once all the same), and with a ?fail= name it cannot use.
import assert from "node:assert/strict";
import path from "node:path";
import {describe, it} from "node:test";
import {BROWSERS, DEADLINE, SITE, running, serve, session, until, visit as visitPage} from "./page.mjs";

const TIMEOUT = 4 * DEADLINE;
const SERVE = /bash scripts\/run\.sh --web.*python3 -m http\.server/;

function status(page) {
  return page.$eval("#status", (e) => e.textContent);
}

// The status line once it no longer says that the page is starting.
function said(page) {
  return until("the status line's news", async () => {
    const s = await status(page);
    return s !== "Starting tarvelmin..." && s;
  });
}

// The bar's controls and the trace panel, as far as anyone can see them.
const controls = (page) => page.$$eval("#bar, #panel", (all) => all.some((e) => e.checkVisibility()));

for (const name of BROWSERS) describe(`the page's start in ${name}`, () => {
  const s = session(name);

  // Nothing uncaught; what fails to load is on the console, as it should be.
  const visit = (url, test) => visitPage(s.browser, url, test, {console: false});

  it("opened from disk, says that it must be served, and how", {timeout: TIMEOUT}, () =>
    visit("file://" + path.join(SITE, "index.html"), async (page) => {
      const text = await said(page);
      assert.match(text, /^tarvelmin cannot start: it was opened from a file/);
      assert.match(text, SERVE);
      assert.equal(await controls(page), false, "the clock's and the trace's controls, with no program to control");
    }));

  for (const [what, replace, why] of [
    ["missing", null, /the server answered 404 .*for its program, tarvelmin\.wasm\./],
    ["not a program", Buffer.from("<!doctype html><p>Not found</p>"), /tarvelmin\.wasm, is not one this browser can run/],
  ]) {
    it(`with its program ${what}, says so, and how to serve the page`, {timeout: TIMEOUT}, async () => {
      const site = await serve(SITE, {replace: {"tarvelmin.wasm": replace}});
      try {
        await visit(site.url, async (page) => {
          const text = await said(page);
          assert.match(text, /^tarvelmin cannot start: /);
          assert.match(text, why);
          assert.match(text, SERVE);
          assert.equal(await controls(page), false, "the clock's and the trace's controls, with no program to control");
        });
      } finally {
        await site.close();
      }
    });
  }

  it("takes its program served as any type, downloaded once, without complaint", {timeout: TIMEOUT}, async () => {
    const site = await serve(SITE, {types: {"tarvelmin.wasm": "application/octet-stream"}});
    try {
      await visitPage(s.browser, site.url, async (page) => {
        await running(page);
        assert.equal(site.requests.filter((r) => r === "tarvelmin.wasm").length, 1, `requests: ${site.requests}`);
      });
    } finally {
      await site.close();
    }
  });

  it("refuses a ?fail= name that is no set-up call of the program's, and says why", {timeout: TIMEOUT}, async () => {
    for (const bad of ["Bogus", "Blt"]) {
      await visit(`${s.site.url}?fail=${bad}`, async (page) => {
        await until("the exit code", () => page.evaluate(() => window.tarvelminExitCode !== undefined));
        assert.equal(await page.evaluate(() => window.tarvelminExitCode), 1);
        assert.equal(await status(page), `tarvelmin did not start: ?fail=${bad} names no set-up call the program ` +
                     "makes; it takes CreateWindowExA, SetTimer, DirectDrawCreate, SetCooperativeLevel, " +
                     "CreateSurface, CreateClipper, SetHWnd, SetClipper (exit code 1).");
        assert.equal(await page.$(".frame"), null, "a window was made");
      });
    }
  });
});
