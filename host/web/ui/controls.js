// The controls beside the phone. Each runs the command the CLI would; what
// they show comes back from the device in the next state event, drawn by
// difference (a value that did not change is not touched, so focus and a
// control in use survive it).

import * as dom from './dom.js';
import { $ } from './dom.js';

let run = null;
let currentState = () => null;
let listenerFilled = false;  // the listener field got its first value (from the state); later the person's
let logLines = [];
let logDrawn = null;
const moving = new Set();  // range inputs between a person's first move and the command's answer

// Controls that act on a running device: disabled while it is off.
const kNeedRunning = ['c-shutdown', 'c-respring', 'c-lock', 'c-unlock', 'c-clock', 'c-clock-set', 'c-listener',
  'c-gesture', 'c-level', 'c-state', 'c-plug', 'c-unplug', 'h-brightness',
  'c-usage'];

// The on/off switches of Control Center: each checkbox names its switch (data-switch), as the device does.
const switchBoxes = () => document.querySelectorAll('input[type=checkbox][data-switch]');

// A command from a control; afterwards (done or failed) every control shows
// the device's state again, whatever the control was moved to.
async function command(args) {
  const result = await run(args);
  moving.clear();
  const s = currentState();
  if (s) draw(s);
  return result;
}

// The Activator listener the add-on registers, as the server names it.
function listenerName() {
  const s = currentState();
  return (s && s.names && s.names.activator_listener) || '';
}

// currentState: the last state document, drawn again after each command.
export function init(runCommand, stateNow) {
  run = runCommand;
  currentState = stateNow;
  const click = (id, args) => $(id).addEventListener('click', () => command(typeof args === 'function' ? args() : args));
  click('c-boot', ['boot']);
  click('c-shutdown', ['shutdown']);
  click('c-respring', ['respring']);
  click('c-lock', ['lock']);
  click('c-unlock', ['unlock']);
  click('c-plug', ['plug']);
  click('c-unplug', ['unplug']);
  click('c-gesture', () => ['activator', $('c-listener').value.trim() || listenerName()]);
  click('c-clock-set', () => ['clock', $('c-clock').value.trim()]);
  $('c-clock').addEventListener('keydown', (e) => { if (e.key === 'Enter') command(['clock', $('c-clock').value.trim()]); });
  const level = $('c-level');
  level.addEventListener('input', () => { moving.add(level); dom.setText($('c-level-out'), level.value + '%'); });
  level.addEventListener('change', () => command(['battery', level.value + '%']));
  $('c-state').addEventListener('change', () => command(['battery', '--state', $('c-state').value]));
  $('c-usage').addEventListener('change', () => command(['usage', $('c-usage').value]));
  for (const box of switchBoxes()) {
    box.addEventListener('change', () => command(['hardware', box.dataset.switch, box.checked ? 'on' : 'off']));
  }
  const brightness = $('h-brightness');
  brightness.addEventListener('input', () => { moving.add(brightness); dom.setText($('h-brightness-out'), brightness.value + '%'); });
  brightness.addEventListener('change', () => command(['hardware', 'brightness', brightness.value + '%']));
  $('log-filter').addEventListener('input', drawLog);
}

// A menu offers the words its command takes, as the state lists them; it is
// rebuilt only when they change, so an open menu is not closed under the pointer.
function showChoices(select, words) {
  if (!Array.isArray(words)) return;
  const now = [...select.options].map((o) => o.value);
  if (JSON.stringify(now) === JSON.stringify(words)) return;
  select.replaceChildren(...words.map((word) => new Option(word, word)));
}

// A range a person is moving is left alone until the command has answered.
function show(input, value) {
  if (moving.has(input)) return;
  if (input.type === 'checkbox') {
    if (input.checked !== !!value) input.checked = !!value;
  } else if (input.value !== String(value)) {
    input.value = value;
  }
}

function flatten(value, prefix, rows) {
  if (value && typeof value === 'object' && !Array.isArray(value)) {
    for (const key of Object.keys(value).sort()) flatten(value[key], prefix ? prefix + '.' + key : key, rows);
  } else {
    rows.push([prefix, Array.isArray(value) ? JSON.stringify(value) : String(value)]);
  }
  return rows;
}

// The same keys: only the values that changed are written; other keys: the table afresh.
function drawTable(id, data) {
  const table = $(id);
  const rows = data ? flatten(data, '', []) : null;
  const keys = rows ? JSON.stringify(rows.map((r) => r[0])) : '(no file)';
  if (table.dataset.keys === keys) {
    if (rows) rows.forEach(([, value], i) => dom.setText(table.rows[i].cells[1], value));
    return;
  }
  table.dataset.keys = keys;
  table.replaceChildren();
  if (!rows) {
    const td = table.insertRow().insertCell();
    td.colSpan = 2;
    td.className = 'muted';
    td.textContent = '(no file)';
    return;
  }
  for (const [key, value] of rows) {
    const tr = table.insertRow();
    tr.dataset.key = key;
    const k = document.createElement('th');
    k.textContent = key;
    const v = document.createElement('td');
    v.textContent = value;
    tr.append(k, v);
  }
}

// Syslog entries: a line that starts with a date opens one, the lines
// after it (a message of several lines) belong to it.
function entries(lines) {
  const out = [];
  for (const line of lines) {
    if (out.length && !/^[A-Z][a-z]{2} [ \d]\d \d\d:\d\d:\d\d /.test(line)) out[out.length - 1].push(line);
    else out.push([line]);
  }
  return out;
}

// The filter keeps whole entries: one whose text matches is shown with all its lines.
function drawLog() {
  const filter = $('log-filter').value.trim().toLowerCase();
  const all = entries(logLines);
  const shown = filter ? all.filter((e) => e.join('\n').toLowerCase().includes(filter)) : all;
  const text = shown.map((e) => e.join('\n')).join('\n');
  if (text === logDrawn) return;
  logDrawn = text;
  const log = $('log');
  const atBottom = log.scrollTop + log.clientHeight >= log.scrollHeight - 4;
  dom.setText(log, text);
  if (atBottom) log.scrollTop = log.scrollHeight;
}

// The real current: negative while the phone draws from the battery.
function currentText(ma) {
  if (typeof ma !== 'number') return 'unknown';
  if (ma < 0) return -ma + ' mA drawn';
  return ma > 0 ? ma + ' mA into the battery' : '0 mA';
}

// The estimate in the panes' own wording, and which way it runs.
function remainingText(r) {
  if (!r || r.status === 'not_applicable' || !r.text) return '—';
  if (r.status !== 'ok') return r.text;
  return r.text + (r.direction === 'to_full' ? ' to full' : ' to empty');
}

// While a command waits, the server lists what runs and what waits for it.
function drawCommands(commands) {
  const waiting = (commands && commands.waiting) || [];
  const running = (commands && commands.running) || [];
  const box = $('command-wait');
  dom.setHidden(box, !waiting.length);
  if (!waiting.length) return;
  const text = waiting.join(', ') + ' waiting for: ' + (running.join(', ') || 'a free turn');
  dom.setText(box, text);
  dom.setAttr(box, 'title', text);
}

export function draw(s) {
  // The listener field starts with the add-on's own listener; what a person typed there stays.
  if (!listenerFilled && listenerName()) {
    $('c-listener').value = listenerName();
    listenerFilled = true;
  }
  dom.setText($('device-root'), s.running ? 'device running' : 'device stopped');
  for (const input of [...kNeedRunning.map((id) => $(id)), ...switchBoxes()]) {
    if (input.disabled !== !s.running) input.disabled = !s.running;
  }
  if ($('c-boot').disabled !== !!s.running) $('c-boot').disabled = !!s.running;
  const hw = s.hardware || {};
  const battery = hw.battery || {};
  const percent = dom.levelPercent(s);
  if (percent !== null) {
    show($('c-level'), percent);
    if (!moving.has($('c-level'))) dom.setText($('c-level-out'), percent + '%');
  }
  const choices = s.choices || {};
  showChoices($('c-state'), choices.battery_state);
  showChoices($('c-usage'), choices.usage);
  if (battery.state) show($('c-state'), battery.state);
  dom.setText($('c-source'), s.battery_source || '(none)');
  dom.setText($('c-current'), currentText(battery.current_ma));
  show($('c-usage'), battery.usage ?? '');
  dom.setText($('c-remaining'), remainingText(s.remaining));
  for (const box of switchBoxes()) show(box, hw[box.dataset.switch]);
  if (typeof hw.brightness === 'number') {
    show($('h-brightness'), Math.round(hw.brightness * 100));
    if (!moving.has($('h-brightness'))) dom.setText($('h-brightness-out'), Math.round(hw.brightness * 100) + '%');
  }
  dom.setText($('h-vibrations'), hw.vibrations ?? 0);
  const sb = s.springboard || {};
  dom.setText($('c-device-state'), !s.running ? 'not running'
    : sb.pid === null ? 'SpringBoard restarting'
      : 'SpringBoard pid ' + sb.pid + (sb.safe_mode ? ' (safe mode)' : '') + ', restarts ' + sb.restarts);
  drawCommands(s.commands);
  drawTable('t-battery-data', s.files && s.files.battery_data);
  drawTable('t-settings', s.files && s.files.settings);
  logLines = s.syslog || [];
  drawLog();
}
