'use strict';
// The device in a browser: follows the server's events, draws the screen,
// sends clicks, and plays every sound the speaker plays.

const token = new URLSearchParams(location.search).get('token') || '';
const withToken = (path) => path + (path.includes('?') ? '&' : '?') + 'token=' + encodeURIComponent(token);
const $ = (id) => document.getElementById(id);

// What the page did, for people and tests alike.
const orvane = (window.orvane = { presses: [], played: [], screen: null, state: null, connected: false });

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
  orvane.played.push({ file: record.file, url: record.url, process: record.process, at: performance.now() });
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

function logLine(record) {
  const item = document.createElement('li');
  const time = typeof record.time === 'string' ? record.time.replace('T', ' ').replace('Z', '') : '?';
  item.textContent = time + '  ' + (record.process || '?') + '  ' + (record.file || '?');
  const log = $('log');
  log.insertBefore(item, log.firstChild);
  while (log.children.length > 100) log.removeChild(log.lastChild);
}

function element(tag, className, text) {
  const made = document.createElement(tag);
  if (className) made.className = className;
  if (text !== undefined) made.textContent = text;
  return made;
}

function tap(target) {
  const body = Object.assign({ screen: orvane.screen ? orvane.screen.layout : 0 }, target);
  return send('/tap', body).then((answer) => {
    if (answer.status === 409) loadScreen();
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

// The screen as the device draws it, with a button over each place a tap answers.
function drawPicture(screen, container) {
  const picture = element('img');
  picture.src = withToken(screen.image.url);
  picture.alt = screen.title || 'Settings';
  picture.style.width = screen.image.width + 'px';
  container.style.width = screen.image.width + 'px';
  container.style.height = screen.image.height + 'px';
  container.appendChild(picture);
  const names = { back: 'Back', share: 'Share', 'mail-send': 'Send', 'mail-save': 'Save', 'mail-cancel': 'Cancel',
    'share-post': 'Post', 'share-cancel': 'Cancel' };
  for (const target of screen.targets) {
    const hit = element('button', 'hit');
    const [x, y, width, height] = target.frame;
    Object.assign(hit.style, { left: x + 'px', top: y + 'px', width: width + 'px', height: height + 'px' });
    hit.setAttribute('aria-label', target.kind === 'row' ? target.label : names[target.kind] || target.kind);
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
      const [sheet, answer] = target.kind.split('-');
      hit.addEventListener('click', () => tap({ target: sheet === 'share' ? 'sheet' : 'mail', answer }));
    }
    container.appendChild(hit);
  }
}

function drawScreen(screen) {
  const container = $('screen');
  container.textContent = '';
  container.style.width = container.style.height = '';
  container.dataset.version = screen.version;
  if (screen.error) {
    container.appendChild(element('p', 'message error', screen.error));
    return;
  }
  if (screen.image) {
    drawPicture(screen, container);
    return;
  }
  const bar = element('div', 'bar-nav');
  const back = element('button', '', screen.back ? '‹ Back' : '');
  back.disabled = !screen.back;
  back.setAttribute('aria-label', 'Back');
  back.addEventListener('click', () => tap({ target: 'back' }));
  const share = element('button', '', screen.share ? 'Share' : '');
  share.disabled = !screen.share;
  share.setAttribute('aria-label', 'Share');
  share.addEventListener('click', () => tap({ target: 'share' }));
  bar.appendChild(back);
  bar.appendChild(element('h2', '', screen.title || ''));
  bar.appendChild(share);
  container.appendChild(bar);
  (screen.groups || []).forEach((group, section) => {
    if (group.header) container.appendChild(element('div', 'group-header', group.header));
    const rows = element('div', 'rows');
    group.rows.forEach((row, index) => rows.appendChild(rowButton(row, section, index)));
    container.appendChild(rows);
    if (group.footer) container.appendChild(element('div', 'group-footer', group.footer));
  });
  if (screen.mail || screen.sheet) drawSheet(screen, container);
}

let screenWanted = 0;
async function loadScreen(version) {
  if (version !== undefined && orvane.screen && orvane.screen.version >= version) return;
  screenWanted = Math.max(screenWanted, version || 0);
  const response = await fetch(withToken('/screen'));
  if (!response.ok) return;
  const screen = await response.json();
  if (orvane.screen && screen.version < orvane.screen.version) return;
  orvane.screen = screen;
  drawScreen(screen);
}

function connect() {
  const events = new EventSource(withToken('/events'));
  events.addEventListener('hello', (event) => {
    const hello = JSON.parse(event.data);
    orvane.connected = true;
    showState(hello.state);
    $('log').textContent = '';
    for (const record of hello.log || []) logLine(record);
    loadScreen(hello.screen);
  });
  events.addEventListener('state', (event) => showState(JSON.parse(event.data)));
  events.addEventListener('screen', (event) => loadScreen(JSON.parse(event.data).version));
  events.addEventListener('sound', (event) => {
    const record = JSON.parse(event.data);
    logLine(record);
    if (record.url) queue = queue.then(() => play(record)).catch((error) => say(String(error), true));
  });
  events.addEventListener('reset', () => {
    events.close();
    connect();
  });
  events.onerror = () => {
    orvane.connected = false;
    $('springboard').textContent = 'The server is not answering; trying again…';
  };
}

function press(button) {
  const made = { button, at: performance.now() };
  orvane.presses.push(made);
  return send('/press', { button }).then((answer) => {
    made.answered = performance.now();
    if (typeof answer.volume === 'number' && orvane.state)
      showState(Object.assign({}, orvane.state, { volume: answer.volume, springboard: true }));
  });
}

$('volume-up').addEventListener('click', () => press('up'));
$('volume-down').addEventListener('click', () => press('down'));
$('ringer').addEventListener('click', () => {
  const silent = orvane.state && orvane.state.ringer === 'silent';
  send('/ringer', { mode: silent ? 'ring' : 'silent' });
});
connect();
