// The core's frame time in the browser: the page (docs/ringfield.html by
// default) in headless Chromium or Firefox, its loop paused, 600 frames
// stepped from start-up with the pointer off centre, timed with
// performance.now. Prints the mean of each of ten runs after a warm-up run,
// and their best and median; asserts nothing.
//   node tests/web/frame-time.js [chromium|firefox] [page.html]
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { launch } from './browser.js';

const root = path.resolve(path.dirname(fileURLToPath(import.meta.url)), '../..');
const engine = process.argv[2] || 'chromium';
const page = process.argv[3] || path.join(root, 'docs/ringfield.html');
const { browser, close } = await launch(engine, 'time');
try {
  const tab = await browser.newPage();
  await tab.goto(pathToFileURL(page).href);
  await tab.waitForFunction(() => window.ringfield !== undefined);
  const runs = await tab.evaluate(() => {
    const rf = window.ringfield;
    rf.pause();
    const times = [];
    for (let run = 0; run < 11; ++run) {
      rf.restart();
      rf.push('motion', 420, 300);
      const start = performance.now();
      if (rf.step(600) !== 600) throw new Error('the run ended early');
      times.push(((performance.now() - start) * 1000) / 600);
    }
    return times.slice(1);  // the first run warms the compiled code up
  });
  const sorted = [...runs].sort((a, b) => a - b);
  console.log(`${engine} frame, 600 frames a run: ${runs.map((t) => t.toFixed(0)).join(', ')} us ` +
              `(best ${sorted[0].toFixed(0)} us, median ${((sorted[4] + sorted[5]) / 2).toFixed(0)} us)`);
} finally {
  await close();
}
