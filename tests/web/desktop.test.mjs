// tarvelmin in its web page, in headless Chromium and Firefox: what a person
// sees on the window's canvas, and what the frame, the desktop and the tabs
// do to it.
import assert from "node:assert/strict";
import {describe, it} from "node:test";
import {BROWSERS, Clock, DEADLINE, anglesOf, disc, ended, framesBetween, look, running, session, until,
        visit as visitPage} from "./page.mjs";

const TIMEOUT = 4 * DEADLINE;

// The angle of the disc now, on a 640 x 480 picture with nothing else on it.
async function angles(page) {
  const p = await look(page);
  assert.deepEqual([p.width, p.height, p.other], [640, 480, 0]);
  return anglesOf(disc(p));
}

function box(page, selector) {
  return page.$eval(selector, (e) => e.getBoundingClientRect().toJSON());
}

for (const name of BROWSERS) describe(`tarvelmin's web page in ${name}`, () => {
  const s = session(name);
  // The program in a page of its own, for one test; nothing may go uncaught there.
  const visit = (query, test) => visitPage(s.browser, s.site.url + query, test);

  describe("the window", () => {
    it("shows a red disc on black going round clockwise, 2 degrees every 100 ms", {timeout: TIMEOUT}, () =>
      visit("", async (page) => {
        const first = await running(page);
        assert.equal(await page.$eval(".frame .caption", (e) => e.firstChild.textContent), "tarvelmin demo");
        assert.deepEqual([first.width, first.height, first.other], [640, 480, 0]);
        const d = disc(first);
        assert.deepEqual([d.count, d.width, d.height], [21, 5, 5]);
        anglesOf(d);
        // It starts below right of the middle, and leaves that quarter only 2 s later.
        assert.ok(d.x > 320 && d.y > 240, `the first disc seen is at (${d.x}, ${d.y})`);

        const clock = await Clock.hold(page);
        let was = await angles(page);
        for (const frames of [1, 5, 10, 37]) {
          await clock.run(frames * 100);
          const now = await angles(page);
          assert.deepEqual(framesBetween(was, now), [frames], `from ${was} degrees after ${frames * 100} ms`);
          was = now;
        }
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
        const clock = await Clock.hold(page);
        const stood = await angles(page);

        // Clicks at coordinates: page.click() waits for a rendered frame, and
        // a held clock renders none.
        const frame = await box(page, ".frame");
        const [x, y] = [frame.right + 50, frame.bottom + 20];
        assert.equal(await page.evaluate((x, y) => document.elementFromPoint(x, y).closest(".frame, #desktop").id, x, y),
                     "desktop");
        await page.mouse.click(x, y);
        await clock.run(1000);
        assert.deepEqual(await angles(page), stood, "after a click on the desktop");
        const canvas = await box(page, ".frame canvas");
        await page.mouse.click(canvas.x + canvas.width / 2, canvas.y + canvas.height / 2);
        await clock.run(500);
        const back = await angles(page);
        assert.deepEqual(framesBetween(stood, back), [5], "after a click in the window");

        const other = await s.browser.newPage();
        try {
          await other.bringToFront();
          assert.equal(await page.evaluate(() => document.hidden), true);
          await clock.run(1000);
          assert.deepEqual(await angles(page), back, "while another tab is in front");
        } finally {
          await other.close();
        }
        await page.bringToFront();
        assert.equal(await page.evaluate(() => document.hidden), false);
        await clock.run(500);
        assert.deepEqual(framesBetween(back, await angles(page)), [5], "with its tab in front again");
      }));

    it("stretches its picture when the grip makes it larger", {timeout: TIMEOUT}, () =>
      visit("", async (page) => {
        await running(page);
        // In real time: moves with a button down wait for a rendered frame.
        const grip = await box(page, ".frame .grip");
        const [x, y] = [grip.x + grip.width / 2, grip.y + grip.height / 2];
        await page.mouse.move(x, y);
        await page.mouse.down();
        for (let i = 1; i <= 4; i++) await page.mouse.move(x + i * 160, y + i * 120);
        await page.mouse.up();
        await until("a 1280 x 960 canvas", async () => (await look(page))?.width === 1280);
        const clock = await Clock.hold(page);
        await clock.run(100);  // a frame drawn at that size

        const p = await look(page);
        assert.deepEqual([p.width, p.height, p.other], [1280, 960, 0]);
        assert.deepEqual(await page.$eval(".frame canvas", (e) => [e.clientWidth, e.clientHeight]), [1280, 960]);
        const d = disc(p);
        assert.deepEqual([d.count, d.width, d.height], [84, 10, 10]);
        const was = anglesOf(d, 2);
        await clock.run(100);
        const q = await look(page);
        assert.equal(q.other, 0);
        assert.deepEqual(framesBetween(was, anglesOf(disc(q), 2)), [1]);
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
