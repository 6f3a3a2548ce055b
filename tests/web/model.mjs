// The program's picture, worked out from its definition alone, for the browser
// tests; the native tests have the same model (tests/support/orbit_model.h).
// It shares no code with the page or the program.
//
// A frame drawn at angle a in a W x H client area blackens the rectangle
// (0, 0, W, H) of the 640 x 480 back surface, cut at its edge, then paints the
// 21 pixels whose centres lie within 2.5 of the angle's point; the angle then
// moves on by 2, to 0 after 360. Client pixel (x, y) shows surface pixel
// (floor((2x + 1) * 640 / 2W), floor((2y + 1) * 480 / 2H)).

export function pointAt(angle) {
  const theta = angle * 3.1415927 / 180;
  return [Math.trunc(Math.cos(theta) * 80) + 320, Math.trunc(Math.sin(theta) * 80) + 240];
}

export const nextAngle = (angle) => (angle + 2 > 360 ? 0 : angle + 2);

function disc(angle) {
  const [px, py] = pointAt(angle), pixels = [];
  for (let dy = -2; dy <= 2; dy++)
    for (let dx = -2; dx <= 2; dx++) if (4 * (dx * dx + dy * dy) <= 25) pixels.push([px + dx, py + dy]);
  return pixels;
}

// The histories whose picture is exactly `picture` ({width, height, red:
// [[x, y], ...], other: how many pixels are neither red nor black}): the last
// frame drawn at 640 x 480 at angle `first`, then `after` frames at the
// picture's size, the last of them at angle `last`.
export function historiesShowing({width: w, height: h, red, other}, maxAfter = 600) {
  const found = [];
  if (other || !w || !h) return found;
  // What the picture says of each surface pixel it samples: -1 nothing, 0 black, 1 red.
  const columns = Array.from({length: w}, (_, x) => Math.floor((2 * x + 1) * 640 / (2 * w)));
  const rows = Array.from({length: h}, (_, y) => Math.floor((2 * y + 1) * 480 / (2 * h)));
  const samples = new Int32Array(640 * 480), reds = new Int32Array(640 * 480);
  for (const row of rows) for (const column of columns) samples[row * 640 + column]++;
  for (const [x, y] of red) reds[rows[y] * 640 + columns[x]]++;
  const seen = new Int8Array(640 * 480);
  let redSeen = 0;
  for (let i = 0; i < seen.length; i++) {
    if (reds[i] && reds[i] !== samples[i]) return found;  // one surface pixel shown both ways
    seen[i] = samples[i] ? (reds[i] ? 1 : 0) : -1;
    redSeen += reds[i] ? 1 : 0;
  }
  // Each frame's clear wipes the earlier marks inside the client rectangle;
  // those outside it stay for good. `kept` stamps them per first angle.
  const kept = new Int16Array(640 * 480).fill(-1);
  for (let first = 0; first <= 360; first += 2) {
    let keptRed = 0, angle = first;
    for (let after = 0; after <= maxAfter; after++, angle = nextAngle(angle)) {
      let fits = true, shown = keptRed;
      for (const [x, y] of disc(angle)) {
        const i = y * 640 + x;
        if (seen[i] === 0) fits = false;
        if (seen[i] === 1 && kept[i] !== first) shown++;
      }
      if (fits && shown === redSeen) found.push({first, after, last: angle});
      let wiped = false;
      for (const [x, y] of disc(angle)) {
        const i = y * 640 + x;
        if ((x < w && y < h) || kept[i] === first) continue;
        kept[i] = first;
        if (seen[i] === 1) keptRed++;
        if (seen[i] === 0) wiped = true;
      }
      if (wiped) break;  // a kept mark the picture lacks: it stays lacking
    }
  }
  return found;
}

// One client area followed picture after picture: each must be one a history
// makes, all from one history going on.
export class Follow {
  after = null;  // per first angle still possible, the frames after it so far

  // What is wrong with `picture` coming `frames` frames after the last one
  // (any number, but some, when not given), or "".
  next(picture, frames) {
    const found = historiesShowing(picture), next = new Map();
    for (const {first, after} of found) {
      const was = this.after?.get(first);
      const goesOn = !this.after || (was !== undefined && (frames === undefined ? after > was : after === was + frames));
      if (goesOn && !next.has(first)) next.set(first, after);
    }
    if (next.size) {
      this.after = next;
      return "";
    }
    if (!found.length)
      return `a ${picture.width} x ${picture.height} picture no history of the program's makes ` +
             `(${picture.red.length} red pixels, ${picture.other} neither red nor black)`;
    const some = found.slice(0, 4).map((h) => `${h.first} then ${h.after} to ${h.last}`).join(", ");
    return `a picture that follows from no history of the ones before ${frames ?? "some"} frames on (${some})`;
  }
}
