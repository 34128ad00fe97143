// What the page shows: even pixels at several device scales, full screen,
// what screen readers are told, and the messages of a browser that cannot
// run it.
//   node tests/web/pixels.test.js [path/to/ringfield-capture] [chromium|firefox]
import assert from 'node:assert/strict';
import { describe } from 'node:test';
import { closePage, engine, frames, openHeld, openPage, ready, state, test, text, waitFor } from './harness.js';

describe('even pixels', () => {
  // Sharp at 1, smooth at 1.5, and sharp again when moved back. Firefox only: Chromium's emulated
  // pixel ratio tells no media query of its changes, as a real move to another screen does.
  if (engine === 'firefox') test('a move to a screen of another pixel ratio, and back, refits the canvas each time', async () => {
    const page = await openPage({ width: 700, height: 525 });
    await ready(page);
    const seen = [];
    for (const deviceScaleFactor of [1.5, 1, 1.5]) {
      await page.setViewport({ width: 700, height: 525, deviceScaleFactor });
      await waitFor(page, (r) => devicePixelRatio === r, deviceScaleFactor);
      await frames(page, 2);
      seen.push(await page.$eval('#screen', (c) => [Math.round(c.getBoundingClientRect().width),
                                                   c.classList.contains('sharp')]));
    }
    assert.deepEqual(seen, [[700, false], [640, true], [700, false]]);
    await closePage(page);
  });

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
      await closePage(page);
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
    // Started again in the scene it ended in: the label drops "ended".
    await page.evaluate(() => window.ringfield.restart());
    labels.push(await text(page, '#scene'));
    assert.deepEqual(labels, ['Scene 2 of 3', 'Scene 3 of 3', 'Scene 1 of 3', 'Scene 1 of 3, ended', 'Scene 1 of 3']);
    await closePage(page);
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
    const label = (want) => waitFor(page, (w) => document.getElementById('fullscreen').textContent === w, want);
    await label('Leave full screen');
    await page.click('#fullscreen');
    await waitFor(page, () => document.fullscreenElement === null);
    await label('Full screen');
    await closePage(page);
  });

  test('a browser without JavaScript, WebAssembly or its SIMD, or that cannot start the core gets a clear message', async () => {
    const missing = await openPage({ width: 640, height: 480 }, { beforeLoad: () => { delete window.WebAssembly; } });
    await missing.waitForSelector('#message', { visible: true });
    assert.match(await text(missing, '#message'), /WebAssembly, which this browser does not have/);
    assert.equal(await missing.evaluate(() => window.ringfield), undefined);
    // Nor without JavaScript, in Chromium: Firefox's driver cannot turn it off.
    if (engine === 'chromium') {
      const off = await missing.browser().newPage();
      await off.setJavaScriptEnabled(false);
      await off.goto(missing.url());
      assert.equal(await off.$eval('body', (b) => b.innerText.trim()),
                   'ringfield needs JavaScript and WebAssembly, which this browser has turned off.');
      await off.close();
    }
    await closePage(missing);

    const old = await openPage({ width: 640, height: 480 },
                               { beforeLoad: () => { WebAssembly.validate = () => false; } });
    await old.waitForSelector('#message', { visible: true });
    assert.match(await text(old, '#message'), /WebAssembly with SIMD/);
    await closePage(old);

    const broken = await openPage({ width: 640, height: 480 }, { beforeLoad: () => {
      WebAssembly.instantiate = () => Promise.reject(new Error('no memory for the core'));
      WebAssembly.instantiateStreaming = WebAssembly.instantiate;
    } });
    await broken.waitForSelector('#message', { visible: true });
    assert.match(await text(broken, '#message'), /^ringfield could not start: .*no memory for the core/);
    // The core's loader logs the reason twice as it gives up, and the page the error (which
    // Firefox's driver shows only as an object).
    await closePage(broken, [/no memory for the core/, /Aborted\(Error: no memory for the core\)/, /^error: /]);
  });
});
