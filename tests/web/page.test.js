// The browser page as committed (docs/ringfield.html) in Debian's headless
// Chromium: its frames against the golden hashes, real mouse and keyboard
// input over a scaled canvas against the native capture tool, the page's own
// behaviour, and a console free of errors and warnings.
//   node tests/web/page.test.js [path/to/ringfield-capture]
// RINGFIELD_PAGE and CHROMIUM override the page and the browser.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '../..');
const pagePath = process.env.RINGFIELD_PAGE || path.join(root, 'docs/ringfield.html');
const pageUrl = pathToFileURL(pagePath).href;
const capture = process.argv[2] || path.join(root, 'build/ringfield-capture');
const browserPath = process.env.CHROMIUM || '/usr/bin/chromium';
const golden = path.join(root, 'tests/golden');

let chromium;
try {
  ({ chromium } = await import('playwright-core'));
} catch {
  console.error('page.test: playwright-core is not installed; run bash scripts/setup.sh (it runs npm ci in tests/web)');
  process.exit(1);
}

// "frame-NNNNNN HASH" lines, as the capture tool writes them.
function readHashes(file) {
  const hashes = new Map();
  for (const line of fs.readFileSync(file, 'utf8').split('\n')) {
    const m = /^frame-(\d{6}) ([0-9a-f]{16})$/.exec(line.trim());
    if (m) hashes.set(Number(m[1]), m[2]);
  }
  return hashes;
}

// "FRAME kind [x y]" lines: the input joins the queue before that frame.
function readScript(file) {
  const events = [];
  for (const line of fs.readFileSync(file, 'utf8').split('\n')) {
    const text = line.replace(/#.*/, '').trim();
    if (text === '') continue;
    const [frame, kind, x, y] = text.split(/\s+/);
    events.push({ frame: Number(frame), kind, x: Number(x || 0), y: Number(y || 0) });
  }
  return events;
}

// The capture tool's random input (its push_random_events), with the room it
// leaves in its queue, as a list of timed inputs: mostly pointer motion on
// the screen, sometimes far off it, bursts, ignored releases and clicks.
function randomEvents(seed, frames) {
  let state = (Math.imul(seed, 2654435761) + 0x9e3779b9) >>> 0;
  if (state === 0) state = 1;
  const next = () => {
    state = (state ^ (state << 13)) >>> 0;
    state = (state ^ (state >>> 17)) >>> 0;
    state = (state ^ (state << 5)) >>> 0;
    return state;
  };
  const events = [];
  let queued = 0;
  const push = (event) => {
    if (queued === 128) return;
    events.push(event);
    queued += 1;
  };
  for (let frame = 0; frame < frames; ++frame) {
    const roll = next() % 1000;
    let motions = 0;
    if (roll < 3) push({ frame, kind: 'button', x: 0, y: 0 });
    else if (roll < 10) push({ frame, kind: 'none', x: 0, y: 0 });
    else if (roll < 15) motions = (next() % 40) + 1;
    else if (roll < 150) motions = 1;
    for (let i = 0; i < motions && queued < 64; ++i) {
      const wild = next() % 8 === 0;
      const x = next() % (wild ? 65536 : 640);
      const y = next() % (wild ? 65536 : 480);
      push({ frame, kind: 'motion', x, y });
    }
    if (queued > 0) queued -= 1;  // this frame's input
  }
  return events;
}

// Installed in every page: FNV-1a-64 over the canvas's red, green and blue
// bytes (row-major, alpha left out), computed in 16-bit limbs; and whether
// every alpha byte is 255. The pixels are read from a copy on a canvas of the
// test's own that is made for reading back, so that the page's canvas stays
// as the page made it.
function installDigest() {
  let copy = null;
  window.canvasDigest = function () {
    const canvas = document.getElementById('screen');
    if (copy === null) {
      const c = document.createElement('canvas');
      c.width = canvas.width;
      c.height = canvas.height;
      copy = c.getContext('2d', { willReadFrequently: true });
    }
    copy.globalCompositeOperation = 'copy';
    copy.drawImage(canvas, 0, 0);
    const bytes = copy.getImageData(0, 0, canvas.width, canvas.height).data;
    let h0 = 0x2325, h1 = 0x8422, h2 = 0x9ce4, h3 = 0xcbf2;
    let opaque = true;
    for (let i = 0; i < bytes.length; i += 4) {
      if (bytes[i + 3] !== 255) opaque = false;
      for (let c = 0; c < 3; ++c) {
        h0 ^= bytes[i + c];
        // times 0x100000001b3: 0x1b3 in limb 0 and 0x100 in limb 2
        const t0 = h0 * 0x1b3;
        const t1 = h1 * 0x1b3 + (t0 >>> 16);
        const t2 = h2 * 0x1b3 + h0 * 0x100 + (t1 >>> 16);
        const t3 = h3 * 0x1b3 + h1 * 0x100 + (t2 >>> 16);
        h0 = t0 & 0xffff; h1 = t1 & 0xffff; h2 = t2 & 0xffff; h3 = t3 & 0xffff;
      }
    }
    const hex = (v) => v.toString(16).padStart(4, '0');
    return { hash: hex(h3) + hex(h2) + hex(h1) + hex(h0), opaque };
  };

  // Runs frames 0..last from the current start with the loop paused, each
  // input joining the queue before its frame, and digests the canvas after
  // each frame in `saves`. Frames between inputs run in one step.
  window.replay = function (events, last, saves) {
    const rf = window.ringfield;
    const digests = {};
    let frame = 0;
    let e = 0;
    let s = 0;
    while (frame <= last) {
      for (; e < events.length && events[e].frame === frame; ++e) rf.push(events[e].kind, events[e].x, events[e].y);
      const nextEvent = e < events.length ? events[e].frame : Infinity;
      const nextSave = s < saves.length ? saves[s] : Infinity;
      const until = Math.min(nextEvent - 1, nextSave, last);
      const count = until - frame + 1;
      const run = rf.step(count);
      if (run !== count) throw new Error('the run ended at frame ' + (frame + run));
      frame = until + 1;
      if (until === nextSave) digests[saves[s++]] = window.canvasDigest();
    }
    return digests;
  };
}

let scratch;
let context;
const problems = [];  // console errors and warnings, and uncaught errors, of every page

async function openPage(viewport, beforeLoad) {
  const page = await context.newPage();
  await page.setViewportSize(viewport);
  page.on('console', (m) => {
    if (m.type() === 'error' || m.type() === 'warning') problems.push(`${m.type()}: ${m.text()}`);
  });
  page.on('pageerror', (error) => problems.push(`uncaught: ${error.message}`));
  await page.addInitScript(installDigest);
  if (beforeLoad) await page.addInitScript(beforeLoad);
  await page.goto(pageUrl);
  return page;
}

async function openPaused(viewport) {
  const page = await openPage(viewport);
  await page.waitForFunction(() => window.ringfield !== undefined);
  await page.evaluate(() => {
    window.ringfield.pause();
    window.ringfield.restart();
  });
  return page;
}

const state = (page) => page.evaluate(() => window.ringfield.state());
const digest = (page) => page.evaluate(() => window.canvasDigest());
const waitQueued = (page, count) => page.waitForFunction((n) => window.ringfield.state().queued === n, count);

before(async () => {
  assert.ok(fs.existsSync(pagePath), `${pagePath} is missing; bash scripts/build-web.sh makes it`);
  scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'ringfield-web-'));
  const args = ['--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
                '--disable-component-update', '--disable-sync'];
  if (process.getuid && process.getuid() === 0) args.push('--no-sandbox');
  context = await chromium.launchPersistentContext(path.join(scratch, 'profile'), {
    executablePath: browserPath,
    headless: true,
    args,
    env: { ...process.env, HOME: scratch, TMPDIR: scratch },
  });
});

after(async () => {
  if (context) await context.close();
  if (scratch) fs.rmSync(scratch, { recursive: true, force: true });
});

describe('exactness', () => {
  test('the golden script draws the golden frames in every scene, all opaque', async () => {
    const expected = readHashes(path.join(golden, 'd4-bgr/hashes.txt'));
    const saves = [...expected.keys()].sort((a, b) => a - b);
    assert.ok(saves.length >= 6);
    const page = await openPaused({ width: 640, height: 480 });
    const digests = await page.evaluate(([events, last, s]) => window.replay(events, last, s),
                                        [readScript(path.join(golden, 'script.txt')), saves.at(-1), saves]);
    for (const frame of saves) {
      assert.equal(digests[frame].hash, expected.get(frame), `frame ${frame}`);
      assert.ok(digests[frame].opaque, `frame ${frame} has pixels that are not opaque`);
    }
    assert.equal((await state(page)).scene, 2);
    await page.close();
  });

  test('a long run of random input draws the long golden frames', async () => {
    const frames = 2000;
    const expected = readHashes(path.join(golden, 'long-d4-bgr/hashes.txt'));
    const saves = [...expected.keys()].filter((f) => f < frames).sort((a, b) => a - b);
    assert.ok(saves.length >= 40);
    const page = await openPaused({ width: 640, height: 480 });
    const digests = await page.evaluate(([events, last, s]) => window.replay(events, last, s),
                                        [randomEvents(5, frames), saves.at(-1), saves]);
    for (const frame of saves) assert.equal(digests[frame].hash, expected.get(frame), `frame ${frame}`);
    await page.close();
  });
});

describe('real input over a canvas shown at 900 x 675', () => {
  let page;
  let box;
  // The middle of a mode pixel, in the page's coordinates.
  const at = (x, y) => [box.left + ((x + 0.5) * box.width) / 640, box.top + ((y + 0.5) * box.height) / 480];

  before(async () => {
    page = await openPaused({ width: 900, height: 700 });
    box = await page.evaluate(() => {
      const r = document.getElementById('screen').getBoundingClientRect();
      return { left: r.left, top: r.top, width: r.width, height: r.height };
    });
  });
  after(() => page.close());

  test('the canvas fits the window at 4:3, centred, crisp, with the pointer hidden', async () => {
    assert.deepEqual(box, { left: 0, top: 12.5, width: 900, height: 675 });
    const style = await page.evaluate(() => {
      const s = getComputedStyle(document.getElementById('screen'));
      return { cursor: s.cursor, rendering: s.imageRendering };
    });
    assert.deepEqual(style, { cursor: 'none', rendering: 'pixelated' });
    await page.setViewportSize({ width: 500, height: 900 });
    const narrow = await page.evaluate(() => {
      const r = document.getElementById('screen').getBoundingClientRect();
      return { left: r.left, top: r.top, width: r.width, height: r.height };
    });
    assert.deepEqual(narrow, { left: 0, top: 262.5, width: 500, height: 375 });
    await page.setViewportSize({ width: 900, height: 700 });
  });

  test('moves steer and a click changes the scene, frame for frame as natively', async () => {
    await page.evaluate(() => window.ringfield.restart());
    await page.mouse.move(...at(500, 100));
    await waitQueued(page, 1);
    await page.evaluate(() => window.ringfield.step(5));
    let s = await state(page);
    assert.deepEqual([s.mouseX, s.mouseY, s.spinX, s.spinY], [500, 100, 90, -70]);
    // (spin y / 4, (spin x - spin y) / 4, spin x / 4) a frame, five frames
    assert.deepEqual([s.angleX, s.angleY, s.angleZ], [4096 - 85, 200, 110]);

    await page.mouse.move(...at(37, 411));
    await waitQueued(page, 1);
    await page.evaluate(() => window.ringfield.step(5));
    await page.mouse.down({ button: 'right' });
    await page.mouse.up({ button: 'right' });
    await waitQueued(page, 1);
    await page.evaluate(() => window.ringfield.step(10));
    s = await state(page);
    assert.deepEqual([s.mouseX, s.mouseY, s.scene, s.frames], [37, 411, 1, 20]);

    const script = path.join(scratch, 'steer.txt');
    fs.writeFileSync(script, '0 motion 500 100\n5 motion 37 411\n10 button\n');
    const list = path.join(scratch, 'steer-hashes.txt');
    execFileSync(capture, ['--depth', '4:bgr', '--script', script, '--frames', '20', '--save', '19',
                           '--hash-list', list]);
    assert.equal((await digest(page)).hash, readHashes(list).get(19));
  });

  test('the corners of the canvas map to the corners of the mode, and the margin to nothing', async () => {
    await page.mouse.move(box.left + box.width - 0.25, box.top + box.height - 0.25);
    await waitQueued(page, 1);
    await page.evaluate(() => window.ringfield.step(1));
    let s = await state(page);
    assert.deepEqual([s.mouseX, s.mouseY], [639, 479]);
    await page.mouse.move(box.left + 450, box.top - 6);  // in the band above the canvas
    await page.mouse.move(box.left + 0.25, box.top + 0.25);
    await waitQueued(page, 1);
    await page.evaluate(() => window.ringfield.step(1));
    s = await state(page);
    assert.deepEqual([s.mouseX, s.mouseY, s.queued], [0, 0, 0]);
  });

  test('a key ends the demo with its last frame shown, and a click starts it afresh', async () => {
    const last = await digest(page);
    const framesBefore = (await state(page)).frames;
    await page.keyboard.press('KeyQ');
    await waitQueued(page, 1);
    assert.equal(await page.evaluate(() => window.ringfield.step(1)), 0);
    const s = await state(page);
    assert.ok(s.ended);
    assert.equal(s.frames, framesBefore);
    assert.deepEqual(await digest(page), last);
    assert.match(await page.locator('#message').innerText(), /ended.*click or press any key to start again/i);
    assert.equal(await page.evaluate(() => getComputedStyle(document.getElementById('screen')).cursor), 'default');

    // Moves while it has ended are not inputs, and the click is the restart.
    await page.mouse.move(...at(100, 100));
    await page.mouse.down();
    await page.mouse.up();
    await page.waitForFunction(() => !window.ringfield.state().ended);
    assert.deepEqual(await state(page), {
      frames: 0, running: false, scene: 0, mouseX: 0, mouseY: 0, spinX: 0, spinY: 0,
      angleX: 0, angleY: 0, angleZ: 0, queued: 0, ended: false,
    });
    assert.equal(await page.locator('#message').isVisible(), false);
    const expected = readHashes(path.join(golden, 'd4-bgr/hashes.txt'));
    const digests = await page.evaluate((events) => window.replay(events, 10, [10]),
                                        readScript(path.join(golden, 'script.txt')));
    assert.equal(digests[10].hash, expected.get(10));
  });

  test('a key starts it again, and a held key does not', async () => {
    await page.keyboard.down('KeyA');
    await waitQueued(page, 1);
    assert.equal(await page.evaluate(() => window.ringfield.step(1)), 0);
    await page.keyboard.down('KeyA');  // the key's auto-repeat
    await page.keyboard.up('KeyA');
    assert.ok((await state(page)).ended);
    await page.keyboard.press('Space');
    await page.waitForFunction(() => !window.ringfield.state().ended);
    const s = await state(page);
    assert.deepEqual([s.frames, s.queued], [0, 0]);
  });
});

describe('the page', () => {
  test('runs one frame per animation frame, ends, restarts and logs nothing', async () => {
    const page = await openPage({ width: 800, height: 600 });
    await page.waitForFunction(() => window.ringfield !== undefined && window.ringfield.state().frames >= 10);
    const [ticks, advanced] = await page.evaluate(() => new Promise((resolve) => {
      const start = window.ringfield.state().frames;
      let count = 0;
      const tick = () => {
        count += 1;
        if (count < 30) requestAnimationFrame(tick);
        else resolve([count, window.ringfield.state().frames - start]);
      };
      requestAnimationFrame(tick);
    }));
    assert.ok(Math.abs(advanced - ticks) <= 1, `${advanced} frames in ${ticks} animation frames`);
    assert.ok((await state(page)).running);

    await page.keyboard.press('Enter');
    await page.waitForFunction(() => window.ringfield.state().ended);
    const ended = (await state(page)).frames;
    await page.evaluate(() => new Promise((resolve) => requestAnimationFrame(() => requestAnimationFrame(resolve))));
    assert.equal((await state(page)).frames, ended);
    await page.mouse.click(400, 300);
    await page.waitForFunction(() => window.ringfield.state().frames >= 5);
    assert.equal(problems.length, 0, problems.join('\n'));
    await page.close();
  });

  test('a hidden tab stops the loop and it goes on where it was when shown', async () => {
    const page = await openPage({ width: 640, height: 480 });
    await page.waitForFunction(() => window.ringfield !== undefined && window.ringfield.state().frames >= 3);
    const setHidden = (hidden) => page.evaluate((h) => {
      Object.defineProperty(document, 'hidden', { configurable: true, get: () => h });
      document.dispatchEvent(new Event('visibilitychange'));
    }, hidden);
    await setHidden(true);
    const hidden = await state(page);
    assert.equal(hidden.running, false);
    await page.evaluate(() => new Promise((resolve) => setTimeout(resolve, 150)));
    assert.equal((await state(page)).frames, hidden.frames);
    await setHidden(false);
    // The first state seen with the loop going again: it has run a frame or
    // two, not made up for the time it was hidden.
    const shown = await (await page.waitForFunction((n) => {
      const s = window.ringfield.state();
      return s.frames > n ? s : false;
    }, hidden.frames)).jsonValue();
    assert.ok(shown.running);
    assert.ok(shown.frames <= hidden.frames + 2, `${hidden.frames} frames, then ${shown.frames}`);
    await page.close();
  });

  test('the full-screen button fills the screen with the canvas, and leaves it', async () => {
    const page = await openPage({ width: 800, height: 600 });
    await page.waitForFunction(() => window.ringfield !== undefined);
    await page.click('#fullscreen');
    await page.waitForFunction(() => document.fullscreenElement === document.getElementById('stage'));
    const fit = await page.evaluate(() => {
      const r = document.getElementById('screen').getBoundingClientRect();
      return { ratio: r.width / r.height, fills: r.width === innerWidth || r.height === innerHeight };
    });
    assert.ok(Math.abs(fit.ratio - 4 / 3) < 0.01 && fit.fills, JSON.stringify(fit));
    assert.equal((await state(page)).ended, false);
    await page.click('#fullscreen');
    await page.waitForFunction(() => document.fullscreenElement === null);
    await page.close();
  });

  test('the input queue holds 128 inputs and drops the rest', async () => {
    const page = await openPaused({ width: 640, height: 480 });
    const accepted = await page.evaluate(() => {
      const result = [];
      for (let i = 0; i < 130; ++i) result.push(window.ringfield.push('motion', i, 2 * i));
      return result;
    });
    assert.deepEqual(accepted, [...Array(128).fill(true), false, false]);
    assert.equal(await page.evaluate(() => window.ringfield.step(128)), 128);
    const s = await state(page);
    assert.deepEqual([s.mouseX, s.mouseY, s.queued], [127, 254, 0]);
    const odd = await page.evaluate(() => [window.ringfield.push('motion', -1, 0),
                                           window.ringfield.push('motion', 0, 65536),
                                           window.ringfield.push('motion', 65535, 65535)]);
    assert.deepEqual(odd, [false, false, true]);
    await page.close();
  });

  test('a browser without WebAssembly, or without its SIMD, gets a clear message', async () => {
    const missing = await openPage({ width: 640, height: 480 }, () => { delete window.WebAssembly; });
    await missing.waitForSelector('#message', { state: 'visible' });
    assert.match(await missing.locator('#message').innerText(), /WebAssembly, which this browser does not have/);
    assert.equal(await missing.evaluate(() => window.ringfield), undefined);
    await missing.close();

    const old = await openPage({ width: 640, height: 480 }, () => { WebAssembly.validate = () => false; });
    await old.waitForSelector('#message', { state: 'visible' });
    assert.match(await old.locator('#message').innerText(), /WebAssembly with SIMD/);
    await old.close();
    assert.equal(problems.length, 0, problems.join('\n'));
  });
});
