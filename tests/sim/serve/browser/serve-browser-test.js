'use strict';
// Opens `orvane-sim serve` in headless Chromium and uses the device as a
// person would: volume up with the switch on must start a sound in the page;
// the ring/silent switch, the Volume Sounds switch and a theme pick must show.
// Reports the time from a press in the browser to the sound starting in it.
//   node serve-browser-test.js ORVANE_SIM
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
  const url = await startServer();
  // A fresh profile of its own; Chromium never fetches anything for itself.
  browser = await playwright.chromium.launchPersistentContext(path.join(scratch, 'profile'), {
    executablePath: chromium,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync',
      // Two tabs, one shown: the hidden one must not be slowed down.
      '--disable-background-timer-throttling', '--disable-renderer-backgrounding',
      '--disable-backgrounding-occluded-windows'],
  });
  const page = await browser.newPage();
  const problems = [];
  page.on('pageerror', (error) => problems.push(String(error)));
  page.on('console', (message) => { if (message.type() === 'error') problems.push(message.text()); });
  await page.goto(url);
  await page.waitForFunction(() => window.orvane && window.orvane.connected && window.orvane.screen);
  const played = () => page.evaluate(() => window.orvane.played.length);
  // The screen as drawn (or as listed, where it is not drawn), to tell whether it changed.
  const picture = (tab) => tab.evaluate(async () => {
    const image = document.querySelector('#screen img');
    if (!image) return document.querySelector('#screen').innerHTML;
    const bytes = new Uint8Array(await (await fetch(image.src)).arrayBuffer());
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

  check(await otherPlayed() >= 9, 'the second tab did not play every sound');
  check(problems.length === 0, 'the page reported errors: ' + problems.join('; '));
  console.log(`press in the browser to sound started in the page: cold ${cold.toFixed(1)} ms (fetch and decode), ` +
    `warm median ${median(latencies).toFixed(1)} ms, min ${Math.min(...latencies).toFixed(1)} ms, max ` +
    `${Math.max(...latencies).toFixed(1)} ms over ${latencies.length} presses; the press's own answer (SpringBoard ` +
    `handled it) median ${median(answers).toFixed(1)} ms, so the sound starts ` +
    `${(median(latencies) / median(answers)).toFixed(2)}x that after the click`);
  console.log(`browser test took ${((Date.now() - started) / 1000).toFixed(1)} s`);
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
