// The core's frame time in the browser: the page (docs/ringfield.html by
// default) in headless Chromium, its loop paused, 600 frames stepped from
// start-up with the pointer off centre, timed with performance.now. Prints
// the mean of each of five runs after a warm-up run; asserts nothing.
//   node tests/web/frame-time.js [page.html]
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { chromium } from 'playwright-core';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const page = process.argv[2] || path.join(root, 'docs/ringfield.html');
const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'ringfield-time-'));
const args = ['--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
              '--disable-component-update', '--disable-sync'];
if (process.getuid && process.getuid() === 0) args.push('--no-sandbox');
const context = await chromium.launchPersistentContext(path.join(scratch, 'profile'), {
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  args,
  env: { ...process.env, HOME: scratch, TMPDIR: scratch },
});
try {
  const tab = await context.newPage();
  await tab.goto(pathToFileURL(page).href);
  await tab.waitForFunction(() => window.ringfield !== undefined);
  const runs = await tab.evaluate(() => {
    const rf = window.ringfield;
    rf.pause();
    const times = [];
    for (let run = 0; run < 6; ++run) {
      rf.restart();
      rf.push('motion', 420, 300);
      const start = performance.now();
      if (rf.step(600) !== 600) throw new Error('the run ended early');
      times.push(((performance.now() - start) * 1000) / 600);
    }
    return times.slice(1);  // the first run warms the compiled code up
  });
  console.log(`browser frame, 600 frames a run: ${runs.map((t) => t.toFixed(0)).join(', ')} us ` +
              `(best ${Math.min(...runs).toFixed(0)} us)`);
} finally {
  await context.close();
  fs.rmSync(scratch, { recursive: true, force: true });
}
