// The page's frames against the golden hashes: the golden script through
// every scene, and a long run of the capture tool's random input.
//   node tests/web/golden.test.js [path/to/ringfield-capture] [chromium|firefox]
import assert from 'node:assert/strict';
import path from 'node:path';
import { describe } from 'node:test';
import { closePage, golden, openHeld, randomEvents, readHashes, readScript, state, test } from './harness.js';

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
    await closePage(page);
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
    await closePage(page);
  });
});
