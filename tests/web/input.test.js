// Real mouse and keyboard input over a scaled canvas, frame for frame against
// the native capture tool: moves, buttons, the keys that end the demo and
// those that do not, the buttons' keys, and the input queue.
//   node tests/web/input.test.js [path/to/ringfield-capture] [chromium|firefox]
import assert from 'node:assert/strict';
import path from 'node:path';
import { after, describe } from 'node:test';
import {
  at, before, canvasBox, closePage, digest, engine, frames, golden, nativeHash, openHeld, readHashes, readScript, state,
  step, test, text, waitFor, waitQueued,
} from './harness.js';

describe('real input over a canvas shown at 900 x 675', () => {
  let page;
  let box;

  before(async () => {
    page = await openHeld({ width: 900, height: 700 });
    box = await canvasBox(page);
  });
  after(() => closePage(page));

  // A drag on the canvas is the demo's, never the page's scroll or zoom.
  test('the canvas fits the window at 4:3, centred, with the pointer hidden', async () => {
    assert.deepEqual(box, { left: 0, top: 12.5, width: 900, height: 675 });
    assert.deepEqual(await page.$eval('#screen', (c) => [getComputedStyle(c).cursor, getComputedStyle(c).touchAction]),
                     ['none', 'none']);
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
    assert.equal((await digest(page)).hash, nativeHash('0 motion 500 100\n5 motion 37 411\n10 button\n', 20));
  });

  test('every mouse button is the next scene on its press, and its release queues nothing', async () => {
    await page.evaluate(() => window.ringfield.restart());
    await page.mouse.move(...at(box, 320, 240));
    await waitQueued(page, 1);
    await step(page, 1);
    const scenes = [];
    for (const button of ['left', 'middle', 'right', 'left']) {
      await page.mouse.down({ button });
      await waitQueued(page, 1);
      await page.mouse.up({ button });
      await frames(page, 2);
      assert.equal((await state(page)).queued, 1, `${button}: its release was queued`);
      await step(page, 1);
      scenes.push((await state(page)).scene);
    }
    // A second button pressed while the first is held comes as a move: the next scene again, and
    // the move (at the same place) with it.
    await page.mouse.down({ button: 'left' });
    await waitQueued(page, 1);
    await page.mouse.down({ button: 'right' });
    await waitFor(page, () => window.ringfield.state().queued >= 3);
    await page.mouse.up({ button: 'right' });
    await page.mouse.up({ button: 'left' });
    await frames(page, 2);
    await step(page, (await state(page)).queued);
    scenes.push((await state(page)).scene);
    // Back to the second scene, where the tests below expect it.
    scenes.push(await page.evaluate(() => window.ringfield.push('button') && window.ringfield.step(1) &&
                                          window.ringfield.state().scene));
    assert.deepEqual(scenes, [1, 2, 0, 1, 0, 1]);
    // The right button's menu never opens over the picture, nor does the middle one scroll or a press select.
    assert.deepEqual(await page.$eval('canvas', (c) => ['contextmenu', 'mousedown'].map((type) =>
      c.dispatchEvent(new MouseEvent(type, { bubbles: true, cancelable: true })))), [false, false]);
  });

  // Bars above and below the smoothly scaled canvas, and on all four sides of a sharp one.
  test('the corners of the canvas map to the corners of the mode, and the margin to nothing', async () => {
    const windows = [[{ width: 900, height: 700 }, { left: 0, top: 12.5, width: 900, height: 675 }],
                     [{ width: 1400, height: 1100 }, { left: 60, top: 70, width: 1280, height: 960 }],
                     // Sharp pixels start on a whole pixel, though the margins are not whole.
                     [{ width: 1401, height: 1101 }, { left: 61, top: 71, width: 1280, height: 960 }]];
    for (const [viewport, expected] of [...windows, windows[0]]) {
      await page.setViewport(viewport);
      // Two windows here share a canvas width, so wait for the window's own size, then for
      // a frame: the page places the canvas in its resize handler, which runs before it.
      await waitFor(page, (v) => innerWidth === v.width && innerHeight === v.height, viewport);
      await frames(page, 2);
      const b = await canvasBox(page);
      assert.deepEqual(b, expected);
      // Whole CSS pixels inside the edges: Firefox rounds pointer positions.
      await page.mouse.move(b.left + b.width - 1, Math.ceil(b.top + b.height) - 1);
      await waitQueued(page, 1);
      await step(page, 1);
      let s = await state(page);
      assert.deepEqual([s.mouseX, s.mouseY], [639, 479]);
      await page.mouse.move(b.left + 450, b.top - 6);  // in the band above the canvas
      if (b.left > 0) await page.mouse.move(b.left - 6, b.top + 300);  // and beside it
      await page.mouse.move(b.left, Math.ceil(b.top));
      await waitQueued(page, 1);
      await step(page, 1);
      s = await state(page);
      assert.deepEqual([s.mouseX, s.mouseY, s.queued], [0, 0, 0]);
    }
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
    assert.equal(await text(page, '#hint'), null);
    assert.deepEqual(await digest(page), last);
    assert.match(await text(page, '#message'), /ended.*click or press a key to start again/i);
    assert.equal(await text(page, '#scene'), 'Scene 2 of 3, ended');
    assert.equal(await page.$eval('#screen', (c) => getComputedStyle(c).cursor), 'default');

    // Moves while it has ended are not inputs, and a click, even on the bar above the canvas, is the restart.
    await page.mouse.move(...at(box, 100, 100));
    await page.mouse.move(box.left + 100, box.top - 6);
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
  after(() => closePage(page));

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
    for (const keys of [['KeyA'], ['Digit7'], [' '], ['Enter'], ['Escape'], ['Backspace'], ['ArrowLeft'], ['Slash'],
                        ['Delete'], ['Shift', 'KeyA']]) {
      await page.evaluate(() => { document.activeElement.blur(); window.ringfield.restart(); });
      await chord(keys);
      await waitQueued(page, 1);
      assert.equal(await step(page, 1), 0, `${keys.join('+')} did not end the demo`);
      assert.ok((await state(page)).ended, keys.join('+'));
    }
    // A character typed with AltGr, which Windows reports with Control and Alt held too.
    await page.evaluate(() => {
      window.ringfield.restart();
      window.dispatchEvent(new KeyboardEvent('keydown', { key: '@', ctrlKey: true, altKey: true, modifierAltGraph: true }));
    });
    assert.equal(await step(page, 1), 0, 'AltGr+Q did not end the demo');
    // Nor does the key scroll the page or open the browser's quick find.
    assert.equal(await page.evaluate(() =>
      window.dispatchEvent(new KeyboardEvent('keydown', { key: '/', cancelable: true }))), false);
  });

  // WebDriver has no AltGraph or CapsLock key to press, so only Chromium
  // presses those (CapsLock twice, to leave it off).
  const passing = [['Shift'], ['Control'], ['Alt'], ['Meta'], ['Tab'], ['Shift', 'Tab'], ['Alt', 'Tab'], ['F1'], ['F2'],
                   ['F9'], ['F10'], ['F11'], ['F12'], ['Control', 'KeyM'], ['Alt', 'KeyM'], ['Meta', 'KeyM'],
                   ...(engine === 'chromium' ? [['AltGraph'], ['CapsLock'], ['CapsLock']] : [])];

  test('modifiers, Tab, function keys and shortcuts neither end the demo nor start it again', async () => {
    await page.evaluate(() => window.ringfield.restart());
    for (const keys of passing) {
      await chord(keys);
      assert.equal(await queuedWithMark(), 1, `${keys.join('+')} was queued`);
      assert.equal(await step(page, 1), 1);
    }
    // Nor does a key an input method is composing with.
    await page.evaluate(() => window.dispatchEvent(new KeyboardEvent('keydown', { key: 'a', isComposing: true })));
    assert.equal(await queuedWithMark(), 1, 'a composing key was queued');
    assert.equal(await step(page, 1), 1);
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
    // A ring that shows on the black page: Chromium's own is near black.
    const focus = () => page.evaluate(() => {
      const e = document.activeElement;
      const style = getComputedStyle(e);
      const light = style.outlineColor.match(/\d+/g).slice(0, 3).every((c) => Number(c) >= 128);
      return { id: e.id, ring: e.matches(':focus-visible') && style.outlineStyle !== 'none' && light };
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
    await closePage(page);
  });
});

describe('the input queue', () => {
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
    await closePage(page);
  });
});
