'use strict';
// The device in a browser: follows the server's events, draws the screen,
// sends clicks, and plays every sound the speaker plays.

const token = new URLSearchParams(location.search).get('token') || '';
const withToken = (path) => path + (path.includes('?') ? '&' : '?') + 'token=' + encodeURIComponent(token);
const $ = (id) => document.getElementById(id);

// What the page did, for people and tests alike.
// rebuilds counts the screen's places built anew (a new layout), redraws the pictures swapped in under the same places.
const orvane = (window.orvane = {
  presses: [], played: [], screen: null, state: null, connected: false, rebuilds: 0, redraws: 0,
});

let audio = null;
const decoded = new Map();
let playing = null;
let queue = Promise.resolve();

function audioContext() {
  if (!audio) audio = new AudioContext();
  return audio;
}

// Browsers let a page play only after a person has used it.
document.addEventListener('pointerdown', () => {
  audioContext().resume().then(() => { $('sound-note').hidden = true; });
}, { capture: true });

async function play(record) {
  const context = audioContext();
  if (context.state !== 'running') await context.resume().catch(() => {});
  if (context.state !== 'running') {
    $('sound-note').hidden = false;
    return;
  }
  let buffer = decoded.get(record.url);
  if (!buffer) {
    buffer = fetch(withToken(record.url))
      .then((response) => {
        if (!response.ok) throw new Error('the sound could not be fetched: ' + response.status);
        return response.arrayBuffer();
      })
      .then((bytes) => context.decodeAudioData(bytes));
    decoded.set(record.url, buffer);
    buffer.catch(() => decoded.delete(record.url));
  }
  const samples = await buffer;
  // One sound at a time, as on the device's speaker.
  if (playing) {
    try { playing.stop(); } catch (error) { /* already ended */ }
  }
  const source = context.createBufferSource();
  source.buffer = samples;
  source.connect(context.destination);
  source.onended = () => {
    if (playing === source) {
      playing = null;
      $('now-playing').hidden = true;
    }
  };
  source.start();
  playing = source;
  orvane.played.push({ file: record.file, url: record.url, process: record.process, preview: !!record.preview, at: performance.now() });
  $('now-playing').hidden = false;
}

function say(text, isError) {
  $('message').textContent = text || '';
  $('message').classList.toggle('error', !!isError);
}

async function send(path, body) {
  const response = await fetch(withToken(path), {
    method: 'POST',
    headers: { 'Content-Type': 'application/json' },
    body: JSON.stringify(body),
  });
  let answer = {};
  try { answer = await response.json(); } catch (error) { answer = { message: response.statusText }; }
  answer.status = response.status;
  if (response.ok) say(answer.message, false);
  else say(answer.message || ('failed: ' + response.status), true);
  return answer;
}

function showState(state) {
  if (!state) return;
  orvane.state = state;
  $('springboard').textContent = state.springboard ? 'SpringBoard is running.' : 'SpringBoard is not running.';
  if (typeof state.volume === 'number') {
    $('volume-text').textContent = state.volume + '/' + state.maximumVolume;
    $('volume-fill').style.width = (100 * state.volume / state.maximumVolume) + '%';
  } else {
    $('volume-text').textContent = '–';
  }
  const silent = state.ringer === 'silent';
  $('ringer').textContent = silent ? 'Silent' : 'Ring';
  $('ringer').setAttribute('aria-pressed', String(silent));
  $('ringer-text').textContent = silent ? 'silent' : 'ring';
}

// One line of the speaker log: when, which process, which button, which theme.
function soundFacts(record) {
  const when = typeof record.time === 'string' ? new Date(record.time) : null;
  const time = when && !isNaN(when) ? when.toLocaleTimeString([], { hour12: false }) : '?';
  const button = record.button === 'up' || record.button === 'down' ? record.button
    : record.process === 'Preferences' ? 'picked in Settings' : '–';
  const file = typeof record.file === 'string' ? record.file : '';
  const theme = typeof record.theme === 'string' ? record.theme : file.replace(/^.*\//, '').replace(/\.wav$/i, '') || '?';
  return { time, process: record.process || '?', button, theme, file };
}

function logLine(record) {
  const facts = soundFacts(record);
  const line = document.createElement('tr');
  for (const name of ['time', 'process', 'button', 'theme']) line.appendChild(element('td', name, facts[name]));
  // A pick in this page is heard here only: the device's speaker plays nothing for it.
  line.lastChild.title = record.preview ? 'heard in this page' : facts.file;
  const log = $('log');
  log.insertBefore(line, log.firstChild);
  while (log.children.length > 100) log.removeChild(log.lastChild);
}

function element(tag, className, text) {
  const made = document.createElement(tag);
  if (className) made.className = className;
  if (text !== undefined) made.textContent = text;
  return made;
}

// Where each page was scrolled when another opened over it, to come back there as Back does on the device.
const scrolledTo = new Map();
let goingBack = false;

function tap(target) {
  // Back, and the answer to a sheet, lead to the page under it.
  if (['back', 'mail', 'sheet'].includes(target.target)) goingBack = true;
  const body = Object.assign({ screen: orvane.screen ? orvane.screen.layout : 0 }, target);
  return send('/tap', body).then((answer) => {
    if (answer.status !== 200) goingBack = false;
    // A pick is heard from the page's side: the device's speaker plays nothing for it.
    if (answer.preview && answer.preview.url) {
      play({ url: answer.preview.url, file: answer.preview.theme, preview: true });
      logLine({ time: new Date().toISOString(), process: 'Preferences', theme: answer.preview.theme, preview: true });
    }
    // Refused for another layout: the screen that is shown now is fetched at once.
    if (answer.status === 409 && typeof answer.screen === 'number') want({ version: answer.screen, layout: -1 });
    return answer;
  });
}

function drawSheet(screen, container) {
  const sheet = element('div', 'sheet');
  sheet.setAttribute('role', 'dialog');
  const actions = element('div', 'actions');
  const add = (label, target, answer) => {
    const button = element('button', '', label);
    button.addEventListener('click', () => tap({ target, answer }));
    actions.appendChild(button);
  };
  if (screen.mail) {
    sheet.setAttribute('aria-label', 'New Message');
    sheet.appendChild(element('h3', '', 'New Message'));
    sheet.appendChild(element('div', '', 'To: ' + screen.mail.to));
    sheet.appendChild(element('div', '', 'Subject: ' + screen.mail.subject));
    sheet.appendChild(element('pre', '', screen.mail.body));
    for (const attachment of screen.mail.attachments)
      sheet.appendChild(element('div', '', 'Attachment: ' + attachment.name + ' (' + attachment.bytes + ' bytes)'));
    add('Cancel', 'mail', 'cancel');
    add('Save', 'mail', 'save');
    add('Send', 'mail', 'send');
  } else {
    sheet.setAttribute('aria-label', screen.sheet.service);
    sheet.appendChild(element('h3', '', screen.sheet.service));
    sheet.appendChild(element('pre', '', screen.sheet.text));
    add('Cancel', 'sheet', 'cancel');
    add('Post', 'sheet', 'post');
  }
  sheet.insertBefore(actions, sheet.children[1] || null);
  container.appendChild(sheet);
}

function rowButton(row, section, index) {
  const button = element('button', 'row ' + row.kind);
  button.dataset.section = section;
  button.dataset.row = index;
  button.dataset.kind = row.kind;
  button.setAttribute('aria-label', row.label);
  const label = element('span', 'label', row.label);
  if (Array.isArray(row.lines)) for (const line of row.lines) label.appendChild(element('span', 'lines', line));
  button.appendChild(label);
  if (row.kind === 'switch') {
    const control = element('span', 'switch' + (row.value ? ' on' : ''));
    control.setAttribute('role', 'switch');
    control.setAttribute('aria-checked', String(!!row.value));
    button.appendChild(control);
  } else if (row.kind === 'choice') {
    button.appendChild(element('span', 'check', row.value ? '✓' : ''));
    button.setAttribute('aria-checked', String(!!row.value));
  } else if (typeof row.value === 'string') {
    button.appendChild(element('span', 'value', row.value));
  }
  if (row.kind === 'link' || row.kind === 'list') button.appendChild(element('span', 'chevron', '›'));
  button.addEventListener('click', () => tap({ target: 'row', section, row: index }));
  return button;
}

// Which place a button stands for, to find it again in a new layout.
function placeKey(target) {
  return target.kind === 'row' ? 'row:' + target.section + ':' + target.row : target.kind;
}

function pageKey(screen) {
  return [screen.class, screen.title, !!screen.mail, !!screen.sheet, screen.error].join('|');
}

// A picture of the screen, fetched and decoded before it is shown, so that a
// new one never shows as nothing while it loads.
async function pictureOf(url) {
  const response = await fetch(withToken(url));
  if (!response.ok) throw new Error('the screen could not be fetched: ' + response.status);
  const source = URL.createObjectURL(await response.blob());
  const probe = new Image();
  probe.src = source;
  try {
    await probe.decode();
  } catch (error) {
    URL.revokeObjectURL(source);
    throw error;
  }
  return source;
}

let shownPicture = null;
function showPicture(source) {
  for (const image of document.querySelectorAll('img.picture')) image.src = source;
  if (shownPicture) URL.revokeObjectURL(shownPicture);
  shownPicture = source;
}

// The screen as the device draws it, the whole page tall, with a button over
// each place a tap answers: those of the bars stay on top, the others scroll with the page.
function drawPicture(screen, container, bars) {
  const image = screen.image;
  const frame = $('screen-frame');
  frame.style.width = image.screen.width + 'px';
  frame.style.height = image.screen.height + 'px';
  const content = element('div', 'content');
  content.style.width = image.width + 'px';
  content.style.height = image.height + 'px';
  const picture = element('img', 'picture');
  picture.alt = screen.title || 'Settings';
  picture.width = image.width;
  content.appendChild(picture);
  container.appendChild(content);
  const sheet = !!(screen.mail || screen.sheet);
  bars.hidden = sheet;
  if (!sheet) {
    const top = element('img', 'picture');
    top.alt = '';
    top.width = image.width;
    bars.appendChild(top);
  }
  const names = { back: 'Back', share: 'Share', 'mail-send': 'Send', 'mail-save': 'Save', 'mail-cancel': 'Cancel',
    'share-post': 'Post', 'share-cancel': 'Cancel' };
  // In reading order, for Tab.
  const targets = [...screen.targets].sort((a, b) => a.frame[1] - b.frame[1] || a.frame[0] - b.frame[0]);
  for (const target of targets) {
    const hit = element('button', 'hit');
    const [x, y, width, height] = target.frame;
    Object.assign(hit.style, { left: x + 'px', top: y + 'px', width: width + 'px', height: height + 'px' });
    hit.setAttribute('aria-label', target.kind === 'row' ? target.label : names[target.kind] || target.kind);
    hit.dataset.key = placeKey(target);
    if (target.kind === 'row') {
      const row = ((screen.groups[target.section] || {}).rows || [])[target.row] || {};
      hit.dataset.kind = row.kind || 'row';
      if (row.kind === 'switch') {
        const control = element('span');
        control.setAttribute('role', 'switch');
        control.setAttribute('aria-checked', String(!!row.value));
        hit.appendChild(control);
      } else if (row.kind === 'choice') {
        hit.setAttribute('aria-checked', String(!!row.value));
      }
      hit.addEventListener('click', () => tap({ target: 'row', section: target.section, row: target.row }));
    } else if (target.kind === 'back' || target.kind === 'share') {
      hit.addEventListener('click', () => tap({ target: target.kind }));
    } else {
      const [sheetKind, answer] = target.kind.split('-');
      hit.addEventListener('click', () => tap({ target: sheetKind === 'share' ? 'sheet' : 'mail', answer }));
    }
    (target.kind === 'back' || target.kind === 'share' ? bars : content).appendChild(hit);
  }
}

// Builds the screen for a new layout; the page keeps its scroll position and
// the place that had the focus keeps it, as long as the page is the same.
function drawScreen(screen, source) {
  const container = $('screen');
  const bars = $('bars');
  const active = document.activeElement;
  const focusWasOnScreen = $('screen-frame').contains(active);
  const focused = active && active.dataset ? active.dataset.key : undefined;
  const previous = orvane.screen;
  const samePage = previous && pageKey(previous) === pageKey(screen);
  const scrolled = container.scrollTop;
  container.textContent = '';
  bars.textContent = '';
  bars.hidden = true;
  const frame = $('screen-frame');
  frame.style.width = frame.style.height = '';
  orvane.screen = screen;
  ++orvane.rebuilds;
  container.dataset.version = screen.version;
  if (screen.error) {
    container.appendChild(element('p', 'message error', screen.error));
  } else if (screen.image && source) {
    drawPicture(screen, container, bars);
    showPicture(source);
  } else {
    drawList(screen, container);
  }
  if (previous && !samePage) scrolledTo.set(pageKey(previous), scrolled);
  container.scrollTop = samePage ? scrolled : goingBack ? scrolledTo.get(pageKey(screen)) || 0 : 0;
  if (!samePage) goingBack = false;
  if (focusWasOnScreen) {
    const again = focused && document.querySelector('#screen-frame [data-key="' + CSS.escape(focused) + '"]');
    (again || container).focus({ preventScroll: true });
  }
  showIndicator();
}

// Where the screen could not be drawn: its rows as a list.
function drawList(screen, container) {
  const bar = element('div', 'bar-nav');
  const back = element('button', '', screen.back ? '‹ Back' : '');
  back.disabled = !screen.back;
  back.setAttribute('aria-label', 'Back');
  back.dataset.key = 'back';
  back.addEventListener('click', () => tap({ target: 'back' }));
  const share = element('button', '', screen.share ? 'Share' : '');
  share.disabled = !screen.share;
  share.setAttribute('aria-label', 'Share');
  share.dataset.key = 'share';
  share.addEventListener('click', () => tap({ target: 'share' }));
  bar.appendChild(back);
  bar.appendChild(element('h2', '', screen.title || ''));
  bar.appendChild(share);
  container.appendChild(bar);
  (screen.groups || []).forEach((group, section) => {
    if (group.header) container.appendChild(element('div', 'group-header', group.header));
    const rows = element('div', 'rows');
    group.rows.forEach((row, index) => {
      const button = rowButton(row, section, index);
      button.dataset.key = placeKey({ kind: 'row', section, row: index });
      rows.appendChild(button);
    });
    container.appendChild(rows);
    if (group.footer) container.appendChild(element('div', 'group-footer', group.footer));
  });
  if (screen.mail || screen.sheet) drawSheet(screen, container);
}

// The newest screen announced; it is shown once, whatever came between.
let wanted = null;
let working = false;
function want(announced) {
  if (!wanted || announced.version > wanted.version) wanted = announced;
  if (!working) follow();
}

async function follow() {
  working = true;
  try {
    while (wanted && (!orvane.screen || wanted.version > orvane.screen.version)) {
      const goal = wanted;
      const shown = orvane.screen;
      if (shown && shown.image && goal.image && goal.layout === shown.layout && $('screen').querySelector('img.picture')) {
        // The same places: only the picture moved on (an animation), so nothing is built anew.
        const source = await pictureOf(goal.image.url);
        if (orvane.screen !== shown || goal.version <= shown.version) {
          URL.revokeObjectURL(source);
          continue;
        }
        const content = $('screen').querySelector('.content');
        if (content) content.style.height = goal.image.height + 'px';
        showPicture(source);
        orvane.screen = Object.assign({}, shown, { version: goal.version, image: goal.image });
        $('screen').dataset.version = goal.version;
        ++orvane.redraws;
        showIndicator();
        continue;
      }
      const response = await fetch(withToken('/screen'));
      if (!response.ok) break;
      const screen = await response.json();
      if (orvane.screen && screen.version <= orvane.screen.version) break;
      const source = screen.image ? await pictureOf(screen.image.url).catch(() => null) : null;
      drawScreen(screen, source);
    }
  } catch (error) {
    say(String(error), true);
  } finally {
    working = false;
  }
}

// A thin bar while the page scrolls, as the device shows one.
let indicatorTimer = 0;
function showIndicator() {
  const container = $('screen');
  const indicator = $('indicator');
  const total = container.scrollHeight;
  const visible = container.clientHeight;
  if (total <= visible + 1) {
    indicator.hidden = true;
    return;
  }
  const top = 64;
  const track = visible - top - 4;
  const length = Math.max(24, track * visible / total);
  indicator.style.height = length + 'px';
  indicator.style.top = top + 2 + (track - length) * container.scrollTop / (total - visible) + 'px';
  indicator.hidden = false;
  clearTimeout(indicatorTimer);
  indicatorTimer = setTimeout(() => { indicator.hidden = true; }, 800);
}

function connect() {
  const events = new EventSource(withToken('/events'));
  events.addEventListener('hello', (event) => {
    const hello = JSON.parse(event.data);
    orvane.connected = true;
    showState(hello.state);
    $('log').textContent = '';
    for (const record of hello.log || []) logLine(record);
    want({ version: hello.screen, layout: -1 });
  });
  events.addEventListener('state', (event) => showState(JSON.parse(event.data)));
  events.addEventListener('screen', (event) => want(JSON.parse(event.data)));
  events.addEventListener('sound', (event) => {
    const record = JSON.parse(event.data);
    logLine(record);
    if (record.url) queue = queue.then(() => play(record)).catch((error) => say(String(error), true));
  });
  events.addEventListener('log-cleared', () => { $('log').textContent = ''; });
  events.addEventListener('reset', () => {
    events.close();
    connect();
  });
  events.onerror = () => {
    orvane.connected = false;
    $('springboard').textContent = 'The server is not answering; trying again…';
  };
}

// Presses go one after another, as a finger makes them: keys pressed quickly
// or held would otherwise race to SpringBoard and the volume shown with them.
let pressing = Promise.resolve();
function press(button) {
  const made = { button, at: performance.now() };
  orvane.presses.push(made);
  pressing = pressing.then(() => send('/press', { button })).then((answer) => {
    made.answered = performance.now();
    if (typeof answer.volume === 'number' && orvane.state)
      showState(Object.assign({}, orvane.state, { volume: answer.volume, springboard: true }));
  }, () => { made.answered = performance.now(); });
  return pressing;
}

// Back, or the sheet shown cancelled, as Escape does in a dialog.
function goBack() {
  const screen = orvane.screen;
  if (!screen) return;
  if (screen.mail) tap({ target: 'mail', answer: 'cancel' });
  else if (screen.sheet) tap({ target: 'sheet', answer: 'cancel' });
  else if ((screen.targets || []).some((target) => target.kind === 'back') || (!screen.image && screen.back))
    tap({ target: 'back' });
}

function scrollScreen(key, onPlace) {
  const container = $('screen');
  const page = container.clientHeight - 64 - 44;
  const by = { ArrowUp: -44, ArrowDown: 44, PageUp: -page, PageDown: page, ' ': page };
  if (key === 'Home') container.scrollTop = 0;
  else if (key === 'End') container.scrollTop = container.scrollHeight;
  else if (key in by && !(key === ' ' && onPlace)) container.scrollTop += by[key];
  else return false;
  return true;
}

document.addEventListener('keydown', (event) => {
  if (event.ctrlKey || event.metaKey || event.altKey || event.defaultPrevented) return;
  const active = document.activeElement;
  const onScreen = $('screen-frame').contains(active);
  // Space and Enter on a place are its click; Space on another button of the page too.
  const onPlace = active && active.tagName === 'BUTTON';
  const key = event.key;
  let handled = true;
  if (onScreen && scrollScreen(key, onPlace)) showIndicator();
  else if (key === '+' || key === '=' || key === 'AudioVolumeUp' || key === 'ArrowUp') press('up');
  else if (key === '-' || key === '_' || key === 'AudioVolumeDown' || key === 'ArrowDown') press('down');
  else if (key === 'Escape' && !event.repeat) goBack();
  else handled = false;
  if (handled) event.preventDefault();
});

// A drag with the mouse scrolls the page, as a finger does; it is no click then.
let drag = null;
let dragged = false;
$('screen').addEventListener('pointerdown', (event) => {
  if (event.pointerType !== 'mouse' || event.button !== 0) return;
  drag = { id: event.pointerId, y: event.clientY, top: $('screen').scrollTop, moved: false };
});
$('screen').addEventListener('pointermove', (event) => {
  if (!drag || event.pointerId !== drag.id) return;
  const moved = event.clientY - drag.y;
  if (!drag.moved && Math.abs(moved) < 6) return;
  if (!drag.moved) {
    drag.moved = true;
    $('screen').setPointerCapture(event.pointerId);
    $('screen').classList.add('dragging');
  }
  $('screen').scrollTop = drag.top - moved;
});
const endDrag = () => {
  if (!drag) return;
  dragged = drag.moved;
  drag = null;
  // The click that ends a drag comes before any timer: one that never came is not waited for.
  if (dragged) setTimeout(() => { dragged = false; }, 0);
  $('screen').classList.remove('dragging');
};
$('screen').addEventListener('pointerup', endDrag);
$('screen').addEventListener('pointercancel', endDrag);
$('screen').addEventListener('click', (event) => {
  if (!dragged) return;
  dragged = false;
  event.stopPropagation();
  event.preventDefault();
}, { capture: true });
$('screen').addEventListener('dragstart', (event) => event.preventDefault());
$('screen').addEventListener('scroll', showIndicator, { passive: true });

$('volume-up').addEventListener('click', () => press('up'));
$('volume-down').addEventListener('click', () => press('down'));
$('ringer').addEventListener('click', () => {
  const silent = orvane.state && orvane.state.ringer === 'silent';
  send('/ringer', { mode: silent ? 'ring' : 'silent' });
});
$('clear-log').addEventListener('click', () => send('/clear-log', {}));
connect();
