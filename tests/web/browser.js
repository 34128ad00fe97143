// Starts Debian's Chromium or Firefox headless for the page's tests and
// timings, both driven by puppeteer-core (Chromium over CDP, Firefox over
// WebDriver BiDi), which downloads no browser of its own. Each run gets a
// fresh profile and HOME in a scratch folder. When the driver or the browser
// is missing, `launch` says which with one line and exits with status 77,
// which CTest reports as a skipped test.
//
// Every browser started here is closed, and its scratch folder removed,
// whichever way node ends: `close`, `closeAll`, a signal, or node exiting
// with browsers still open (an error, a failed test that skipped its own
// close), a browser still starting among them. A browser that does not close
// in time is killed with its whole process group: a browser left running
// keeps node alive, so that a failed test would otherwise show as a hang.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { fileURLToPath } from 'node:url';

const here = path.dirname(fileURLToPath(import.meta.url));

export const engines = {
  chromium: { browser: 'chrome', path: process.env.CHROMIUM || '/usr/bin/chromium' },
  firefox: { browser: 'firefox', path: process.env.FIREFOX || '/usr/bin/firefox-esr' },
};

const closeTime = 15000;  // ms a browser gets to close before it is killed

function skip(why) {
  console.log(`SKIPPED: ${why}`);
  process.exit(77);
}

// Every browser started and not yet closed: { process, scratch, close }.
const open = new Set();

// The browser's processes, all in the group it leads (puppeteer starts it
// detached), killed at once; and its folder, which its dying processes may
// still be writing to, so removal is retried.
function killNow(entry) {
  const pid = entry.process?.pid;
  if (pid) {
    try {
      process.kill(-pid, 'SIGKILL');
    } catch {
      // Already gone.
    }
  }
  fs.rmSync(entry.scratch, { recursive: true, force: true, maxRetries: 10, retryDelay: 50 });
  open.delete(entry);
}

// The scratch folders of browsers still starting. Until puppeteer hands the
// browser over there is no process to kill by its group, so a browser is
// found by the TMPDIR it was started with.
const launching = new Set();

// The processes whose environment, each variable after a NUL, holds `text`.
export function processesWith(text) {
  const found = [];
  for (const pid of fs.readdirSync('/proc').filter((name) => /^\d+$/.test(name))) {
    try {
      if (`\0${fs.readFileSync(`/proc/${pid}/environ`, 'latin1')}`.includes(text)) found.push(Number(pid));
    } catch {
      // Gone meanwhile, or not ours to read.
    }
  }
  return found;
}

function killStarting(scratch) {
  for (const pid of processesWith(`\0TMPDIR=${scratch}\0`)) {
    try {
      process.kill(pid, 'SIGKILL');
    } catch {
      // Gone meanwhile.
    }
  }
  fs.rmSync(scratch, { recursive: true, force: true, maxRetries: 10, retryDelay: 50 });
  launching.delete(scratch);
}

function killEvery() {
  for (const entry of [...open]) killNow(entry);
  for (const scratch of [...launching]) killStarting(scratch);
}

process.on('exit', killEvery);
for (const [signal, number] of [['SIGINT', 2], ['SIGTERM', 15], ['SIGHUP', 1]]) {
  process.on(signal, () => {
    killEvery();
    process.exit(128 + number);
  });
}

// Resolves once the process has exited, or after `ms` with false.
function exited(child, ms) {
  if (!child || child.exitCode !== null || child.signalCode !== null) return Promise.resolve(true);
  return new Promise((resolve) => {
    const timer = setTimeout(() => resolve(false), ms);
    child.once('exit', () => {
      clearTimeout(timer);
      resolve(true);
    });
  });
}

// Launches not yet finished: closeAll waits for them, so that a browser
// whose start outlasted a timed-out test is closed too.
const starting = new Set();

// Closes every browser open or starting.
export async function closeAll() {
  await Promise.allSettled([...starting]);
  await Promise.all([...open].map((entry) => entry.close()));
}

// Returns { browser, scratch, close } for the engine named, or exits with
// 77. `firefoxPrefs` sets Firefox preferences, where Chromium's settings come
// through its protocol instead. `close` may be called more than once.
export function launch(engine, name, firefoxPrefs = {}) {
  const started = start(engine, name, firefoxPrefs);
  starting.add(started);
  return started.finally(() => starting.delete(started));
}

async function start(engine, name, firefoxPrefs) {
  const chosen = engines[engine];
  if (!chosen) throw new Error(`unknown engine ${engine}; chromium or firefox`);
  let puppeteer;
  try {
    ({ default: puppeteer } = await import('puppeteer-core'));
  } catch {
    skip('puppeteer-core is not installed; run npm ci in tests/web (bash scripts/setup.sh does)');
  }
  if (!fs.existsSync(chosen.path)) skip(`${engine} is not installed at ${chosen.path}`);
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), `ringfield-${name}-`));
  const args = engine === 'chromium'
    ? ['--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
       '--disable-component-update', '--disable-sync', '--hide-scrollbars']
    : [];
  if (engine === 'chromium' && process.getuid && process.getuid() === 0) args.push('--no-sandbox');
  // closes.test.js's seam: a browser that takes seconds to start.
  const slow = process.env.RINGFIELD_WEB_FAULT === 'slow-start';
  let browser;
  launching.add(scratch);
  try {
    browser = await puppeteer.launch({
      browser: chosen.browser,
      executablePath: slow ? path.join(here, 'slow-start.sh') : chosen.path,
      headless: true,
      userDataDir: path.join(scratch, 'profile'),
      args,
      extraPrefsFirefox: firefoxPrefs,
      env: { ...process.env, HOME: scratch, TMPDIR: scratch, ...(slow ? { RINGFIELD_BROWSER: chosen.path } : {}) },
      // The signals are handled above, for every browser at once.
      handleSIGINT: false,
      handleSIGTERM: false,
      handleSIGHUP: false,
      // A browser that stops answering fails the call rather than holding it
      // for puppeteer's three minutes.
      protocolTimeout: 60000,
    });
  } catch (error) {
    killStarting(scratch);
    throw error;
  }
  launching.delete(scratch);
  const entry = { process: browser.process(), scratch };
  let closing = null;
  entry.close = () => {
    closing ||= (async () => {
      let closed = false;
      try {
        closed = await Promise.race([browser.close().then(() => true),
                                     new Promise((resolve) => setTimeout(resolve, closeTime, false).unref())]);
      } catch {
        // Killed below.
      }
      if (!closed) {
        console.log(`# ${engine} did not close within ${closeTime / 1000} s; killed`);
        if (browser.connected) browser.disconnect().catch(() => {});
      }
      killNow(entry);
      await exited(entry.process, closeTime);
    })();
    return closing;
  };
  open.add(entry);
  return { browser, scratch, close: entry.close };
}
