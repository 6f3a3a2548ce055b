// tarvelmin in its web page, in headless Chromium and Firefox: what a person
// sees on the window's canvas, and what the frame, the desktop and the tabs
// do to it.
import assert from "node:assert/strict";
import {describe, it} from "node:test";
import {Follow} from "./model.mjs";
import {BROWSERS, Clock, box, DEADLINE, ended, look, running, session, until, visit as visitPage} from "./page.mjs";

const TIMEOUT = 4 * DEADLINE;

// The page's clock runs `ms` on, and the window's whole picture must be
// what the model says: `frames` further on (one every 100 ms unless told)
// in the history it follows.
async function runs(page, clock, follow, ms, {frames = ms / 100, size = [640, 480], what = ""} = {}) {
  await clock.run(ms);
  const p = await look(page);
  assert.deepEqual([p.width, p.height], size);
  assert.equal(follow.next(p, frames), "", `${ms} ms on ${what}`);
}

for (const name of BROWSERS) describe(`tarvelmin's web page in ${name}`, () => {
  const s = session(name);
  // The program in a page of its own, for one test; nothing may go uncaught there.
  const visit = (query, test) => visitPage(s.browser, s.site.url + query, test);

  describe("the window", () => {
    it("shows on its canvas what the program draws, frame for frame, 2 degrees every 100 ms", {timeout: TIMEOUT}, () =>
      visit("", async (page) => {
        await running(page);
        assert.equal(await page.$eval(".frame .caption", (e) => e.firstChild.textContent), "tarvelmin demo");
        const clock = await Clock.hold(page), follow = new Follow();
        assert.equal(follow.next(await look(page)), "", "the first frame seen");
        for (const ms of [100, 500, 1000, 3700]) await runs(page, clock, follow, ms);
      }));

    it("is on the screen as on its canvas, frame after frame", {timeout: TIMEOUT}, () =>
      visit("", async (page) => {
        await running(page);
        const clip = await box(page, ".frame canvas");
        // Red pixels of the screen's picture of the canvas, read back in the page.
        const onScreen = async () => {
          const png = await page.screenshot({clip, encoding: "base64"});
          return page.evaluate(async (png) => {
            const image = new Image();
            image.src = "data:image/png;base64," + png;
            await image.decode();
            const c = new OffscreenCanvas(image.width, image.height).getContext("2d");
            c.drawImage(image, 0, 0);
            const d = c.getImageData(0, 0, image.width, image.height).data;
            const red = [];
            for (let i = 0; i < d.length; i += 4)
              if (d[i] === 255 && d[i + 1] === 0 && d[i + 2] === 0) red.push([(i / 4) % image.width, Math.floor(i / 4 / image.width)]);
            return red;
          }, png);
        };
        // Three frames seen both ways: a screenshot between two equal reads of the canvas.
        const seen = [];
        await until("three frames on the screen as on the canvas", async () => {
          const before = (await look(page)).red, screen = await onScreen(), after = (await look(page)).red;
          if (JSON.stringify(before) !== JSON.stringify(after)) return false;
          assert.deepEqual(screen, before, "the screen and the canvas differ");
          if (!seen.includes(JSON.stringify(before))) seen.push(JSON.stringify(before));
          return seen.length >= 3;
        });
      }));

    it("stands still while another application is active, and goes on from there", {timeout: TIMEOUT}, () =>
      visit("", async (page) => {
        await running(page);
        const clock = await Clock.hold(page), follow = new Follow();
        assert.equal(follow.next(await look(page)), "");

        // Clicks at coordinates: page.click() waits for a rendered frame, and
        // a held clock renders none.
        const frame = await box(page, ".frame");
        const [x, y] = [frame.right + 50, frame.bottom + 20];
        assert.equal(await page.evaluate((x, y) => document.elementFromPoint(x, y).closest(".frame, #desktop").id, x, y),
                     "desktop");
        await page.mouse.click(x, y);
        await runs(page, clock, follow, 1000, {frames: 0, what: "after a click on the desktop"});
        const canvas = await box(page, ".frame canvas");
        await page.mouse.click(canvas.x + canvas.width / 2, canvas.y + canvas.height / 2);
        await runs(page, clock, follow, 500, {what: "after a click in the window"});

        const other = await s.browser.newPage();
        try {
          await other.bringToFront();
          assert.equal(await page.evaluate(() => document.hidden), true);
          await runs(page, clock, follow, 1000, {frames: 0, what: "while another tab is in front"});
        } finally {
          await other.close();
        }
        await page.bringToFront();
        assert.equal(await page.evaluate(() => document.hidden), false);
        await runs(page, clock, follow, 500, {what: "with its tab in front again"});
      }));

    // The grip drags in real time (moves with a button down wait for a
    // rendered frame), in one move: one new size. Then frame after frame:
    // larger, the picture stretched; smaller than the orbit, the marks
    // outside the part each frame clears stay, shrunk with the rest.
    for (const [what, [width, height]] of [["larger", [1280, 960]], ["smaller", [317, 223]]])
      it(`shows what the program draws, stretched, when the grip makes it ${what}`, {timeout: TIMEOUT}, () =>
        visit("", async (page) => {
          await running(page);
          const grip = await box(page, ".frame .grip");
          const [x, y] = [grip.x + grip.width / 2, grip.y + grip.height / 2];
          await page.mouse.move(x, y);
          await page.mouse.down();
          await page.mouse.move(x + width - 640, y + height - 480);
          await page.mouse.up();
          await until(`a ${width} x ${height} canvas`, async () => (await look(page))?.width === width);
          assert.deepEqual(await page.$eval(".frame canvas", (e) => [e.clientWidth, e.clientHeight]), [width, height]);
          const clock = await Clock.hold(page), follow = new Follow();
          await clock.run(100);  // a frame drawn at that size
          assert.equal(follow.next(await look(page)), "", "the first frame at that size");
          for (const ms of [100, 100, 300, 1200]) await runs(page, clock, follow, ms, {size: [width, height]});
        }));
  });

  describe("the end", () => {
    it("comes with the close box, with exit code 0", {timeout: TIMEOUT}, () =>
      visit("", async (page) => {
        await running(page);
        await page.click(".frame button.close[aria-label=Close]");
        await ended(page, 0);
      }));

    it("comes after the ERROR box when DirectDraw cannot be set up, with exit code 0", {timeout: TIMEOUT}, () =>
      visit("?fail=DirectDrawCreate", async (page) => {
        const dialog = await page.waitForSelector(".box[role=alertdialog][aria-label=ERROR]");
        assert.match(await dialog.$eval("p", (e) => e.textContent), /^Direct Draw Init Failed \(.+\)\n?$/);
        assert.equal(await page.evaluate(() => window.tarvelminExitCode), undefined, "ended before OK");
        const ok = await dialog.$("button");
        assert.equal(await ok.evaluate((e) => e.textContent), "OK");
        await ok.click();
        await ended(page, 0);
      }));
  });
});
