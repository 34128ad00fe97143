// Starts Debian's Chromium or Firefox headless for the page's tests and
// timings, both driven by puppeteer-core (Chromium over CDP, Firefox over
// WebDriver BiDi), which downloads no browser of its own. Each run gets a
// fresh profile and HOME in a scratch folder. When the driver or the browser
// is missing, `launch` says which with one line and exits with status 77,
// which CTest reports as a skipped test.
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';

export const engines = {
  chromium: { browser: 'chrome', path: process.env.CHROMIUM || '/usr/bin/chromium' },
  firefox: { browser: 'firefox', path: process.env.FIREFOX || '/usr/bin/firefox-esr' },
};

function skip(why) {
  console.log(`SKIPPED: ${why}`);
  process.exit(77);
}

// Returns { browser, scratch, close } for the engine named, or exits with
// 77. `firefoxPrefs` sets Firefox preferences, where Chromium's settings come
// through its protocol instead.
export async function launch(engine, name, firefoxPrefs = {}) {
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
  const browser = await puppeteer.launch({
    browser: chosen.browser,
    executablePath: chosen.path,
    headless: true,
    userDataDir: path.join(scratch, 'profile'),
    args,
    extraPrefsFirefox: firefoxPrefs,
    env: { ...process.env, HOME: scratch, TMPDIR: scratch },
  });
  return {
    browser,
    scratch,
    close: async () => {
      await browser.close();
      fs.rmSync(scratch, { recursive: true, force: true });
    },
  };
}
