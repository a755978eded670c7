// The phone: a 320×568-point screen drawn from the state document — status
// bar, lock and home screens, banners, alerts, brightness and vibration. The
// Settings app's pane is drawn by settings_pane.js into the same screen.

import * as dom from './dom.js';
import { $ } from './dom.js';

let run = null;
let shaking = 0;
let shakeQueue = 0;
let alertDrawn = '';  // the alert last drawn: redrawn only when it changes, so no click lands on a replaced button
let clockOffset = null;  // the device's time minus the browser's, in seconds, from the last state
let focusBeforeAlert = null;  // where the focus goes back to when the alerts are gone

// currentState: the last state document, for what a click decides from it.
export function init(runCommand, currentState) {
  run = runCommand;
  $('icon-settings').addEventListener('click', () => run(['settings', 'open', 'prefs:']));
  $('off-boot').addEventListener('click', () => run(['boot']));
  $('home-button').addEventListener('click', () => {
    const s = currentState();
    if (!s || !s.running) return;
    if (s.locked) return;
    if (s.settings && s.settings.pid !== null) run(['settings', 'close']);
  });
  initSlider();
  window.addEventListener('resize', fit);
  fit();
  // The lock screen's clock runs between state events, from the device's time.
  setInterval(() => { if (!$('lock-screen').hidden) drawLockClock(); }, 1000);
}

// The screen keeps its 320×568 points; the whole phone is scaled to the window.
// In a narrow window (the columns stacked) it also fits the width.
function fit() {
  const frame = $('phone-frame');
  const phoneEl = $('phone');
  const available = Math.max(300, window.innerHeight - 100);  // the header and the margins
  const across = document.documentElement.clientWidth - 32;
  const scale = Math.min(window.innerWidth >= 1600 ? 1.6 : 1.4, available / 680,
    window.innerWidth < 900 ? across / 360 : Infinity);
  phoneEl.style.transform = 'scale(' + scale.toFixed(3) + ')';
  frame.style.width = Math.ceil(360 * scale) + 'px';
  frame.style.height = Math.ceil(680 * scale) + 'px';
}

// Dragging the knob to the end of its track (or clicking the track) unlocks,
// through the same command as `simdevice unlock`.
function initSlider() {
  const track = $('slide-track');
  const knob = $('slide-knob');
  let startX = null;
  let moved = 0;
  const max = () => track.clientWidth - knob.offsetWidth - 4;
  knob.addEventListener('pointerdown', (e) => {
    startX = e.clientX;
    moved = 0;
    knob.setPointerCapture(e.pointerId);
    e.preventDefault();
  });
  knob.addEventListener('pointermove', (e) => {
    if (startX === null) return;
    const scale = track.getBoundingClientRect().width / track.clientWidth || 1;
    moved = Math.max(0, Math.min(max(), (e.clientX - startX) / scale));
    knob.style.left = (2 + moved) + 'px';
  });
  const release = () => {
    if (startX === null) return;
    startX = null;
    const done = moved >= max() * 0.8;
    knob.style.left = '2px';
    if (done) run(['unlock']);
  };
  knob.addEventListener('pointerup', release);
  knob.addEventListener('pointercancel', release);
  track.addEventListener('click', (e) => {
    if (e.target === knob && moved > 3) return;
    run(['unlock']);
  });
  track.tabIndex = 0;
  track.setAttribute('role', 'button');
  track.setAttribute('aria-label', 'Slide to unlock');
  track.addEventListener('keydown', (e) => {
    if (e.key !== 'Enter' && e.key !== ' ') return;
    e.preventDefault();
    run(['unlock']);
  });
}

function drawStatusBar(s) {
  const hw = s.hardware || {};
  dom.setHidden($('sb-airplane'), !hw.airplane);
  dom.setHidden($('sb-wifi'), !hw.wifi || !!hw.airplane);
  dom.setText($('sb-time'), s.status_bar_time || '');
  const battery = hw.battery || {};
  const percent = dom.levelPercent(s);
  dom.setText($('sb-percent'), percent === null ? '' : percent + '%');
  const glyph = $('sb-battery');
  dom.setStyle(glyph.querySelector('.fill'), 'width', (percent === null ? 0 : Math.max(0, Math.min(100, percent))) + '%');
  dom.setClass(glyph, 'low', percent !== null && percent <= 20);
  dom.setHidden(glyph.querySelector('.bolt'), battery.state !== 'charging');
  dom.setAttr(glyph, 'data-state', battery.state || 'unknown');
  dom.setAttr(glyph, 'aria-label', 'Battery ' + (percent === null ? 'unknown' : percent + '%') +
    (battery.state === 'charging' ? ', charging' : ''));
}

// The device's time (the state document's device_time), not the browser's.
function drawLockClock() {
  if (clockOffset === null) return;
  const when = new Date((Date.now() / 1000 + clockOffset) * 1000);
  dom.setText($('lock-clock'), when.toLocaleTimeString([], { hour: '2-digit', minute: '2-digit', hour12: false }));
  dom.setText($('lock-date'), when.toLocaleDateString([], { weekday: 'long', month: 'long', day: 'numeric' }));
}

function whichScreen(s) {
  if (!s.running) return 'off';
  if (s.springboard.pid === null || !s.springboard.launched) return 'starting';
  if (s.locked) return 'lock';
  if (s.settings && s.settings.pid !== null && s.pane) return s.pane.web_view || s.pane.opened_page ? 'web' : 'settings';
  return 'home';
}

// Off is a black screen with only the Boot button; starting says so.
function drawOff(screen) {
  dom.setText($('off-text'), 'SpringBoard is starting…');
  dom.setHidden($('off-text'), screen !== 'starting');
  dom.setHidden($('off-boot'), screen !== 'off');
}

// A banner stays while SpringBoard shows it; CSS slides it in and out.
function drawBanner(s) {
  const banner = $('banner');
  const b = s.running ? s.banner_on_screen : null;
  if (b) {
    dom.setText($('banner-title'), b.title || '');
    dom.setText($('banner-message'), b.message || '');
  }
  dom.setClass(banner, 'shown', !!b);
}

// Alerts queue as on the device: the newest is on top and its buttons are
// pressed through `press` (SpringBoard's) or `settings press` (the Settings app's).
function drawAlerts(s) {
  const springboard = (s.running && s.alerts) || [];
  const settingsAlerts = (s.pane && s.pane.alerts) || [];
  const owner = springboard.length ? 'springboard' : settingsAlerts.length ? 'settings' : null;
  const list = owner === 'springboard' ? springboard : settingsAlerts;
  dom.setHidden($('alert-layer'), !owner);
  if (!owner) {
    alertDrawn = '';
    if (focusBeforeAlert && focusBeforeAlert.isConnected && document.activeElement === document.body) {
      focusBeforeAlert.focus({ preventScroll: true });
    }
    focusBeforeAlert = null;
    return;
  }
  const key = JSON.stringify([owner, springboard, settingsAlerts]);
  if (key === alertDrawn) return;
  alertDrawn = key;
  const position = list.length - 1;
  const alert = list[position];
  $('alert-title').textContent = alert.title || '';
  $('alert-message').textContent = alert.message || '';
  const buttons = $('alert-buttons');
  buttons.replaceChildren();
  // Two buttons side by side, more one under the other, as the platform lays them out.
  const titles = alert.buttons || [];
  buttons.classList.toggle('stacked', titles.length > 2);
  const hadFocus = $('alert').contains(document.activeElement);
  (alert.buttons || []).forEach((title, index) => {
    const button = document.createElement('button');
    button.type = 'button';
    button.className = 'alert-button';
    button.textContent = title;
    button.dataset.index = index;
    const press = owner === 'springboard' ? ['press'] : ['settings', 'press'];
    button.addEventListener('click', () => run(press.concat([String(index), '--alert', String(position)])));
    buttons.appendChild(button);
  });
  // Two titles that do not fit side by side go one under the other too, whole.
  if (titles.length === 2 && [...buttons.children].some((b) => b.scrollWidth > b.clientWidth)) {
    buttons.classList.add('stacked');
  }
  $('alert').setAttribute('role', 'alertdialog');
  $('alert').setAttribute('aria-label', alert.title || 'Alert');
  // A new alert takes the focus from what is behind it, as a modal does.
  if (hadFocus || document.activeElement === document.body || $('screen').contains(document.activeElement)) {
    if (!hadFocus && document.activeElement !== document.body) focusBeforeAlert = document.activeElement;
    const preferred = buttons.lastElementChild;
    if (preferred) preferred.focus({ preventScroll: true });
  }
  const waiting = list.length - 1 + (owner === 'springboard' ? settingsAlerts.length : 0);
  $('alert-queue').textContent = waiting > 0 ? waiting + ' more alert' + (waiting > 1 ? 's' : '') + ' waiting' : '';
  $('alert').dataset.owner = owner;
}

function drawBrightness(s) {
  // The device's own default while the state holds no brightness: the page keeps none of its own.
  const hw = s.hardware || {};
  const b = typeof hw.brightness === 'number' ? hw.brightness : (s.hardware_defaults || {}).brightness;
  // Full brightness leaves the screen as drawn; zero leaves a faint image, as a backlight does.
  const lit = s.running && typeof b === 'number';
  dom.setStyle($('dimmer'), 'opacity', lit ? (0.85 * (1 - Math.max(0, Math.min(1, b)))).toFixed(3) : '0');
}

// One shake per vibration the device counted since the last state.
function drawVibration(s, previous) {
  const now = (s.hardware && s.hardware.vibrations) || 0;
  const before = previous && previous.hardware ? previous.hardware.vibrations || 0 : now;
  if (now > before) {
    shakeQueue += now - before;
    if (!shaking) shake();
  }
}

function shake() {
  if (shakeQueue <= 0) {
    shaking = 0;
    return;
  }
  shakeQueue -= 1;
  shaking = 1;
  const el = $('phone-frame');
  el.classList.remove('shake');
  void el.offsetWidth;  // restarts the animation
  el.classList.add('shake');
  el.dataset.shakes = String(Number(el.dataset.shakes || 0) + 1);
  setTimeout(shake, 450);
}

export function draw(s, previous) {
  const screen = whichScreen(s);
  dom.setAttr($('screen'), 'data-screen', screen);
  dom.setHidden($('status-bar'), screen === 'off' || screen === 'starting');
  drawStatusBar(s);
  clockOffset = typeof s.device_time === 'number' ? s.device_time - Date.now() / 1000 : null;
  dom.setHidden($('lock-screen'), screen !== 'lock');
  dom.setHidden($('home-screen'), screen !== 'home');
  dom.setHidden($('settings-app'), screen !== 'settings');
  dom.setHidden($('web-view'), screen !== 'web');
  dom.setHidden($('off-screen'), screen !== 'off' && screen !== 'starting');
  if (screen === 'lock') drawLockClock();
  if (screen === 'off' || screen === 'starting') drawOff(screen);
  drawBanner(s);
  drawAlerts(s);
  drawBrightness(s);
  drawVibration(s, previous);
}
