// The browser page as committed (docs/ringfield.html) in Debian's headless
// Chromium or Firefox: its frames against the golden hashes, real mouse,
// keyboard and touch input over a scaled canvas against the native capture
// tool, pausing, reduced motion, even pixels at several device scales, the
// status line, and a console free of errors and warnings.
//   node tests/web/page.test.js [path/to/ringfield-capture] [chromium|firefox]
// RINGFIELD_PAGE, CHROMIUM and FIREFOX override the page and the browsers.
// Both engines run every case; only Chromium poses as a phone, so only there
// does the page offer the touch hint.
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { launch } from './browser.js';

const here = path.dirname(fileURLToPath(import.meta.url));
const root = path.resolve(here, '../..');
const pagePath = process.env.RINGFIELD_PAGE || path.join(root, 'docs/ringfield.html');
const pageUrl = pathToFileURL(pagePath).href;
const capture = process.argv[2] || path.join(root, 'build/ringfield-capture');
const engine = process.argv[3] || 'chromium';
const golden = path.join(root, 'tests/golden');

// Skips (status 77) before any test runs when the driver or browser is missing.
const { browser, scratch, close } = await launch(engine, 'web');

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
  return parseScript(fs.readFileSync(file, 'utf8'));
}

function parseScript(script) {
  const events = [];
  for (const line of script.split('\n')) {
    const text = line.replace(/#.*/, '').trim();
    if (text === '') continue;
    const [frame, kind, x, y] = text.split(/\s+/);
    events.push({ frame: Number(frame), kind, x: Number(x || 0), y: Number(y || 0) });
  }
  return events;
}

// The native capture tool's hash of the last frame of a scripted run.
function nativeHash(name, script, frames) {
  const file = path.join(scratch, `${name}.txt`);
  fs.writeFileSync(file, script);
  const list = path.join(scratch, `${name}-hashes.txt`);
  execFileSync(capture, ['--depth', '4:bgr', '--script', file, '--frames', String(frames), '--save',
                         String(frames - 1), '--hash-list', list]);
  return readHashes(list).get(frames - 1);
}

// The capture tool's random input for a seed, as the list of timed inputs it
// prints: mostly pointer motion, sometimes far off the screen, bursts,
// ignored releases and clicks.
function randomEvents(seed, frames) {
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
}

const problems = [];  // console errors and warnings, and uncaught errors, of every page

function watch(page) {
  page.on('console', (m) => {
    if (m.type() === 'error' || m.type() === 'warn') problems.push(`${m.type()}: ${m.text()}`);
  });
  page.on('pageerror', (error) => problems.push(`uncaught: ${error.message}`));
}

async function openPage(viewport, { beforeLoad, media } = {}) {
  const page = await browser.newPage();
  await page.setViewport(viewport);
  watch(page);
  await page.evaluateOnNewDocument(installHelpers);
  if (beforeLoad) await page.evaluateOnNewDocument(beforeLoad);
  if (media) await page.emulateMediaFeatures(media);
  await page.goto(pageUrl);
  await page.bringToFront();
  return page;
}

const ready = (page) => page.waitForFunction(() => window.ringfield !== undefined);

// The page with the test hook holding the loop, freshly started.
async function openHeld(viewport, options) {
  const page = await openPage(viewport, options);
  await ready(page);
  await page.evaluate(() => {
    window.ringfield.pause();
    window.ringfield.restart();
  });
  return page;
}

const state = (page) => page.evaluate(() => window.ringfield.state());
const digest = (page) => page.evaluate(() => window.canvasDigest());
const step = (page, count) => page.evaluate((n) => window.ringfield.step(n), count);
const waitQueued = (page, count) => page.waitForFunction((n) => window.ringfield.state().queued === n, {}, count);
const waitFor = (page, predicate, ...args) => page.waitForFunction(predicate, {}, ...args);
const frames = (page, count) => page.evaluate((n) => window.animationFrames(n), count);
const text = (page, selector) => page.$eval(selector, (e) => (e.hidden ? null : e.textContent));
const canvasBox = (page) => page.evaluate(() => {
  const r = document.getElementById('screen').getBoundingClientRect();
  return { left: r.left, top: r.top, width: r.width, height: r.height };
});
// The middle of a mode pixel, in whole CSS pixels as Firefox takes them.
const at = (box, x, y) => [Math.round(box.left + ((x + 0.5) * box.width) / 640),
                           Math.round(box.top + ((y + 0.5) * box.height) / 480)];

// After a pause, the loop goes on from the frame it stopped at, one frame
// an animation frame: it does not make up for the time it stood still.
async function resumesWhereItWas(page, stopped) {
  const samples = await (await page.waitForFunction(
    (n) => window.frameSamples.at(-1) >= n + 5 && window.frameSamples, {}, stopped.frames)).jsonValue();
  assert.equal(samples[0], stopped.frames);
  const steps = new Set(samples.slice(1).map((f, i) => f - samples[i]));
  assert.ok([...steps].every((d) => d === 0 || d === 1), samples.join(' '));
  const s = await state(page);
  assert.deepEqual([s.running, s.paused, s.scene, s.ended], [true, false, stopped.scene, false]);
}

after(async () => {
  await close();
});

describe('exactness', () => {
  test('the golden script draws the golden frames in every scene, all opaque', async () => {
    const expected = readHashes(path.join(golden, 'd4-bgr/hashes.txt'));
    const saves = [...expected.keys()].sort((a, b) => a - b);
    assert.ok(saves.length >= 6);
    const page = await openHeld({ width: 640, height: 480 });
    const digests = await page.evaluate((events, last, s) => window.replay(events, last, s),
                                        readScript(path.join(golden, 'script.txt')), saves.at(-1), saves);
    for (const frame of saves) {
      assert.equal(digests[frame].hash, expected.get(frame), `frame ${frame}`);
      assert.ok(digests[frame].opaque, `frame ${frame} has pixels that are not opaque`);
    }
    assert.equal((await state(page)).scene, 2);
    await page.close();
  });

  test('a long run of random input draws the long golden frames', async () => {
    const count = 2000;
    const expected = readHashes(path.join(golden, 'long-d4-bgr/hashes.txt'));
    const saves = [...expected.keys()].filter((f) => f < count).sort((a, b) => a - b);
    assert.ok(saves.length >= 40);
    const page = await openHeld({ width: 640, height: 480 });
    const digests = await page.evaluate((events, last, s) => window.replay(events, last, s),
                                        randomEvents(5, count), saves.at(-1), saves);
    for (const frame of saves) assert.equal(digests[frame].hash, expected.get(frame), `frame ${frame}`);
    await page.close();
  });
});

describe('real input over a canvas shown at 900 x 675', () => {
  let page;
  let box;

  before(async () => {
    page = await openHeld({ width: 900, height: 700 });
    box = await canvasBox(page);
  });
  after(() => page.close());

  test('the canvas fits the window at 4:3, centred, with the pointer hidden', async () => {
    assert.deepEqual(box, { left: 0, top: 12.5, width: 900, height: 675 });
    assert.equal(await page.$eval('#screen', (c) => getComputedStyle(c).cursor), 'none');
  });

  test('moves steer and a click changes the scene, frame for frame as natively', async () => {
    await page.evaluate(() => window.ringfield.restart());
    await page.mouse.move(...at(box, 500, 100));
    await waitQueued(page, 1);
    await step(page, 5);
    let s = await state(page);
    assert.deepEqual([s.mouseX, s.mouseY, s.spinX, s.spinY], [500, 100, 90, -70]);
    // (spin y / 4, (spin x - spin y) / 4, spin x / 4) a frame, five frames
    assert.deepEqual([s.angleX, s.angleY, s.angleZ], [4096 - 85, 200, 110]);

    await page.mouse.move(...at(box, 37, 411));
    await waitQueued(page, 1);
    await step(page, 5);
    await page.mouse.down({ button: 'right' });
    await page.mouse.up({ button: 'right' });
    await waitQueued(page, 1);
    await step(page, 10);
    s = await state(page);
    assert.deepEqual([s.mouseX, s.mouseY, s.scene, s.frames], [37, 411, 1, 20]);
    assert.equal((await digest(page)).hash, nativeHash('steer', '0 motion 500 100\n5 motion 37 411\n10 button\n', 20));
  });

  test('the corners of the canvas map to the corners of the mode, and the margin to nothing', async () => {
    // Whole CSS pixels inside the edges: Firefox rounds pointer positions.
    await page.mouse.move(box.left + box.width - 1, Math.floor(box.top + box.height));
    await waitQueued(page, 1);
    await step(page, 1);
    let s = await state(page);
    assert.deepEqual([s.mouseX, s.mouseY], [639, 479]);
    await page.mouse.move(box.left + 450, box.top - 6);  // in the band above the canvas
    await page.mouse.move(box.left, Math.ceil(box.top));
    await waitQueued(page, 1);
    await step(page, 1);
    s = await state(page);
    assert.deepEqual([s.mouseX, s.mouseY, s.queued], [0, 0, 0]);
  });

  test('a key ends the demo with its last frame shown, and a click starts it afresh', async () => {
    const last = await digest(page);
    const framesBefore = (await state(page)).frames;
    await page.keyboard.press('KeyQ');
    await waitQueued(page, 1);
    assert.equal(await step(page, 1), 0);
    const s = await state(page);
    assert.ok(s.ended);
    assert.equal(s.frames, framesBefore);
    assert.deepEqual(await digest(page), last);
    assert.match(await text(page, '#message'), /ended.*click or press a key to start again/i);
    assert.equal(await text(page, '#scene'), 'Scene 2 of 3, ended');
    assert.equal(await page.$eval('#screen', (c) => getComputedStyle(c).cursor), 'default');

    // Moves while it has ended are not inputs, and the click is the restart.
    await page.mouse.move(...at(box, 100, 100));
    await page.mouse.down();
    await page.mouse.up();
    await waitFor(page, () => !window.ringfield.state().ended);
    assert.deepEqual(await state(page), {
      frames: 0, running: false, paused: false, scene: 0, mouseX: 0, mouseY: 0, spinX: 0, spinY: 0,
      angleX: 0, angleY: 0, angleZ: 0, queued: 0, ended: false,
    });
    assert.equal(await text(page, '#message'), null);
    assert.equal(await text(page, '#scene'), 'Scene 1 of 3');
    const expected = readHashes(path.join(golden, 'd4-bgr/hashes.txt'));
    const digests = await page.evaluate((events) => window.replay(events, 10, [10]),
                                        readScript(path.join(golden, 'script.txt')));
    assert.equal(digests[10].hash, expected.get(10));
  });

  test('a key starts it again, and a held key does not', async () => {
    await page.keyboard.down('KeyA');
    await waitQueued(page, 1);
    assert.equal(await step(page, 1), 0);
    await page.keyboard.down('KeyA');  // the key's auto-repeat
    await page.keyboard.up('KeyA');
    await frames(page, 3);
    assert.ok((await state(page)).ended);
    await page.keyboard.press(' ');
    await waitFor(page, () => !window.ringfield.state().ended);
    const s = await state(page);
    assert.deepEqual([s.frames, s.queued], [0, 0]);
  });
});

describe('keys', () => {
  let page;
  let box;
  let marks = 0;

  before(async () => {
    page = await openHeld({ width: 900, height: 700 });
    box = await canvasBox(page);
  });
  after(() => page.close());

  // Presses keys together, the first held while the rest go down and up.
  async function chord(keys) {
    for (const key of keys) await page.keyboard.down(key);
    for (const key of [...keys].reverse()) await page.keyboard.up(key);
  }

  // A pointer move after the keys: once its input is queued, whatever the
  // keys queued is queued too, as the page takes events in order.
  async function queuedWithMark() {
    marks += 1;
    await page.mouse.move(...at(box, 100 + marks, 200));
    await page.waitForFunction(() => window.ringfield.state().queued > 0);
    return (await state(page)).queued;
  }

  test('the keys a person presses to stop the demo end it', async () => {
    for (const key of ['KeyA', 'Digit7', ' ', 'Enter', 'Escape', 'Backspace', 'ArrowLeft', 'Slash', 'Delete']) {
      await page.evaluate(() => { document.activeElement.blur(); window.ringfield.restart(); });
      await page.keyboard.press(key);
      await waitQueued(page, 1);
      assert.equal(await step(page, 1), 0, `${key} did not end the demo`);
      assert.ok((await state(page)).ended, key);
    }
  });

  // WebDriver has no AltGraph or CapsLock key to press, so only Chromium
  // presses those (CapsLock twice, to leave it off).
  const passing = [['Shift'], ['Control'], ['Alt'], ['Meta'], ['Tab'], ['Shift', 'Tab'], ['Alt', 'Tab'], ['F2'],
                   ['F9'], ['Control', 'KeyM'], ['Alt', 'KeyM'], ['Meta', 'KeyM'],
                   ...(engine === 'chromium' ? [['AltGraph'], ['CapsLock'], ['CapsLock']] : [])];

  test('modifiers, Tab, function keys and shortcuts neither end the demo nor start it again', async () => {
    await page.evaluate(() => window.ringfield.restart());
    for (const keys of passing) {
      await chord(keys);
      assert.equal(await queuedWithMark(), 1, `${keys.join('+')} was queued`);
      assert.equal(await step(page, 1), 1);
    }
    await page.evaluate(() => document.activeElement.blur());
    await page.keyboard.press('KeyQ');
    await waitQueued(page, 1);
    assert.equal(await step(page, 1), 0);
    const ended = await state(page);
    for (const keys of passing) await chord(keys);
    await frames(page, 5);
    assert.deepEqual(await state(page), ended);
  });

  test('Tab reaches the buttons, and Enter and Space work them without ending the demo', async () => {
    // A fresh page: Tab starts from where focus last was, even after a blur.
    const page = await openHeld({ width: 900, height: 700 });
    await page.keyboard.press('Tab');
    const focus = () => page.evaluate(() => {
      const e = document.activeElement;
      return { id: e.id, ring: e.matches(':focus-visible') && getComputedStyle(e).outlineStyle !== 'none' };
    });
    assert.deepEqual(await focus(), { id: 'pause', ring: true });
    await page.keyboard.press('Enter');
    await waitFor(page, () => window.ringfield.state().paused);
    assert.equal(await text(page, '#pause'), 'Resume');
    await page.keyboard.press(' ');
    await waitFor(page, () => !window.ringfield.state().paused);
    assert.equal(await text(page, '#pause'), 'Pause');
    assert.deepEqual(await focus(), { id: 'pause', ring: true });
    await page.keyboard.press('Tab');
    assert.equal((await focus()).id, 'fullscreen');
    await page.keyboard.down('Shift');
    await page.keyboard.press('Tab');
    await page.keyboard.up('Shift');
    assert.equal((await focus()).id, 'pause');
    // Any other key still ends it.
    await page.keyboard.press('KeyX');
    await waitQueued(page, 1);
    assert.equal(await step(page, 1), 0);
    const s = await state(page);
    assert.deepEqual([s.ended, s.paused], [true, false]);
    await page.close();
  });
});

describe('pause and resume', () => {
  test('the Pause button holds the picture, drops inputs and resumes with the next frame', async () => {
    const page = await openPage({ width: 900, height: 700 });
    await ready(page);
    await waitFor(page, () => window.ringfield.state().frames >= 3);
    const box = await canvasBox(page);
    await page.click('#pause');
    await waitFor(page, () => window.ringfield.state().paused);
    const paused = await state(page);
    const picture = await digest(page);
    assert.equal(paused.running, false);
    assert.equal(await text(page, '#pause'), 'Resume');
    assert.equal(await page.evaluate(() => document.activeElement.id), 'pause');

    await page.mouse.move(...at(box, 320, 100));
    await page.mouse.click(...at(box, 300, 120));
    await page.evaluate(() => document.activeElement.blur());
    await page.keyboard.press('KeyQ');
    await frames(page, 5);
    assert.deepEqual(await state(page), paused);
    assert.deepEqual(await digest(page), picture);

    await page.evaluate(() => window.sampleFrames());
    await page.click('#pause');
    await resumesWhereItWas(page, paused);
    assert.equal(await text(page, '#pause'), 'Pause');
    await page.close();
  });

  test('once the demo has ended the button is disabled, until it starts again', async () => {
    const page = await openPage({ width: 900, height: 700 });
    await ready(page);
    await page.keyboard.press('KeyE');
    await waitFor(page, () => window.ringfield.state().ended);
    assert.equal(await page.$eval('#pause', (b) => b.disabled), true);
    await page.mouse.click(450, 350);
    await waitFor(page, () => window.ringfield.state().frames >= 2);
    assert.equal(await page.$eval('#pause', (b) => b.disabled), false);
    await page.close();
  });

  // Chromium poses as such a system through its protocol; Firefox is started
  // anew with the preference set.
  test('under reduced motion the page shows the first frame and waits for Start', async () => {
    let still = null;
    let page;
    if (engine === 'chromium') {
      page = await openPage({ width: 900, height: 700 },
                            { media: [{ name: 'prefers-reduced-motion', value: 'reduce' }] });
    } else {
      still = await launch(engine, 'still', { 'ui.prefersReducedMotion': 1 });
      page = await still.browser.newPage();
      await page.setViewport({ width: 900, height: 700 });
      watch(page);
      await page.evaluateOnNewDocument(installHelpers);
      await page.goto(pageUrl);
    }
    await ready(page);
    await frames(page, 5);
    const s = await state(page);
    assert.deepEqual([s.frames, s.paused, s.running], [1, true, false]);
    assert.equal((await digest(page)).hash, nativeHash('first', '1 key\n', 1));
    assert.equal(await text(page, '#pause'), 'Start');
    assert.match(await text(page, '#hint'), /reduced motion/);
    await page.click('#pause');
    await waitFor(page, () => window.ringfield.state().frames >= 3);
    assert.equal(await text(page, '#pause'), 'Pause');
    assert.match(await text(page, '#hint'), /steer/);
    await page.close();
    if (still) await still.close();
  });
});

describe('touch on a phone', () => {
  test('a drag steers and a tap changes the scene, frame for frame as natively', async () => {
    const phone = { width: 412, height: 915, deviceScaleFactor: 2.625, isMobile: true, hasTouch: true };
    const page = await openHeld(phone);
    // Firefox has touch input but no phone to pose as: its hint stays the mouse's.
    if (engine === 'chromium') assert.equal(await text(page, '#hint'), 'Drag to steer \u00b7 tap for the next scene');
    const box = await canvasBox(page);
    assert.ok(box.left >= 0 && box.top >= 0 && box.left + box.width <= 412 && box.top + box.height <= 915);
    assert.ok(Math.abs(box.width - 412) < 1, `${box.width} wide`);

    await page.touchscreen.touchStart(...at(box, 300, 200));
    await page.touchscreen.touchMove(...at(box, 420, 260));
    await page.touchscreen.touchEnd();
    await waitQueued(page, 1);
    await step(page, 5);
    await page.touchscreen.tap(...at(box, 100, 100));
    await waitQueued(page, 1);
    await step(page, 15);
    const s = await state(page);
    assert.deepEqual([s.mouseX, s.mouseY, s.scene, s.frames, s.queued], [420, 260, 1, 20, 0]);
    assert.equal((await digest(page)).hash, nativeHash('touch', '0 motion 420 260\n5 button\n', 20));
    assert.equal(await text(page, '#scene'), 'Scene 2 of 3');

    // Landscape: still inside the window at 4:3.
    await page.setViewport({ ...phone, width: 915, height: 412 });
    await frames(page, 2);
    const wide = await canvasBox(page);
    assert.ok(wide.top >= 0 && wide.top + wide.height <= 412 && wide.left >= 0 && wide.left + wide.width <= 915);
    assert.ok(Math.abs(wide.width / wide.height - 4 / 3) < 0.01);
    await page.close();
  });
});

describe('even pixels', () => {
  // Window, device scale, and the device pixels each picture pixel should
  // cover, or null where the canvas is smoothly filtered instead.
  const cases = [
    [1000, 750, 1, null], [1000, 750, 1.5, 2], [1000, 750, 2, 3], [1000, 750, 2.625, 4],
    [412, 915, 2.625, null], [915, 412, 2.625, 2], [1920, 1080, 1, 2],
  ];
  for (const [width, height, scale, whole] of cases) {
    test(`${width} x ${height} at device scale ${scale}: ${whole ? `${whole} device pixels a pixel` : 'smooth'}`,
         async () => {
      const page = await openHeld({ width, height, deviceScaleFactor: scale });
      await page.addStyleTag({ content: '#stage > :not(canvas) { visibility: hidden; }' });
      // A checkerboard of picture pixels, white and black.
      await page.evaluate(() => {
        const image = new ImageData(640, 480);
        for (let i = 0; i < 640 * 480; ++i) {
          const v = ((i % 640) + Math.floor(i / 640)) % 2 === 0 ? 255 : 0;
          image.data.set([v, v, v, 255], i * 4);
        }
        document.getElementById('screen').getContext('2d').putImageData(image, 0, 0);
      });
      await frames(page, 2);
      const shot = await page.screenshot({ encoding: 'base64' });
      // Runs of white and of black along the canvas's middle row and column,
      // in the screenshot's device pixels, leaving out the partial ends.
      const seen = await page.evaluate(async (png, ratio) => {
        const picture = new Image();
        picture.src = 'data:image/png;base64,' + png;
        await picture.decode();
        const c = document.createElement('canvas');
        c.width = picture.naturalWidth;
        c.height = picture.naturalHeight;
        const g = c.getContext('2d', { willReadFrequently: true });
        g.drawImage(picture, 0, 0);
        const r = document.getElementById('screen').getBoundingClientRect();
        const line = (x0, y0, dx, dy, n) => {
          const d = g.getImageData(x0, y0, dx ? n : 1, dy ? n : 1).data;
          const runs = [];
          let grey = 0;
          let last = -1;
          for (let i = 0; i < n; ++i) {
            const v = d[i * 4];
            const kind = v > 220 ? 1 : v < 35 ? 0 : -1;
            if (kind < 0) grey += 1;
            if (kind >= 0 && kind === last) runs[runs.length - 1] += 1;
            else if (kind >= 0) runs.push(1);
            last = kind;
          }
          return { runs: [...new Set(runs.slice(1, -1))].sort(), grey: grey / n };
        };
        const left = Math.ceil(r.left * ratio), right = Math.floor(r.right * ratio);
        const top = Math.ceil(r.top * ratio), bottom = Math.floor(r.bottom * ratio);
        return {
          size: [c.width, c.height],
          row: line(left, Math.floor((top + bottom) / 2), 1, 0, right - left),
          column: line(Math.floor((left + right) / 2), top, 0, 1, bottom - top),
          fills: Math.abs(r.width - innerWidth) < 1 || Math.abs(r.height - innerHeight) < 1,
        };
      }, shot, scale);
      // The screenshot is the window in device pixels (Firefox rounds down).
      assert.ok(Math.abs(seen.size[0] - width * scale) < 1 && Math.abs(seen.size[1] - height * scale) < 1);
      if (whole) {
        assert.deepEqual([seen.row.runs, seen.column.runs], [[whole], [whole]], JSON.stringify(seen));
        assert.deepEqual([seen.row.grey, seen.column.grey], [0, 0]);
      } else {
        // Filtered: a 1-pixel checkerboard blurs to grey, and the canvas
        // fills the window's width or height.
        assert.ok(seen.row.grey > 0.5 && seen.column.grey > 0.5, JSON.stringify(seen));
        assert.ok(seen.fills);
      }
      await page.close();
    });
  }
});

describe('the page', () => {
  test('names its canvas and buttons and tells the scene in a status line', async () => {
    const page = await openHeld({ width: 900, height: 700 });
    const names = await page.evaluate(() => {
      const canvas = document.getElementById('screen');
      const scene = document.getElementById('scene');
      const message = document.getElementById('message');
      return {
        canvas: [canvas.getAttribute('role'), /rings/.test(canvas.getAttribute('aria-label'))],
        buttons: [...document.querySelectorAll('button')].map((b) => b.textContent),
        scene: [scene.getAttribute('role'), scene.getAttribute('aria-live')],
        message: [message.getAttribute('role'), message.getAttribute('aria-live')],
      };
    });
    assert.deepEqual(names, {
      canvas: ['img', true], buttons: ['Pause', 'Full screen'],
      scene: ['status', 'polite'], message: ['status', 'polite'],
    });
    const labels = [];
    for (const input of ['button', 'button', 'button', 'key']) {
      await page.evaluate((kind) => { window.ringfield.push(kind); window.ringfield.step(1); }, input);
      labels.push(await text(page, '#scene'));
    }
    assert.deepEqual(labels, ['Scene 2 of 3', 'Scene 3 of 3', 'Scene 1 of 3', 'Scene 1 of 3, ended']);
    await page.close();
  });

  test('runs one frame per animation frame', async () => {
    const page = await openPage({ width: 800, height: 600 });
    await ready(page);
    await waitFor(page, () => window.ringfield.state().frames >= 3);
    // Sampled in an animation-frame callback of its own, each sample sees
    // the page's frame of that animation frame.
    const seen = await (await page.waitForFunction(() => {
      const list = (window.seenFrames ||= []);
      list.push(window.ringfield.state().frames);
      return list.length > 30 && list;
    }, { polling: 'raf' })).jsonValue();
    const steps = new Set(seen.slice(1).map((f, i) => f - seen[i]));
    assert.deepEqual([...steps], [1], seen.join(' '));
    assert.ok((await state(page)).running);
    await page.close();
  });

  test('a hidden tab stops the loop and it goes on where it was when shown', async () => {
    const page = await openPage({ width: 640, height: 480 });
    await ready(page);
    await waitFor(page, () => window.ringfield.state().frames >= 3);
    const setHidden = (hidden) => page.evaluate((h) => {
      Object.defineProperty(document, 'hidden', { configurable: true, get: () => h });
      document.dispatchEvent(new Event('visibilitychange'));
    }, hidden);
    await setHidden(true);
    const hidden = await state(page);
    assert.equal(hidden.running, false);
    await frames(page, 5);
    assert.equal((await state(page)).frames, hidden.frames);
    await page.evaluate(() => window.sampleFrames());
    await setHidden(false);
    await resumesWhereItWas(page, hidden);
    await page.close();
  });

  test('the full-screen button fills the screen with the canvas, and leaves it', async () => {
    const page = await openPage({ width: 800, height: 600 });
    await ready(page);
    await page.click('#fullscreen');
    await waitFor(page, () => document.fullscreenElement === document.getElementById('stage'));
    await waitFor(page, () => {
      const r = document.getElementById('screen').getBoundingClientRect();
      return Math.abs(r.width / r.height - 4 / 3) < 0.01 &&
             (Math.abs(r.width - innerWidth) < 1 || Math.abs(r.height - innerHeight) < 1 ||
              document.getElementById('screen').classList.contains('sharp'));
    });
    assert.equal(await page.evaluate(() => document.activeElement.id), 'fullscreen');
    assert.equal((await state(page)).ended, false);
    await page.click('#fullscreen');
    await waitFor(page, () => document.fullscreenElement === null);
    await page.close();
  });

  test('the input queue holds 128 inputs and drops the rest', async () => {
    const page = await openHeld({ width: 640, height: 480 });
    const accepted = await page.evaluate(() => {
      const result = [];
      for (let i = 0; i < 130; ++i) result.push(window.ringfield.push('motion', i, 2 * i));
      return result;
    });
    assert.deepEqual(accepted, [...Array(128).fill(true), false, false]);
    assert.equal(await step(page, 128), 128);
    const s = await state(page);
    assert.deepEqual([s.mouseX, s.mouseY, s.queued], [127, 254, 0]);
    const odd = await page.evaluate(() => [window.ringfield.push('motion', -1, 0),
                                           window.ringfield.push('motion', 0, 65536),
                                           window.ringfield.push('motion', 65535, 65535)]);
    assert.deepEqual(odd, [false, false, true]);
    await page.close();
  });

  test('a browser without WebAssembly, or without its SIMD, gets a clear message', async () => {
    const missing = await openPage({ width: 640, height: 480 }, { beforeLoad: () => { delete window.WebAssembly; } });
    await missing.waitForSelector('#message', { visible: true });
    assert.match(await text(missing, '#message'), /WebAssembly, which this browser does not have/);
    assert.equal(await missing.evaluate(() => window.ringfield), undefined);
    await missing.close();

    const old = await openPage({ width: 640, height: 480 },
                               { beforeLoad: () => { WebAssembly.validate = () => false; } });
    await old.waitForSelector('#message', { visible: true });
    assert.match(await text(old, '#message'), /WebAssembly with SIMD/);
    await old.close();
  });

  test('no page logged an error or a warning', () => {
    assert.equal(problems.length, 0, problems.join('\n'));
  });
});
