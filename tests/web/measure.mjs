// How soon the page shows the program's first frame, from navigation start,
// in headless Chromium with nothing cached, and how much it downloads for it
// (each file as served and gzipped): node tests/web/measure.mjs [runs]
// [--screenshot file.png] (the README's picture: 900 x 620, the disc going).
import fs from "node:fs";
import path from "node:path";
import zlib from "node:zlib";
import {SITE, launch, open, running, serve} from "./page.mjs";

const args = process.argv.slice(2);
const shot = args.includes("--screenshot") ? args[args.indexOf("--screenshot") + 1] : null;
const runs = Number(args.find((a) => /^\d+$/.test(a)) || 5);

const site = await serve();
const browser = await launch();
try {
  for (let i = 0; i < runs; i++) {
    const context = await browser.createBrowserContext();
    const page = await context.newPage();
    // The first picture put on a canvas with the disc in it, when it was put.
    await page.evaluateOnNewDocument(() => {
      const put = CanvasRenderingContext2D.prototype.putImageData;
      CanvasRenderingContext2D.prototype.putImageData = function (image, ...rest) {
        put.call(this, image, ...rest);
        const d = image.data;
        for (let j = 0; j < d.length && window.firstFrame === undefined; j += 4)
          if (d[j] === 255 && d[j + 1] === 0 && d[j + 2] === 0) window.firstFrame = performance.now();
      };
    });
    await page.goto(site.url);
    await page.waitForFunction(() => window.firstFrame !== undefined);
    const t = await page.evaluate(() => ({
      frame: window.firstFrame,
      wasm: performance.getEntriesByName(new URL("tarvelmin.wasm", location).href)[0].responseEnd,
    }));
    console.log(`run ${i + 1}: first frame ${t.frame.toFixed(0)} ms after navigation start (wasm loaded at ${t.wasm.toFixed(0)} ms)`);
    await context.close();
    if (i > 0) continue;
    let raw = 0, zipped = 0;
    for (const name of new Set(site.requests)) {
      const data = fs.readFileSync(path.join(SITE, name));
      const z = zlib.gzipSync(data, {level: 9}).length;
      raw += data.length;
      zipped += z;
      console.log(`  ${name.padEnd(16)} ${String(data.length).padStart(9)} bytes, ${String(z).padStart(8)} gzipped`);
    }
    console.log(`  the page downloads ${raw} bytes, ${zipped} gzipped`);
  }
  if (shot) {
    const page = await open(browser, site.url, {width: 900, height: 620});
    await running(page);
    await page.screenshot({path: shot});
    console.log(`wrote ${shot}`);
  }
} finally {
  await browser.close();
  await site.close();
}
