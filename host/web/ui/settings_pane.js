// The Settings app: its navigation bar and the open pane, drawn from the
// specifiers as `settings show --json` gives them. Every control runs the
// command the CLI would (`settings tap|set|back`), by row index.
//
// The pane is redrawn by difference: while the rows stay the same rows, a row
// whose specifier did not change is not touched and a changed value changes
// its text only, so a press, the focus and the scroll position survive the
// state events a running battery sends several times a second.

import * as dom from './dom.js';
import { $ } from './dom.js';
import * as presented from './presented.js';

let run = null;
let shape = '';        // the rows' layout last drawn: another layout is drawn afresh
let navDrawn = '';
let cells = new Map();  // row index → { cell, text, update }
let headers = [];       // [{ element, text }]
let stack = [];         // the panes open, as pushed: [{ identity, scroll }]
let fitted = false;     // the rows were measured on screen (not behind the lock screen)

export function init(runCommand) {
  run = runCommand;
  $('nav-back').addEventListener('click', () => run(['settings', 'back']));
  $('web-back').addEventListener('click', () => run(['settings', 'back']));
  $('nav-right').addEventListener('click', () => run(['settings', 'tap', 'right']));
  // The open pane's scroll position, kept for when Back comes to it again.
  $('pane').addEventListener('scroll', () => {
    if (stack.length && !$('settings-app').hidden) stack[stack.length - 1].scroll = $('pane').scrollTop;
  });
  window.addEventListener('resize', () => { fitTitle(); fitAll(); });
  presented.init(run);
}

function el(tag, className, text) {
  const e = document.createElement(tag);
  if (className) e.className = className;
  if (text !== undefined && text !== null) e.textContent = text;
  return e;
}

function image(view) {
  if (!view || !view.image_address) return null;
  const img = el('img', 'bar-image');
  img.src = view.image_address;
  img.alt = (view.image || '').replace(/\.(png|jpe?g|gif)$/i, '');
  if (typeof view.alpha === 'number') img.style.opacity = String(view.alpha);
  return img;
}

function drawNavigation(pane) {
  const nav = pane.navigation || {};
  const text = JSON.stringify([nav, pane.title]);
  if (text === navDrawn) return;
  navDrawn = text;
  const back = $('nav-back');
  back.hidden = !nav.back;
  back.textContent = nav.back ? '‹ ' + nav.back : '';
  back.setAttribute('aria-label', nav.back && nav.back !== 'Back' ? 'Back to ' + nav.back : 'Back');
  const title = $('nav-title');
  title.replaceChildren();
  const titleImage = image(nav.title_view);
  if (titleImage) title.appendChild(titleImage);
  else title.textContent = nav.title || pane.title || '';
  const right = $('nav-right');
  right.replaceChildren();
  const rightImage = image(nav.right_button);
  right.hidden = !nav.right_button;
  if (rightImage) right.appendChild(rightImage);
  else if (nav.right_button) right.textContent = nav.right_button.kind || 'Button';
  if (nav.right_button) right.setAttribute('aria-label', (nav.right_button.image || nav.right_button.kind || 'Button').replace(/\.png$/i, ''));
  fitTitle();
}

// The title is centred and shortened (with an ellipsis) to the room left
// between the Back button and the right button, as the bar does.
// When the title does not fit beside the screen below's name, Back says just "Back".
function fitTitle() {
  const bar = $('nav-title').parentElement;
  if (!bar.clientWidth) return;
  const back = $('nav-back');
  const room = () => {
    const sides = Math.max(back.hidden ? 0 : back.offsetWidth, $('nav-right').hidden ? 0 : $('nav-right').offsetWidth);
    $('nav-title').style.maxWidth = Math.max(40, bar.clientWidth - 2 * sides - 12) + 'px';
  };
  room();
  const title = $('nav-title');
  if (!back.hidden && back.textContent !== '‹ Back' && title.scrollWidth > title.clientWidth) {
    back.textContent = '‹ Back';
    room();
  }
}

// The custom header cell: each label at its frame, in its font size and alignment.
function headerCell(cell) {
  const labels = cell.labels || [];
  const top = Math.min(0, ...labels.map((l) => l.frame.y));
  const bottom = Math.max(0, ...labels.map((l) => l.frame.y + l.frame.height));
  const box = el('div', 'header-cell');
  box.style.height = (bottom - top) + 'px';
  for (const l of labels) {
    const label = el('div', 'header-label', l.text);
    label.style.left = l.frame.x + 'px';
    label.style.top = (l.frame.y - top) + 'px';
    label.style.width = l.frame.width + 'px';
    label.style.height = l.frame.height + 'px';
    label.style.lineHeight = l.frame.height + 'px';
    label.style.textAlign = l.alignment || 'left';
    if (l.font) {
      label.style.fontSize = l.font.size + 'px';
      label.style.fontWeight = /Thin|UltraLight|Light/.test(l.font.name) ? '200' : '400';
      label.dataset.font = l.font.name;
    }
    if (Array.isArray(l.color)) label.style.color = 'rgba(' + l.color.slice(0, 3).map((c) => Math.round(c * 255)).join(',') + ',' + l.color[3] + ')';
    box.appendChild(label);
  }
  return box;
}

function valueText(v) {
  if (v === null || v === undefined) return '';
  if (typeof v === 'number') return Number.isInteger(v) ? String(v) : String(Math.round(v * 100) / 100);
  return typeof v === 'string' ? v : JSON.stringify(v);
}

// A row the bundle draws itself (a chart): its views' images, in order;
// an image changes its address only when the bundle drew it again.
function drawnViews(cell, row) {
  const pictures = [...cell.querySelectorAll('.drawn-image')];
  let at = 0;
  for (const view of row.views || []) {
    const address = view.image && view.image.image_address;
    if (!address) continue;
    let picture = pictures[at++];
    if (!picture) {
      picture = el('img', 'drawn-image');
      cell.appendChild(picture);
    }
    dom.setAttr(picture, 'src', address);
    dom.setAttr(picture, 'alt', (view.chart && view.chart.summary) || row.label || '');
    dom.setStyle(picture, 'width', view.image.width ? view.image.width + 'px' : '');
  }
  for (const extra of pictures.slice(at)) extra.remove();
}

// A read-only row whose value does not fit beside its label shows it below
// (a subtitle row), so a long value (a forecast, a charge session) is read whole.
function fitValue(cell) {
  const value = cell.querySelector(':scope > .cell-value');
  if (!value || cell.classList.contains('tappable') || !cell.isConnected || !cell.offsetWidth) return;
  cell.classList.remove('cell-subtitle');
  if (value.scrollWidth > value.clientWidth + 1) cell.classList.add('cell-subtitle');
}

// The row's shape: what makes it another row when it changes (its kind,
// label, choices); its value is not part of it.
function rowShape(row) {
  return [row.index, row.kind, row.label, row.footer, row.value === undefined, row.min, row.max,
    (row.choices || []).map((c) => c.title), (row.views || []).length];
}

function makeRow(row) {
  const cell = el('div', 'cell kind-' + row.kind);
  const entry = { cell, row, text: JSON.stringify(row), update: () => {}, fit: null };
  const tap = () => run(['settings', 'tap', String(entry.row.index)]);
  if (row.views && row.views.length) {
    cell.classList.add('cell-drawn');
    drawnViews(cell, row);
    entry.update = (r) => drawnViews(cell, r);
    return entry;
  }
  cell.dataset.index = String(row.index);
  cell.dataset.label = row.label || '';
  const label = el('span', 'cell-label', row.label);
  cell.appendChild(label);
  const name = row.label || '';
  switch (row.kind) {
    case 'link': {
      const value = row.value !== undefined ? el('span', 'cell-value', valueText(row.value)) : null;
      if (value) cell.appendChild(value);
      cell.appendChild(el('span', 'chevron', '›')).setAttribute('aria-hidden', 'true');
      cell.classList.add('tappable');
      dom.pressable(cell, name, tap);
      if (value) entry.update = (r) => dom.setText(value, valueText(r.value));
      break;
    }
    case 'button':
      cell.classList.add('tappable');
      dom.pressable(cell, name, tap);
      break;
    case 'switch': {
      const toggle = el('button', 'switch');
      toggle.type = 'button';
      toggle.setAttribute('role', 'switch');
      toggle.setAttribute('aria-label', name);
      toggle.appendChild(el('span', 'switch-knob'));
      toggle.addEventListener('click', () => run(['settings', 'set', String(entry.row.index), entry.row.value ? 'off' : 'on']));
      cell.appendChild(toggle);
      entry.update = (r) => {
        dom.setClass(toggle, 'on', !!r.value);
        dom.setAttr(toggle, 'aria-checked', r.value ? 'true' : 'false');
      };
      break;
    }
    case 'slider': {
      cell.classList.add('kind-slider');
      const input = el('input', 'slider');
      input.type = 'range';
      input.min = row.min;
      input.max = row.max;
      input.step = 'any';
      input.setAttribute('aria-label', name);
      const out = el('output', 'slider-value');
      let moving = false;  // between the first move and letting go, the finger decides
      input.addEventListener('input', () => { moving = true; dom.setText(out, valueText(Number(input.value))); });
      input.addEventListener('change', async () => {
        await run(['settings', 'set', String(entry.row.index), String(Number(input.value))]);
        moving = false;
        entry.update(entry.row);
      });
      cell.appendChild(input);
      cell.appendChild(out);
      entry.update = (r) => {
        if (moving) return;
        const v = typeof r.value === 'number' ? r.value : r.min;
        if (Number(input.value) !== v) input.value = v;
        dom.setText(out, valueText(r.value));
      };
      break;
    }
    case 'segment': {
      const group = el('div', 'segments');
      group.setAttribute('role', 'radiogroup');
      group.setAttribute('aria-label', name);
      const buttons = (row.choices || []).map((choice) => {
        const b = el('button', 'segment', choice.title);
        b.type = 'button';
        b.setAttribute('role', 'radio');
        b.addEventListener('click', () => run(['settings', 'set', String(entry.row.index), choice.title]));
        group.appendChild(b);
        return b;
      });
      cell.appendChild(group);
      entry.update = (r) => buttons.forEach((b) => {
        const on = b.textContent === r.value;
        dom.setClass(b, 'selected', on);
        dom.setAttr(b, 'aria-checked', on ? 'true' : 'false');
      });
      break;
    }
    case 'list': {
      const select = el('select', 'list-choice');
      select.setAttribute('aria-label', name);
      for (const choice of row.choices || []) {
        const option = el('option', null, choice.title);
        option.value = choice.title;
        select.appendChild(option);
      }
      select.addEventListener('change', () => run(['settings', 'set', String(entry.row.index), select.value]));
      cell.appendChild(select);
      entry.update = (r) => { if (select.value !== r.value) select.value = r.value; };
      break;
    }
    default:
      if (row.value !== undefined) {
        const value = el('span', 'cell-value', valueText(row.value));
        value.title = valueText(row.value);
        cell.appendChild(value);
        entry.fit = () => fitValue(cell);
        entry.update = (r) => {
          dom.setText(value, valueText(r.value));
          dom.setAttr(value, 'title', valueText(r.value));
          fitValue(cell);
        };
      }
  }
  entry.update(row);
  return entry;
}

// Groups open a section (their label is its header, their footer closes it).
function buildRows(pane) {
  const box = $('pane');
  cells = new Map();
  headers = [];
  const parts = [];
  for (const cell of pane.header_cells || []) {
    const element = headerCell(cell);
    headers.push({ element, text: JSON.stringify(cell) });
    parts.push(element);
  }
  let section = null;
  let footer = null;
  const close = () => {
    if (section) parts.push(section);
    if (footer) parts.push(el('div', 'group-footer', footer));
    section = null;
    footer = null;
  };
  for (const row of pane.rows || []) {
    if (row.kind === 'group') {
      close();
      parts.push(row.label ? el('div', 'group-header', row.label) : el('div', 'group-gap'));
      section = el('div', 'group');
      footer = row.footer || null;
      continue;
    }
    if (!section) section = el('div', 'group');
    const entry = makeRow(row);
    cells.set(row.index, entry);
    section.appendChild(entry.cell);
  }
  close();
  box.replaceChildren(...parts);
  fitAll();
}

function fitAll() {
  fitted = $('pane').offsetWidth > 0;
  if (fitted) cells.forEach((c) => c.fit && c.fit());
}

// The same rows: only those whose specifier changed are touched.
function patchRows(pane) {
  (pane.header_cells || []).forEach((cell, i) => {
    const text = JSON.stringify(cell);
    if (headers[i].text === text) return;
    const element = headerCell(cell);
    headers[i].element.replaceWith(element);
    headers[i] = { element, text };
  });
  for (const row of pane.rows || []) {
    const entry = cells.get(row.index);
    if (!entry) continue;
    const text = JSON.stringify(row);
    if (entry.text === text) continue;
    entry.text = text;
    entry.row = row;
    entry.update(row);
  }
}

// A pane not open before opens at the top; going Back to one restores where it was scrolled to.
function scrollFor(identity, nav) {
  const at = stack.findIndex((p) => p.identity === identity);
  if (at >= 0) {
    stack.length = at + 1;
    return stack[at].scroll;
  }
  if (!nav.back) stack = [];
  stack.push({ identity, scroll: 0 });
  return 0;
}

function drawPane(pane) {
  const nav = pane.navigation || {};
  const identity = JSON.stringify([pane.title, nav.title, nav.back]);
  const top = stack.length ? stack[stack.length - 1] : null;
  const rowShapeText = JSON.stringify([identity, (pane.header_cells || []).length, (pane.rows || []).map(rowShape)]);
  drawNavigation(pane);
  if (rowShapeText === shape) {
    if (!fitted) fitAll();
    return patchRows(pane);
  }
  shape = rowShapeText;
  const box = $('pane');
  const focused = box.contains(document.activeElement) ? document.activeElement.closest('.cell') : null;
  const focusIndex = focused ? focused.dataset.index : null;
  const hadFocus = box.contains(document.activeElement);
  const scroll = top && top.identity === identity ? box.scrollTop : scrollFor(identity, nav);
  buildRows(pane);
  box.scrollTop = scroll;
  if (stack.length) stack[stack.length - 1].scroll = box.scrollTop;
  // Focus stays on the same row when the rows are redrawn, or moves into the new pane.
  if (hadFocus) {
    const again = focusIndex !== null && top && top.identity === identity
      ? box.querySelector('.cell[data-index="' + focusIndex + '"]') : null;
    const target = again && (again.tabIndex >= 0 ? again : again.querySelector('button, input, select'));
    (target || box).focus({ preventScroll: true });
  }
}

// A web page (pushed by a pane or opened in the browser) is a screen of its own for Back's scroll memory;
// presented.js draws it.
function drawWebView(pane) {
  const nav = pane.navigation || {};
  const page = pane.web_view || pane.opened_page;
  const identity = 'web ' + JSON.stringify([page.address, nav.back]);
  if (!stack.length || stack[stack.length - 1].identity !== identity) scrollFor(identity, nav);
  shape = '';
}

export function draw(s) {
  const pane = s.running && s.settings && s.settings.pid !== null ? s.pane : null;
  presented.draw(pane);
  if (!pane) {
    shape = '';
    navDrawn = '';
    stack = [];
    return;
  }
  if (pane.web_view || pane.opened_page) return drawWebView(pane);
  drawPane(pane);
}
