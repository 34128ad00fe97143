// What the page's tests share: the browser they run in (one per run, closed
// after the last test whatever happened), the page opened with the tests'
// helpers installed, the golden hashes and scripts, the native capture tool's
// frames to compare with, and short ways to read the page's state.
//   node tests/web/<file>.test.js [path/to/ringfield-capture] [chromium|firefox]
// RINGFIELD_PAGE, CHROMIUM and FIREFOX override the page and the browsers.
import { after, before as nodeBefore, test as nodeTest } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { closeAll, launch } from './browser.js';

const here = path.dirname(fileURLToPath(import.meta.url));
export const root = path.resolve(here, '../..');
export const pagePath = process.env.RINGFIELD_PAGE || path.join(root, 'docs/ringfield.html');
export const pageUrl = pathToFileURL(pagePath).href;
export const capture = process.argv[2] || path.join(root, 'build/ringfield-capture');
export const engine = process.argv[3] || 'chromium';
export const golden = path.join(root, 'tests/golden');

// A test or hook that has not finished in this time fails, and the run goes
// on to close the browsers; the whole run is stopped after the second limit,
// well inside CTest's. RINGFIELD_WEB_TEST_TIMEOUT (ms) is for
// tests/web/closes.test.js, which makes a test hang on purpose.
const testTime = Number(process.env.RINGFIELD_WEB_TEST_TIMEOUT) || 120000;
const runTime = 480000;
setTimeout(() => {
  console.log(`# the page tests ran for more than ${runTime / 1000} s; stopped, their browsers closed`);
  process.exit(1);  // browser.js kills the browsers and removes their folders on exit
}, runTime).unref();

export const test = (name, fn) => nodeTest(name, { timeout: testTime }, fn);
export const before = (fn) => nodeBefore(fn, { timeout: testTime });

// Skips (status 77) before any test runs when the driver or browser is missing.
export const { browser, scratch } = await launch(engine, 'web');

after(async () => {
  await closeAll();
  // Nothing should be left to keep node alive now; if something is, the run
  // ends anyway rather than wait for CTest's timeout.
  setTimeout(() => {
    console.log('# node was still running 20 s after the browsers closed; stopped');
    process.exit(1);
  }, 20000).unref();
}, { timeout: 60000 });

// A fault that tests/web/closes.test.js plants through RINGFIELD_WEB_FAULT,
// to see that a failing or hanging test still ends the run promptly with
// every browser closed: `fail` throws here, `hang` never returns.
export async function plantedFault() {
  const fault = process.env.RINGFIELD_WEB_FAULT;
  if (fault === 'fail') throw new Error('a failure planted by RINGFIELD_WEB_FAULT');
  if (fault === 'hang') {
    console.log('# hanging here, as RINGFIELD_WEB_FAULT asks');
    await new Promise(() => {});
  }
}

// "frame-NNNNNN HASH" lines, as the capture tool writes them.
export function readHashes(file) {
  const hashes = new Map();
  for (const line of fs.readFileSync(file, 'utf8').split('\n')) {
    const m = /^frame-(\d{6}) ([0-9a-f]{16})$/.exec(line.trim());
    if (m) hashes.set(Number(m[1]), m[2]);
  }
  return hashes;
}

// "FRAME kind [x y]" lines: the input joins the queue before that frame.
export function parseScript(script) {
  const events = [];
  for (const line of script.split('\n')) {
    const text = line.replace(/#.*/, '').trim();
    if (text === '') continue;
    const [frame, kind, x, y] = text.split(/\s+/);
    events.push({ frame: Number(frame), kind, x: Number(x || 0), y: Number(y || 0) });
  }
  return events;
}

export const readScript = (file) => parseScript(fs.readFileSync(file, 'utf8'));

// The native capture tool's hash of the last frame of a scripted run.
let runs = 0;
export function nativeHash(script, frames) {
  runs += 1;
  const file = path.join(scratch, `native-${runs}.txt`);
  fs.writeFileSync(file, script);
  const list = path.join(scratch, `native-${runs}-hashes.txt`);
  execFileSync(capture, ['--depth', '4:bgr', '--script', file, '--frames', String(frames), '--save',
                         String(frames - 1), '--hash-list', list]);
  return readHashes(list).get(frames - 1);
}

// The capture tool's random input for a seed, as the list of timed inputs it
// prints: mostly pointer motion, sometimes far off the screen, bursts,
// ignored releases and clicks.
export function randomEvents(seed, frames) {
  const text = execFileSync(capture, ['--random', String(seed), '--frames', String(frames), '--print-inputs'],
                            { encoding: 'utf8', maxBuffer: 1 << 24 });
  return parseScript(text);
}

// Installed in every page: FNV-1a-64 over the canvas's red, green and blue
// bytes (row-major, alpha left out), computed in 16-bit limbs; and whether
// every alpha byte is 255. The pixels are read from a copy on a canvas of the
// test's own that is made for reading back, so that the page's canvas stays
// as the page made it.
function installHelpers() {
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

  // From now on, the page's frame count at every animation frame.
  window.sampleFrames = () => {
    const samples = [];
    const tick = () => {
      samples.push(window.ringfield.state().frames);
      requestAnimationFrame(tick);
    };
    requestAnimationFrame(tick);
    window.frameSamples = samples;
  };

  // Resolves after `count` animation frames of the page: long enough for
  // anything the page would do on its own to have shown.
  window.animationFrames = (count) => new Promise((resolve) => {
    const tick = () => (--count <= 0 ? resolve() : requestAnimationFrame(tick));
    requestAnimationFrame(tick);
  });

  // Events as the page's own listeners left them: whether each key's default
  // was prevented, and when the last pointer went down. Called once the page
  // has its listeners, so that these, on the window, run after them.
  window.seen = { keys: [], downAt: 0 };
  window.watchEvents = () => {
    if (window.seen.watching) return;
    window.seen.watching = true;
    window.addEventListener('keydown', (e) => window.seen.keys.push({ key: e.key, prevented: e.defaultPrevented }));
    window.addEventListener('pointerdown', (e) => { window.seen.downAt = e.timeStamp; });
  };
}

// Console errors and warnings, and uncaught errors, of each page.
const problems = new WeakMap();

function watch(page) {
  const list = [];
  problems.set(page, list);
  page.on('console', (m) => {
    if (m.type() === 'error' || m.type() === 'warn') list.push(`${m.type()}: ${m.text()}`);
  });
  page.on('pageerror', (error) => list.push(`uncaught: ${error.message}`));
}

// A page of the run's browser (or of `on`, another launched browser), its
// console watched and the tests' helpers installed before its own script.
export async function openPage(viewport, { beforeLoad, media, on = browser } = {}) {
  const page = await on.newPage();
  await page.setViewport(viewport);
  watch(page);
  await page.evaluateOnNewDocument(installHelpers);
  if (beforeLoad) await page.evaluateOnNewDocument(beforeLoad);
  if (media) await page.emulateMediaFeatures(media);
  await page.goto(pageUrl);
  await page.bringToFront();
  return page;
}

// Closes a page and checks that its console stayed free of errors and
// warnings, or that it logged just the `expected` ones (patterns, in order).
export async function closePage(page, expected = []) {
  await page.close();
  const seen = problems.get(page);
  assert.equal(seen.length, expected.length, `the page logged:\n${seen.join('\n')}`);
  expected.forEach((pattern, i) => assert.match(seen[i], pattern));
}

export async function ready(page) {
  await page.waitForFunction(() => window.ringfield !== undefined);
  await page.evaluate(() => window.watchEvents());
}

// The page with the test hook holding the loop, freshly started.
export async function openHeld(viewport, options) {
  const page = await openPage(viewport, options);
  await ready(page);
  await page.evaluate(() => {
    window.ringfield.pause();
    window.ringfield.restart();
  });
  return page;
}

export const state = (page) => page.evaluate(() => window.ringfield.state());
export const digest = (page) => page.evaluate(() => window.canvasDigest());
export const step = (page, count) => page.evaluate((n) => window.ringfield.step(n), count);
export const waitQueued = (page, count) =>
  page.waitForFunction((n) => window.ringfield.state().queued === n, {}, count);
export const waitFor = (page, predicate, ...args) => page.waitForFunction(predicate, {}, ...args);
export const frames = (page, count) => page.evaluate((n) => window.animationFrames(n), count);
export const text = (page, selector) => page.$eval(selector, (e) => (e.hidden ? null : e.textContent));
export const canvasBox = (page) => page.evaluate(() => {
  const r = document.getElementById('screen').getBoundingClientRect();
  return { left: r.left, top: r.top, width: r.width, height: r.height };
});
// The middle of a mode pixel, in whole CSS pixels as Firefox takes them.
export const at = (box, x, y) => [Math.round(box.left + ((x + 0.5) * box.width) / 640),
                                  Math.round(box.top + ((y + 0.5) * box.height) / 480)];

// After a pause, the loop goes on from the frame it stopped at, one frame
// an animation frame: it does not make up for the time it stood still.
export async function resumesWhereItWas(page, stopped) {
  const samples = await (await page.waitForFunction(
    (n) => window.frameSamples.at(-1) >= n + 5 && window.frameSamples, {}, stopped.frames)).jsonValue();
  assert.equal(samples[0], stopped.frames);
  const steps = new Set(samples.slice(1).map((f, i) => f - samples[i]));
  assert.ok([...steps].every((d) => d === 0 || d === 1), samples.join(' '));
  const s = await state(page);
  assert.deepEqual([s.running, s.paused, s.scene, s.ended], [true, false, stopped.scene, false]);
}
