// The browser page as committed (docs/ringfield.html) in Debian's headless
// Chromium or Firefox, every file of its tests in one run and one browser:
// the golden frames, input and keys, pause, motion and touch, and pixels,
// messages and what screen readers are told. Each file also runs alone.
//   node tests/web/page.test.js [path/to/ringfield-capture] [chromium|firefox]
// RINGFIELD_PAGE, CHROMIUM and FIREFOX override the page and the browsers.
// Both engines run every case; only Chromium poses as a phone, so only there
// does the page offer the touch hint.
import './golden.test.js';
import './input.test.js';
import './motion.test.js';
import './pixels.test.js';
