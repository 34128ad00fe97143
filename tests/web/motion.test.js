// When the demo moves: the Pause button, a hidden tab, reduced motion, one
// frame per animation frame, and touch on a phone.
//   node tests/web/motion.test.js [path/to/ringfield-capture] [chromium|firefox]
import assert from 'node:assert/strict';
import { describe } from 'node:test';
import {
  at, canvasBox, closePage, digest, engine, frames, nativeHash, openHeld, openPage, plantedFault, ready, resumesWhereItWas,
  state, step, test, text, waitFor, waitQueued,
} from './harness.js';
import { launch } from './browser.js';

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
    await closePage(page);
  });

  test('once the demo has ended the button is disabled, until it starts again', async () => {
    const page = await openPage({ width: 900, height: 700 });
    await ready(page);
    await page.keyboard.press('KeyE');
    await waitFor(page, () => window.ringfield.state().ended);
    assert.equal(await page.$eval('#pause', (b) => b.disabled), true);
    // A press on the disabled button is no press on the page.
    await page.click('#pause');
    await frames(page, 3);
    assert.ok((await state(page)).ended);
    await page.mouse.click(450, 350);
    await waitFor(page, () => window.ringfield.state().frames >= 2);
    assert.equal(await page.$eval('#pause', (b) => b.disabled), false);
    await closePage(page);
  });

  // Chromium poses as such a system through its protocol; Firefox is started
  // anew with the preference set.
  test('under reduced motion the page shows the first frame and waits for Start', async () => {
    let still = null;
    try {
      let page;
      if (engine === 'chromium') {
        page = await openPage({ width: 900, height: 700 },
                              { media: [{ name: 'prefers-reduced-motion', value: 'reduce' }] });
      } else {
        still = await launch(engine, 'still', { 'ui.prefersReducedMotion': 1 });
        page = await openPage({ width: 900, height: 700 }, { on: still.browser });
      }
      await ready(page);
      await plantedFault();
      await frames(page, 5);
      const s = await state(page);
      assert.deepEqual([s.frames, s.paused, s.running], [1, true, false]);
      assert.equal((await digest(page)).hash, nativeHash('1 key\n', 1));
      assert.equal(await text(page, '#pause'), 'Start');
      assert.match(await text(page, '#hint'), /reduced motion/);
      // The hint that says why it stands still stays; the one that says how to steer fades.
      const fading = () => page.$eval('#hint', (h) => getComputedStyle(h).animationName);
      assert.equal(await fading(), 'none');
      await page.click('#pause');
      await waitFor(page, () => window.ringfield.state().frames >= 3);
      assert.equal(await text(page, '#pause'), 'Pause');
      assert.equal(await text(page, '#hint'), 'Move the mouse to steer \u00b7 click for the next scene \u00b7 a key ends it');
      assert.equal(await fading(), 'fade');
      await closePage(page);
    } finally {
      if (still) await still.close();
    }
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
    // About 23 CSS pixels: twice as far as a tap may wander.
    await page.touchscreen.touchMove(...at(box, 330, 220));
    await page.touchscreen.touchEnd();
    await waitQueued(page, 1);
    await step(page, 5);
    await page.touchscreen.tap(...at(box, 100, 100));
    await waitQueued(page, 1);
    await step(page, 15);
    const s = await state(page);
    assert.deepEqual([s.mouseX, s.mouseY, s.scene, s.frames, s.queued], [330, 220, 1, 20, 0]);
    assert.equal((await digest(page)).hash, nativeHash('0 motion 330 220\n5 button\n', 20));
    assert.equal(await text(page, '#scene'), 'Scene 2 of 3');
    // A second finger's tap is no tap, nor is a press the browser took over, nor one held past half a
    // second, which steers from then on, however little it moves.
    const touch = (type, primary, [x, y] = at(box, 200, 200)) => page.$eval('canvas', (c, t, p, cx, cy) => {
      c.dispatchEvent(new PointerEvent(t, { bubbles: true, pointerId: 9, pointerType: 'touch', isPrimary: p,
                                            clientX: cx, clientY: cy }));
      return performance.now();
    }, type, primary, x, y);
    await touch('pointerdown', false);
    await touch('pointerup', false);
    for (const type of ['pointerdown', 'pointercancel', 'pointerup']) await touch(type, true);
    const pressed = await touch('pointerdown', true);
    await waitFor(page, (t) => performance.now() > t + 600, pressed);
    await touch('pointermove', true, at(box, 205, 200));
    await touch('pointerup', true);
    await frames(page, 2);
    assert.equal((await state(page)).queued, 1);
    await step(page, 1);
    assert.deepEqual([(await state(page)).mouseX, (await state(page)).queued], [205, 0]);
    // A tap whose finger wanders about 5 CSS pixels is still a tap.
    await page.touchscreen.touchStart(...at(box, 100, 100));
    await page.touchscreen.touchMove(...at(box, 108, 100));
    await page.touchscreen.touchEnd();
    await waitQueued(page, 1);
    await step(page, 1);
    // And one that lasts some 300 ms.
    const slow = await touch('pointerdown', true);
    await waitFor(page, (t) => performance.now() > t + 300, slow);
    await touch('pointerup', true);
    await waitQueued(page, 1);
    await step(page, 1);
    assert.equal((await state(page)).scene, 0);
    // After the end, a tap starts it afresh.
    await page.keyboard.press('KeyE');
    await waitQueued(page, 1);
    await step(page, 1);
    assert.ok((await state(page)).ended);
    if (engine === 'chromium') assert.match(await text(page, '#message'), /Tap or press a key to start again/);
    await page.touchscreen.tap(...at(box, 100, 100));
    await waitFor(page, () => !window.ringfield.state().ended);

    // Landscape: still inside the window at 4:3.
    await page.setViewport({ ...phone, width: 915, height: 412 });
    await frames(page, 2);
    const wide = await canvasBox(page);
    assert.ok(wide.top >= 0 && wide.top + wide.height <= 412 && wide.left >= 0 && wide.left + wide.width <= 915);
    assert.ok(Math.abs(wide.width / wide.height - 4 / 3) < 0.01);
    await closePage(page);
  });
});

describe('the loop', () => {
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
    await closePage(page);
  });

  test('a hidden tab stops the loop and it goes on where it was when shown', async () => {
    const page = await openPage({ width: 640, height: 480 });
    await ready(page);
    await waitFor(page, () => window.ringfield.state().frames >= 3);
    // The state at once, before another animation frame could come.
    const setHidden = (hidden) => page.evaluate((h) => {
      Object.defineProperty(document, 'hidden', { configurable: true, get: () => h });
      document.dispatchEvent(new Event('visibilitychange'));
      return window.ringfield.state();
    }, hidden);
    const hidden = await setHidden(true);
    assert.equal(hidden.running, false);
    await frames(page, 5);
    assert.equal((await state(page)).frames, hidden.frames);
    await page.evaluate(() => window.sampleFrames());
    await setHidden(false);
    await resumesWhereItWas(page, hidden);
    await closePage(page);
  });
});
