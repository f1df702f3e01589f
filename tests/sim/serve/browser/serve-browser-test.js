'use strict';
// Opens `orvane-sim serve` in headless Chromium and uses the device as a
// person would: volume up with the switch on must start a sound in the page;
// the ring/silent switch, the Volume Sounds switch and a theme pick must show;
// the idle page must hold still (no rebuild, no request, focus kept); every
// page scrolls to its last row, which a click then reaches; the keys work, the
// speaker log says what played, and the page fits a phone-sized window.
// Reports the time from a press in the browser to the sound starting in it.
//   node serve-browser-test.js ORVANE_SIM
// With ORVANE_BROWSER_SHOTS=DIR it leaves screenshots of the page there.
// Exit status 77 (skipped) when Chromium or playwright-core is missing.

const { spawn, spawnSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const simulator = process.argv[2];
const chromium = process.env.ORVANE_CHROMIUM || '/usr/bin/chromium';
const skipped = 77;

function skip(reason) {
  console.log('SKIPPED: ' + reason);
  process.exit(skipped);
}

if (!fs.existsSync(chromium)) skip(chromium + ' is missing (Debian package chromium; scripts/install-dependencies installs it)');
let playwright;
try {
  playwright = require('playwright-core');
} catch (error) {
  skip('playwright-core is missing (scripts/install-dependencies installs it into ' + __dirname + '/node_modules)');
}

const scratch = fs.mkdtempSync(path.join(os.tmpdir(), 'orvane-browser-'));
const device = path.join(scratch, 'device');
let server = null;
let browser = null;

function sim(...words) {
  const done = spawnSync(simulator, ['--device', device, ...words], { encoding: 'utf8', timeout: 60000 });
  if (done.status !== 0) throw new Error('orvane-sim ' + words.join(' ') + ' failed: ' + done.stderr);
  return done.stdout;
}

function startServer() {
  return new Promise((resolve, reject) => {
    server = spawn(simulator, ['--device', device, 'serve', '--port', '0'], { stdio: ['ignore', 'pipe', 'inherit'] });
    let printed = '';
    const timer = setTimeout(() => reject(new Error('serve printed no URL: ' + printed)), 20000);
    server.stdout.on('data', (chunk) => {
      printed += chunk;
      const found = printed.match(/http:\/\/127\.0\.0\.1:\d+\/\?token=[0-9a-f]+/);
      if (found) {
        clearTimeout(timer);
        resolve(found[0]);
      }
    });
    server.on('exit', (code) => reject(new Error('serve ended with ' + code + ': ' + printed)));
  });
}

function median(values) {
  const sorted = [...values].sort((a, b) => a - b);
  return sorted[Math.floor(sorted.length / 2)];
}

const check = (condition, message) => {
  if (!condition) throw new Error(message);
};

async function main() {
  const started = Date.now();
  sim('init');
  sim('defaults', 'write', 'isEnabled', '-bool', 'true');
  // Themes enough for their list to run past the screen: the last is only reached by scrolling.
  const sounds = path.join(device, 'Library', 'Application Support', 'Orvane');
  for (let i = 1; i <= 16; ++i) fs.copyFileSync(path.join(sounds, 'Tick.wav'), path.join(sounds, `Zz Extra ${String(i).padStart(2, '0')}.wav`));
  const url = await startServer();
  // A fresh profile of its own; Chromium never fetches anything for itself.
  browser = await playwright.chromium.launchPersistentContext(path.join(scratch, 'profile'), {
    executablePath: chromium,
    headless: true,
    hasTouch: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync',
      // Two tabs, one shown: the hidden one must not be slowed down.
      '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
      '--disable-backgrounding-occluded-windows'],
  });
  const page = await browser.newPage();
  await page.setViewportSize({ width: 1100, height: 900 });
  const problems = [];
  page.on('pageerror', (error) => problems.push(String(error)));
  page.on('console', (message) => { if (message.type() === 'error') problems.push(message.text()); });
  await page.goto(url);
  await page.waitForFunction(() => window.orvane && window.orvane.connected && window.orvane.screen);
  const played = () => page.evaluate(() => window.orvane.played.length);
  // The screen as drawn (or as listed, where it is not drawn), to tell whether it changed.
  const picture = (tab) => tab.evaluate(() => {
    const image = document.querySelector('#screen img');
    if (!image) return document.querySelector('#screen').innerHTML;
    const canvas = document.createElement('canvas');
    canvas.width = image.naturalWidth;
    canvas.height = image.naturalHeight;
    const context = canvas.getContext('2d');
    context.drawImage(image, 0, 0);
    const bytes = context.getImageData(0, 0, canvas.width, canvas.height).data;
    let hash = 0;
    for (const byte of bytes) hash = (hash * 31 + byte) >>> 0;
    return bytes.length + ':' + hash;
  });

  // Volume up with the switch on: a sound starts in the page.
  check(await page.getAttribute('[aria-label="Volume Sounds"] [role=switch]', 'aria-checked') === 'true',
    'the Volume Sounds switch is not shown on');
  await page.click('#volume-up');
  await page.waitForFunction(() => window.orvane.played.length === 1, null, { timeout: 5000 });
  const first = await page.evaluate(() => window.orvane.played[0]);
  check(first.file.endsWith('.wav'), 'the sound started is not a theme: ' + first.file);

  // A second tab follows the same device: a press from the command line sounds in both.
  const other = await browser.newPage();
  other.on('pageerror', (error) => problems.push(String(error)));
  await other.goto(url);
  await other.waitForFunction(() => window.orvane && window.orvane.connected && window.orvane.screen);
  await other.click('h1');  // a person's click lets the page play sounds
  const otherPlayed = () => other.evaluate(() => window.orvane.played.length);
  await page.bringToFront();
  sim('press', 'up');
  await page.waitForFunction(() => window.orvane.played.length === 2, null, { timeout: 5000 });
  await other.waitForFunction(() => window.orvane.played.length === 1, null, { timeout: 5000 });

  // Press to sound, warm: the bytes are fetched and decoded once.
  const latencies = [];
  const answers = [];
  for (let i = 0; i < 8; ++i) {
    const before = await played();
    await page.click(i % 2 ? '#volume-down' : '#volume-up');
    await page.waitForFunction((count) => window.orvane.played.length > count, before, { timeout: 5000 });
    await page.waitForFunction(() => window.orvane.presses[window.orvane.presses.length - 1].answered);
    const [sound, answer] = await page.evaluate(() => {
      const o = window.orvane;
      const last = o.presses[o.presses.length - 1];
      return [o.played[o.played.length - 1].at - last.at, last.answered - last.at];
    });
    latencies.push(sound);
    answers.push(answer);
  }
  const cold = await page.evaluate(() => window.orvane.played[0].at - window.orvane.presses[0].at);

  // The ring/silent switch: silent means nothing plays in the page either.
  await page.click('#ringer');
  await page.waitForFunction(() => window.orvane.state.ringer === 'silent');
  const beforeSilent = await played();
  await page.click('#volume-up');
  await page.waitForTimeout(400);
  check(await played() === beforeSilent, 'a sound started in silent mode');
  await page.click('#ringer');
  await page.waitForFunction(() => window.orvane.state.ringer === 'ring');

  // The Volume Sounds switch flips on a click, and the screen shows it, in both tabs.
  const switchShows = (on) =>
    document.querySelector('[aria-label="Volume Sounds"] [role=switch]')?.getAttribute('aria-checked') === String(on);
  const before = await picture(page);
  await page.click('[aria-label="Volume Sounds"]');
  await page.waitForFunction(switchShows, false);
  check(/false|0/.test(sim('defaults', 'read', 'isEnabled')), 'the switch was not stored');
  check(await picture(page) !== before, 'the screen did not change when the switch flipped');
  await other.waitForFunction(switchShows, false);
  await page.click('[aria-label="Volume Sounds"]');
  await page.waitForFunction(switchShows, true);

  // A theme picked in its list: the screen shows the check, and a press then plays it.
  await page.click('[aria-label="Sound Themes"]');
  await page.click('[aria-label="Volume Up Sound"]');
  await page.waitForSelector('[data-kind=choice]');
  const choices = await page.$$eval('[data-kind=choice]',
    (rows) => rows.map((row) => [row.getAttribute('aria-label'), row.getAttribute('aria-checked')]));
  const pick = choices.find(([, checked]) => checked !== 'true')[0];
  const list = await picture(page);
  await page.click(`[data-kind=choice][aria-label="${pick}"]`);
  await page.waitForFunction((name) =>
    document.querySelector(`[data-kind=choice][aria-label="${name}"]`)?.getAttribute('aria-checked') === 'true', pick);
  check(await picture(page) !== list, 'the screen did not change when the theme was picked');
  // SpringBoard hears of the pick through the notification: the press after it has come plays the theme.
  let heard = '';
  for (let attempt = 0; attempt < 10 && !heard.endsWith('/' + pick + '.wav'); ++attempt) {
    const count = await played();
    await page.click('#volume-up');
    await page.waitForFunction((n) => window.orvane.played.slice(n).some((sound) => sound.process === 'SpringBoard'),
      count, { timeout: 5000 });
    heard = await page.evaluate((n) => window.orvane.played.slice(n).find((sound) => sound.process === 'SpringBoard').file, count);
  }
  check(heard.endsWith('/' + pick + '.wav'), 'the press played ' + heard + ', not the theme picked, ' + pick);
  for (const title of ['Sound Themes', 'Orvane']) {
    const layout = await page.evaluate(() => window.orvane.screen.layout);
    await page.click('[aria-label="Back"]');
    await page.waitForFunction((l) => window.orvane.screen.layout > l, layout);
    check(!(await page.$('[data-kind=choice]')), 'Back did not leave the list (' + title + ')');
  }
  await page.waitForSelector('[aria-label="Volume Sounds"]');

  const idle = await idleChecks(page);
  await scrollChecks(page);
  await keyChecks(page);
  await logChecks(page, other);
  await narrowChecks(page);

  check(await otherPlayed() >= 9, 'the second tab did not play every sound');
  check(problems.length === 0, 'the page reported errors: ' + problems.join('; '));
  console.log(`press in the browser to sound started in the page: cold ${cold.toFixed(1)} ms (fetch and decode), ` +
    `warm median ${median(latencies).toFixed(1)} ms, min ${Math.min(...latencies).toFixed(1)} ms, max ` +
    `${Math.max(...latencies).toFixed(1)} ms over ${latencies.length} presses; the press's own answer (SpringBoard ` +
    `handled it) median ${median(answers).toFixed(1)} ms, so the sound starts ` +
    `${(median(latencies) / median(answers)).toFixed(2)}x that after the click`);
  console.log(`idle for ${idle.seconds} s: ${idle.rebuilds} rebuilds, ${idle.redraws} pictures, ${idle.requests} requests`);
  console.log(`browser test took ${((Date.now() - started) / 1000).toFixed(1)} s`);
}

const shots = process.env.ORVANE_BROWSER_SHOTS;
async function shoot(page, name) {
  if (shots) await page.screenshot({ path: path.join(shots, name + '.png'), fullPage: true });
}

const shown = (page) => page.evaluate(() => ({
  version: window.orvane.screen.version, layout: window.orvane.screen.layout,
  rebuilds: window.orvane.rebuilds, redraws: window.orvane.redraws,
}));
// Waits until the screen has come to rest (no new version for a while).
async function settled(page) {
  let last = await shown(page);
  for (let i = 0; i < 40; ++i) {
    await page.waitForTimeout(300);
    const now = await shown(page);
    if (now.version === last.version) return now;
    last = now;
  }
  throw new Error('the screen never came to rest');
}
async function openPage(page, labels) {
  for (const label of labels) {
    const { layout } = await shown(page);
    await page.click(`[aria-label="${label}"]`);
    await page.waitForFunction((l) => window.orvane.screen.layout > l, layout);
  }
  await settled(page);
}
const focusedKey = (page) => page.evaluate(() => document.activeElement && document.activeElement.dataset.key);

// The idle page holds still: nothing is built again, nothing fetched, and the focus stays where it is.
async function idleChecks(page) {
  await settled(page);
  const requests = [];
  const count = (request) => requests.push(request.url());
  page.on('request', count);
  await page.focus('#screen');
  await page.keyboard.press('Tab');
  const focused = await focusedKey(page);
  check(focused && focused.startsWith('row:'), 'Tab from the screen reached no row: ' + focused);
  const before = await shown(page);
  const seconds = 4;
  await page.waitForTimeout(seconds * 1000);
  const after = await shown(page);
  page.off('request', count);
  const idle = { seconds, rebuilds: after.rebuilds - before.rebuilds, redraws: after.redraws - before.redraws,
    requests: requests.length };
  check(idle.rebuilds === 0 && idle.redraws === 0 && after.version === before.version,
    `the idle screen changed: ${JSON.stringify(idle)}, version ${before.version} to ${after.version}`);
  check(requests.length === 0, 'the idle page made requests: ' + requests.join(' '));
  check(await focusedKey(page) === focused, 'the focus moved off ' + focused + ' while idle');

  // A change made beside the page builds the places anew; the focused one keeps the focus.
  sim('defaults', 'write', 'isEnabled', '-bool', 'false');
  await page.waitForFunction((r) => window.orvane.rebuilds > r, after.rebuilds);
  check(await focusedKey(page) === focused, 'the focus was lost when the screen changed: ' + await focusedKey(page));
  sim('defaults', 'write', 'isEnabled', '-bool', 'true');
  await page.waitForFunction(() => document.querySelector('[aria-label="Volume Sounds"] [role=switch]')
    ?.getAttribute('aria-checked') === 'true');

  // Places only where a tap does something: the root page's drawn "< Settings" is none.
  check(!(await page.$('[aria-label="Back"]')), 'the root page offers a Back that leads out of Orvane');
  // Tab goes through the places in reading order.
  await page.focus('#volume-down');
  const order = [];
  for (let i = 0; i < 12; ++i) {
    await page.keyboard.press('Tab');
    const place = await page.evaluate(() => {
      const active = document.activeElement;
      if (!document.querySelector('#screen-frame').contains(active)) return null;
      if (!active.dataset.key) return [];  // the screen itself, which scrolls
      const frame = document.querySelector('#screen-frame').getBoundingClientRect().top;
      const scrolled = document.querySelector('#screen').contains(active) ? document.querySelector('#screen').scrollTop : 0;
      return [active.dataset.key, active.getBoundingClientRect().top - frame + scrolled];
    });
    if (!place) break;
    if (place.length) order.push(place);
  }
  const places = await page.$$eval('#screen-frame .hit', (hits) => hits.length);
  check(order.length === places, `Tab reached ${order.length} of ${places} places`);
  check(order.every((place, i) => i === 0 || place[1] >= order[i - 1][1]), 'Tab is not in reading order: ' + JSON.stringify(order));
  return idle;
}

// Every page scrolls, by wheel, keys, a drag and a touch, and its last row is reached and clicked.
async function scrollChecks(page) {
  const scroll = () => page.$eval('#screen', (screen) => ({ top: screen.scrollTop, most: screen.scrollHeight - screen.clientHeight }));
  // The root page: its footer lies below the screen.
  await page.$eval('#screen', (screen) => { screen.scrollTop = 0; });
  let place = await scroll();
  check(place.most > 0, 'the root page does not scroll: its footer cannot be seen');
  const frame = await page.$eval('#screen-frame', (element) => { const r = element.getBoundingClientRect(); return { x: r.x, y: r.y, width: r.width, height: r.height }; });
  await page.mouse.move(frame.x + frame.width / 2, frame.y + 300);
  await page.mouse.wheel(0, 2000);
  await page.waitForFunction(() => { const s = document.querySelector('#screen'); return s.scrollTop >= s.scrollHeight - s.clientHeight - 1; });
  // Contact Support, below the first screen, opens the mail; Escape cancels it, and the page is where it was.
  await page.click('[aria-label="Contact Support"]');
  await page.waitForSelector('[data-key="mail-cancel"]');
  await page.keyboard.press('Escape');
  await page.waitForSelector('[aria-label="Volume Sounds"]');
  await settled(page);
  place = await scroll();
  check(place.top >= place.most - 1, 'the root page did not come back scrolled where it was: ' + JSON.stringify(place));

  // The list of 23 themes: its last row only comes into view scrolled.
  await openPage(page, ['Sound Themes', 'Volume Down Sound']);
  place = await scroll();
  check(place.top === 0, 'a new page did not open at its top');
  check(place.most > 400, 'the theme list does not scroll far: ' + place.most);
  const last = await page.$$eval('[data-kind=choice]', (rows) => rows[rows.length - 1].getAttribute('aria-label'));
  check(last === 'Zz Extra 16', 'the last theme is ' + last);
  const lastRow = `[data-kind=choice][aria-label="${last}"]`;
  const inView = () => page.$eval(lastRow, (row) => {
    const frame = document.querySelector('#screen-frame').getBoundingClientRect();
    const box = row.getBoundingClientRect();
    return box.top >= frame.top + 64 && box.bottom <= frame.bottom;
  });
  check(!(await inView()), 'the last theme is in view before scrolling');

  // A touch drag, as on a phone.
  const session = await page.context().newCDPSession(page);
  const touch = (type, y) => session.send('Input.dispatchTouchEvent',
    { type, touchPoints: type === 'touchEnd' ? [] : [{ x: frame.x + 160, y: frame.y + y }] });
  await touch('touchStart', 450);
  for (let y = 440; y >= 250; y -= 10) await touch('touchMove', y);
  await touch('touchEnd');
  await page.waitForFunction(() => document.querySelector('#screen').scrollTop >= 120, null, { timeout: 5000 });
  // A drag with the mouse, back up, once the touch's fling has ended; no row is tapped by it.
  let top = -1;
  for (let i = 0; i < 50 && top !== (await scroll()).top; ++i) {
    top = (await scroll()).top;
    await page.waitForTimeout(100);
  }
  const layout = (await shown(page)).layout;
  await page.mouse.move(frame.x + 160, frame.y + 200);
  await page.mouse.down();
  await page.mouse.move(frame.x + 160, frame.y + 260, { steps: 5 });
  await page.mouse.move(frame.x + 160, frame.y + 300, { steps: 5 });
  await page.mouse.up();
  check((await scroll()).top <= top - 90, 'a mouse drag did not scroll the page');
  await page.waitForTimeout(300);
  check((await shown(page)).layout === layout, 'the drag was taken for a tap');

  // Keys, with the screen focused: End, Page Up, Page Down, arrows.
  await page.focus('#screen');
  await page.keyboard.press('End');
  place = await scroll();
  check(place.top >= place.most - 1, 'End did not scroll to the bottom');
  await page.keyboard.press('PageUp');
  const up = (await scroll()).top;
  check(up < place.top - 200, 'Page Up did not scroll a page: ' + up);
  await page.keyboard.press('ArrowDown');
  check((await scroll()).top > up, 'the down arrow did not scroll the focused screen');
  await page.keyboard.press('PageDown');
  await page.keyboard.press('PageDown');
  check(await inView(), 'the last theme is not in view at the bottom');

  // The last row, clicked where it shows: it is the one picked.
  const box = await page.$eval(lastRow, (row) => { const r = row.getBoundingClientRect(); return { x: r.x + r.width / 2, y: r.y + r.height / 2 }; });
  const before = (await shown(page)).layout;
  await page.mouse.click(box.x, box.y);
  await page.waitForFunction((name) =>
    document.querySelector(`[data-kind=choice][aria-label="${name}"]`)?.getAttribute('aria-checked') === 'true', last);
  check(/Zz Extra 16/.test(sim('defaults', 'read', 'selectedDecreaseSound')), 'the last theme was not stored');
  check((await shown(page)).layout > before, 'the pick did not show');
  check((await scroll()).top >= (await scroll()).most - 1, 'the list jumped from where it was scrolled when the pick showed');
  await shoot(page, 'themes-scrolled');
}

// Keys: volume from the keyboard, Escape for back, Enter and Space on a focused place.
async function keyChecks(page) {
  const volume = () => page.evaluate(() => window.orvane.state.volume);
  const presses = () => page.evaluate(() => window.orvane.presses.map((made) => made.button).join(','));

  await page.keyboard.press('Escape');
  await page.waitForSelector('[aria-label="Volume Down Sound"]');
  await settled(page);
  await page.keyboard.press('Escape');
  await page.waitForSelector('[aria-label="Volume Sounds"]');
  await settled(page);
  await page.keyboard.press('Escape');  // nothing behind the root page: nothing happens, nothing is refused
  check(!(await page.$eval('#message', (message) => message.classList.contains('error'))), 'Escape on the root page was refused');

  const pressed = (await presses()).split(',').length;
  await page.evaluate(() => document.activeElement && document.activeElement.blur());
  const start = await volume();
  await page.keyboard.press('+');
  await page.waitForFunction((v) => window.orvane.state.volume === Math.min(v + 1, 16), start);
  await page.keyboard.press('-');
  await page.keyboard.press('ArrowUp');
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('AudioVolumeUp');
  await page.keyboard.press('AudioVolumeDown');
  await page.waitForFunction((n) => window.orvane.presses.length === n + 7 && window.orvane.presses.every((made) => made.answered), pressed);
  check((await presses()).split(',').slice(-7).join(',') === 'up,down,up,down,down,up,down', 'the keys pressed ' + await presses());
  check(await volume() === Math.max(start - 1, 0), 'the volume after the keys is ' + await volume());

  // Enter on a focused link opens it; Space on a focused switch flips it.
  await page.focus('[aria-label="Sound Themes"]');
  let layout = (await shown(page)).layout;
  await page.keyboard.press('Enter');
  await page.waitForSelector('[aria-label="Volume Up Sound"]');
  await page.waitForFunction((l) => window.orvane.screen.layout > l, layout);
  await settled(page);
  check(await page.evaluate(() => document.querySelector('#screen-frame').contains(document.activeElement)),
    'the focus left the screen when a page opened');
  await page.keyboard.press('Escape');
  await page.waitForSelector('[aria-label="Volume Sounds"]');
  await settled(page);
  layout = (await shown(page)).layout;
  await page.focus('[aria-label="Volume Sounds"]');
  await page.keyboard.press(' ');
  await page.waitForFunction(() => document.querySelector('[aria-label="Volume Sounds"] [role=switch]')?.getAttribute('aria-checked') === 'false');
  check(await focusedKey(page) === 'row:0:0', 'the switch lost the focus when it flipped');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.querySelector('[aria-label="Volume Sounds"] [role=switch]')?.getAttribute('aria-checked') === 'true');
  await settled(page);
}

// The speaker log: time, process, button and theme, one line each, and a button that empties it.
async function logChecks(page, other) {
  const lines = (tab) => tab.$$eval('#log tr', (rows) => rows.map((row) => [...row.cells].map((cell) => cell.textContent)));
  const count = (await lines(page)).length;
  sim('press', 'down');
  await page.waitForFunction((n) => document.querySelectorAll('#log tr').length > n, count);
  const [time, process, button, theme] = (await lines(page))[0];
  check(/^\d\d:\d\d:\d\d$/.test(time), 'the log line\'s time is ' + time);
  check(process === 'SpringBoard' && button === 'down', `the log line says ${process}, ${button}`);
  check(theme === sim('defaults', 'read', 'selectedDecreaseSound').trim(), 'the log line\'s theme is ' + theme);
  check((await lines(page)).some(([, who, what]) => who === 'SpringBoard' && what === 'up'), 'no press up is logged as up');
  check((await lines(page)).some(([, who, what, name]) => who === 'Preferences' && what === 'picked in Settings' && name === 'Zz Extra 16'),
    'the theme picked in Settings is not logged as picked there');
  await page.click('#clear-log');
  await page.waitForFunction(() => document.querySelectorAll('#log tr').length === 0);
  await other.waitForFunction(() => document.querySelectorAll('#log tr').length === 0);
  check(sim('log').trim() === '', 'the device\'s log was not emptied: ' + sim('log'));
  await page.click('#volume-up');
  await page.waitForFunction(() => document.querySelectorAll('#log tr').length === 1);
}

// A phone-sized window: nothing runs off its side, and the screen still works.
async function narrowChecks(page) {
  await page.setViewportSize({ width: 375, height: 667 });
  const fits = await page.evaluate(() => {
    const right = (selector) => document.querySelector(selector).getBoundingClientRect().right;
    return { page: document.documentElement.scrollWidth, screen: right('#screen-frame'), up: right('#volume-up') };
  });
  check(fits.page <= 375 && fits.screen <= 375 && fits.up <= 375, 'the page runs off a 375 px window: ' + JSON.stringify(fits));
  await page.click('#volume-up');
  const layout = (await shown(page)).layout;
  await page.click('[aria-label="Sound Themes"]');
  await page.waitForFunction((l) => window.orvane.screen.layout > l, layout);
  await settled(page);
  await shoot(page, 'narrow-375');
  await page.click('[aria-label="Back"]');
  await page.waitForSelector('[aria-label="Volume Sounds"]');
  await page.setViewportSize({ width: 1100, height: 900 });
  await settled(page);
}

async function cleanUp() {
  if (browser) await browser.close().catch(() => {});
  if (server && server.exitCode === null) {
    const ended = new Promise((resolve) => server.once('exit', resolve));
    server.kill('SIGTERM');
    await ended;
  }
  fs.rmSync(scratch, { recursive: true, force: true });
}

main().then(
  async () => {
    await cleanUp();
    console.log('1 passed, 0 failed');
  },
  async (error) => {
    console.error('FAILED: ' + (error && error.stack ? error.stack : error));
    await cleanUp();
    console.log('0 passed, 1 failed');
    process.exit(1);
  },
);
