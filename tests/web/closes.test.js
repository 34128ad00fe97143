// The page tests end, whatever happens in them: a test that fails, one that
// never finishes and a run stopped by a signal each end the run promptly with
// a failing status, with no browser process and no scratch folder left.
// Each case runs the reduced-motion test (where Firefox starts a second
// browser) with a fault planted through RINGFIELD_WEB_FAULT, a seam of the
// tests' own, in a temporary folder of its own: what is left is what is in
// that folder, and any process that has it in its environment.
//   node tests/web/closes.test.js [path/to/ringfield-capture] [chromium|firefox]
import { test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';
import { engines, processesWith } from './browser.js';

const here = path.dirname(fileURLToPath(import.meta.url));
const capture = process.argv[2] || path.resolve(here, '../../build/ringfield-capture');
const engine = process.argv[3] || 'chromium';
const deadline = 90000;  // ms a run may take; the runs here take a few seconds

// The runs would skip; so does this.
try {
  await import('puppeteer-core');
} catch {
  console.log('SKIPPED: puppeteer-core is not installed; run npm ci in tests/web (bash scripts/setup.sh does)');
  process.exit(77);
}
if (!fs.existsSync(engines[engine]?.path ?? '')) {
  console.log(`SKIPPED: ${engine} is not installed at ${engines[engine]?.path}`);
  process.exit(77);
}

// Polls until `check` returns true or `ms` have passed; returns the last result.
async function until(check, ms) {
  const end = Date.now() + ms;
  for (;;) {
    const result = check();
    if (result || Date.now() > end) return result;
    await new Promise((resolve) => setTimeout(resolve, 100));
  }
}

// Runs the reduced-motion test with `env` added; `onOutput` sees the output
// as it comes and may act on the child, as `onStart` may from the start.
// Resolves with its status, signal, output and time, or with `timedOut` when
// it overran the deadline (it is then killed).
function run(env, onOutput = () => {}, onStart = () => {}) {
  const args = ['--test-name-pattern=reduced motion', path.join(here, 'motion.test.js'), capture, engine];
  const child = spawn(process.execPath, args, { env: { ...process.env, ...env }, stdio: ['ignore', 'pipe', 'pipe'] });
  onStart(child);
  const began = Date.now();
  let output = '';
  return new Promise((resolve) => {
    const timer = setTimeout(() => {
      child.kill('SIGKILL');
      resolve({ timedOut: true, output });
    }, deadline);
    const take = (chunk) => {
      output += chunk;
      onOutput(output, child);
    };
    child.stdout.on('data', take);
    child.stderr.on('data', take);
    child.on('close', (status, signal) => {
      clearTimeout(timer);
      resolve({ status, signal, output, seconds: (Date.now() - began) / 1000 });
    });
  });
}

// Each case: what is planted, what the child is told, and how the run must end.
const cases = [
  { name: 'a failing test', env: { RINGFIELD_WEB_FAULT: 'fail' }, status: 1,
    says: /not ok \d+ - under reduced motion[^]*a failure planted by RINGFIELD_WEB_FAULT/ },
  { name: 'a test that never finishes', env: { RINGFIELD_WEB_FAULT: 'hang', RINGFIELD_WEB_TEST_TIMEOUT: '5000' },
    status: 1, says: /not ok \d+ - under reduced motion[^]*timed out after 5000ms/ },
  { name: 'a run stopped by SIGTERM', env: { RINGFIELD_WEB_FAULT: 'hang' }, signal: 'SIGTERM', status: 143 },
  { name: 'a run stopped by SIGINT', env: { RINGFIELD_WEB_FAULT: 'hang' }, signal: 'SIGINT', status: 130 },
  // Signalled once the browser's first process is there, seconds before it can answer.
  { name: 'a run stopped while its browser starts', env: { RINGFIELD_WEB_FAULT: 'slow-start' }, signal: 'SIGTERM',
    status: 143, starting: true },
];

for (const { name, env, status, says, signal, starting } of cases) {
  test(`${name} ends the run with status ${status}, leaving no browser and no folder`, async () => {
    const folder = fs.mkdtempSync(path.join(os.tmpdir(), 'ringfield-closes-'));
    let poll;
    try {
      let sent = false;
      const send = (child) => {
        sent = true;
        child.kill(signal);
      };
      const result = await run({ ...env, TMPDIR: folder }, (output, child) => {
        // Signalled once the test stands at its fault with its browsers open.
        if (signal && !starting && !sent && output.includes('hanging here')) send(child);
      }, (child) => {
        if (!starting) return;
        poll = setInterval(() => {
          if (!sent && processesWith(folder).some((pid) => pid !== child.pid)) send(child);
        }, 20);
      });
      assert.ok(!result.timedOut, `the run did not end within ${deadline / 1000} s:\n${result.output}`);
      assert.equal(result.status, status, result.output);
      if (says) assert.match(result.output, says);
      if (signal) assert.ok(sent, `the run never reached its fault:\n${result.output}`);
      const left = await until(() => processesWith(folder).length === 0, 10000);
      assert.ok(left, `processes left running: ${processesWith(folder).join(' ')}`);
      assert.deepEqual(fs.readdirSync(folder), []);
    } finally {
      clearInterval(poll);
      for (const pid of processesWith(folder)) {
        try {
          process.kill(pid, 'SIGKILL');
        } catch {
          // Gone meanwhile.
        }
      }
      fs.rmSync(folder, { recursive: true, force: true, maxRetries: 10, retryDelay: 50 });
    }
  });
}
