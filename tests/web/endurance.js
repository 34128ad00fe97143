// The page's endurance, run by scripts/endurance.sh (not a test of the
// suite): docs/ringfield.html in Debian's headless Chromium for a while, the
// pointer moved and clicked now and then, and every minute the JS heap after
// a collection (Runtime.getHeapUsage), the WebAssembly memory's size and the
// renderer process's resident memory and CPU time sampled. Each must stay
// within 1 MB of its value after the first minute, the renderer's CPU time
// and the page's frame count must rise every minute, and a key must end the
// demo within 10 s. A stall or a page that does not end has the renderer's
// threads' stacks taken with gdb.
//   node tests/web/endurance.js [SECONDS]
// RINGFIELD_PAGE and CHROMIUM override the page and the browser.
import { execFileSync } from 'node:child_process';
import fs from 'node:fs';
import path from 'node:path';
import { fileURLToPath, pathToFileURL } from 'node:url';
import { closeAll, launch } from './browser.js';

const here = path.dirname(fileURLToPath(import.meta.url));
const pagePath = process.env.RINGFIELD_PAGE || path.resolve(here, '../../docs/ringfield.html');
const seconds = Number(process.argv[2] || 3600);
const limitBytes = 1024 * 1024;
const ticksPerSecond = 100;  // /proc's clock ticks on Linux
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

function procStatus(pid) {
  try {
    const status = fs.readFileSync(`/proc/${pid}/status`, 'utf8');
    const stat = fs.readFileSync(`/proc/${pid}/stat`, 'utf8');
    const fields = stat.slice(stat.lastIndexOf(')') + 2).split(' ');
    return { rssKb: Number(/VmRSS:\s+(\d+)/.exec(status)[1]), cpuTicks: Number(fields[11]) + Number(fields[12]) };
  } catch {
    return null;
  }
}

// Chromium's renderer processes for pages: every process under the
// browser's whose command line says so, less the one that renders the
// browser's own interface (busy too, with a few tabs open).
function renderers(browserPid) {
  const children = new Map();
  for (const entry of fs.readdirSync('/proc')) {
    if (!/^\d+$/.test(entry)) continue;
    try {
      const stat = fs.readFileSync(`/proc/${entry}/stat`, 'utf8');
      const parent = Number(stat.slice(stat.lastIndexOf(')') + 2).split(' ')[1]);
      if (!children.has(parent)) children.set(parent, []);
      children.get(parent).push(Number(entry));
    } catch {
      // Gone meanwhile.
    }
  }
  const found = [];
  const walk = (pid) => {
    for (const child of children.get(pid) || []) {
      try {
        const line = fs.readFileSync(`/proc/${child}/cmdline`, 'utf8');
        if (line.includes('--type=renderer') && !line.includes('--top-chrome-webui')) found.push(child);
      } catch {
        // Gone meanwhile.
      }
      walk(child);
    }
  };
  walk(browserPid);
  return found;
}

function stacks(pid, why) {
  console.log(`---- stacks of renderer ${pid}: ${why}`);
  try {
    console.log(execFileSync('gdb', ['-batch', '-ex', 'thread apply all bt', '-p', String(pid)],
                             { encoding: 'utf8', timeout: 120000, maxBuffer: 1 << 26, stdio: ['ignore', 'pipe', 'pipe'] }));
  } catch (error) {
    console.log(`gdb: ${error.message}`);
  }
  console.log(`---- end of stacks of ${pid}`);
}

const mb = (bytes) => (bytes / 1048576).toFixed(2);

async function main() {
  const { browser, close } = await launch('chromium', 'endurance');
  const page = (await browser.pages())[0] || (await browser.newPage());
  await page.setViewport({ width: 1024, height: 768 });
  // Every WebAssembly memory the page makes or is handed, kept for reading.
  await page.evaluateOnNewDocument(() => {
    const memories = [];
    window.__enduranceMemories = memories;
    const keep = (result) => {
      const instance = result instanceof WebAssembly.Instance ? result : result.instance;
      for (const value of Object.values(instance.exports)) if (value instanceof WebAssembly.Memory) memories.push(value);
      return result;
    };
    const instantiate = WebAssembly.instantiate;
    WebAssembly.instantiate = (...args) => instantiate.apply(WebAssembly, args).then(keep);
    const streaming = WebAssembly.instantiateStreaming;
    if (streaming) WebAssembly.instantiateStreaming = (...args) => streaming.apply(WebAssembly, args).then(keep);
  });
  await page.goto(pathToFileURL(pagePath).href);
  await page.waitForFunction(() => window.ringfield && window.ringfield.state().frames > 10, { timeout: 60000 });
  const cdp = await page.createCDPSession();
  const sample = async () => {
    await cdp.send('HeapProfiler.collectGarbage');
    const heap = await cdp.send('Runtime.getHeapUsage');
    const { wasm, frames, running } = await page.evaluate(() => ({
      wasm: window.__enduranceMemories.reduce((sum, m) => sum + m.buffer.byteLength, 0),
      frames: window.ringfield.state().frames,
      running: window.ringfield.state().running,
    }));
    return { heap: heap.usedSize, wasm, frames, running };
  };

  // The page's renderer: of the pages' renderers, the one whose CPU time
  // drops most when the page's loop is held.
  const browserPid = browser.process().pid;
  const used = async (ms) => {
    const before = new Map(renderers(browserPid).map((pid) => [pid, procStatus(pid)?.cpuTicks ?? 0]));
    await sleep(ms);
    return new Map([...before].map(([pid, ticks]) => [pid, (procStatus(pid)?.cpuTicks ?? 0) - ticks]));
  };
  const running = await used(4000);
  await page.evaluate(() => window.ringfield.pause());
  const held = await used(4000);
  await page.evaluate(() => window.ringfield.resume());
  let renderer = 0;
  let most = -Infinity;
  for (const [pid, ticks] of running) {
    const drop = ticks - (held.get(pid) ?? 0);
    if (drop > most) [renderer, most] = [pid, drop];
  }
  console.log(`page ${pagePath}, ${seconds} s; renderer ${renderer}; CPU ticks in 4 s of renderers running / held: ` +
              [...running].map(([pid, ticks]) => `${pid} ${ticks}/${held.get(pid) ?? 0}`).join(', '));

  const samples = [];
  const start = Date.now();
  let nextSample = start + 60000;
  let nextMove = start;
  let stalled = 0;
  while (Date.now() - start < seconds * 1000) {
    if (Date.now() >= nextMove) {
      const x = Math.floor(Math.random() * 1024);
      const y = Math.floor(Math.random() * 768);
      await page.mouse.move(x, y, { steps: 5 });
      // Clicks only on the canvas: elsewhere they could press Pause or Full screen.
      const onCanvas = await page.evaluate((px, py) => document.elementFromPoint(px, py)?.id === 'screen', x, y);
      if (onCanvas && Math.random() < 0.25) await page.mouse.click(x, y);
      nextMove = Date.now() + 2000 + Math.random() * 8000;
    }
    if (Date.now() >= nextSample) {
      const s = { minute: samples.length + 1, ...(await sample()), ...procStatus(renderer) };
      const last = samples[samples.length - 1];
      if (last && (s.cpuTicks <= last.cpuTicks || s.frames <= last.frames)) {
        stalled += 1;
        stacks(renderer, `minute ${s.minute}: CPU ${last.cpuTicks} -> ${s.cpuTicks} ticks, frames ${last.frames} -> ${s.frames}`);
      }
      samples.push(s);
      console.log(`page minute ${s.minute}: JS heap ${s.heap} B, wasm memory ${s.wasm} B, renderer RSS ${s.rssKb} kB, ` +
                  `CPU ${s.cpuTicks} ticks, frames ${s.frames}${s.running ? '' : ' (not running)'}`);
      nextSample += 60000;
    }
    await sleep(500);
  }

  // The key: the demo must say it ended, with its loop stopped, within 10 s.
  await page.mouse.move(512, 384);
  const pressed = Date.now();
  await page.keyboard.press('a');
  let ended = false;
  while (!ended && Date.now() - pressed < 10000) {
    ended = await page.evaluate(() => window.ringfield.state().ended && !window.ringfield.state().running);
    if (!ended) await sleep(50);
  }
  const took = Date.now() - pressed;
  if (!ended) stacks(renderer, 'the demo had not ended 10 s after a key');
  await close();
  await closeAll();

  const spread = (key, scale) => {
    const values = samples.map((s) => s[key] * scale);
    const first = values[0];
    // The second half alone, to tell a start that settles from a steady climb.
    const half = values.slice(Math.floor(values.length / 2));
    return { first, last: values[values.length - 1], min: Math.min(...values), max: Math.max(...values),
             halfMin: Math.min(...half), halfMax: Math.max(...half),
             within: values.every((v) => Math.abs(v - first) <= limitBytes) };
  };
  if (samples.length === 0) {
    console.log('SUMMARY page: FAILED: no minute sampled');
    return 1;
  }
  const heap = spread('heap', 1);
  const wasm = spread('wasm', 1);
  const rss = spread('rssKb', 1024);
  const figures = (name, r) => `${name} first ${mb(r.first)} MB, last ${mb(r.last)}, min ${mb(r.min)}, max ${mb(r.max)}` +
                               `, second half ${mb(r.halfMin)}..${mb(r.halfMax)}` + (r.within ? '' : ' (OVER the 1 MB limit)');
  const ok = heap.within && wasm.within && rss.within && stalled === 0 && ended;
  const cpu = samples[samples.length - 1].cpuTicks / ticksPerSecond;
  console.log(`SUMMARY page: ${ok ? 'ok' : 'FAILED'}: ${seconds} s, ${samples.length} samples; ${figures('JS heap', heap)}; ` +
              `${figures('wasm memory', wasm)}; ${figures('renderer RSS', rss)}; renderer CPU ${cpu.toFixed(1)} s, ` +
              `${stalled ? `${stalled} stalled minutes` : 'rising every minute'}; ${samples[samples.length - 1].frames} frames; ` +
              `${ended ? `ended ${took} ms after the key` : 'NOT ended 10 s after the key'}`);
  return ok ? 0 : 1;
}

process.exitCode = await main();
