'use strict';
// The Settings app: its navigation bar and the open pane, drawn from the
// specifiers as `settings show --json` gives them. Every control runs the
// command the CLI would (`settings tap|set|back`), by row index.

const settingsPane = (() => {
  const $ = (id) => document.getElementById(id);
  let run = null;
  let drawn = '';  // the pane last drawn, so a slider being dragged is not redrawn under the finger

  function init(runCommand) {
    run = runCommand;
    $('nav-back').addEventListener('click', () => run(['settings', 'back']));
    $('web-back').addEventListener('click', () => run(['settings', 'back']));
    $('nav-right').addEventListener('click', () => run(['settings', 'tap', 'right']));
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
    img.alt = view.image || '';
    if (typeof view.alpha === 'number') img.style.opacity = String(view.alpha);
    return img;
  }

  function drawNavigation(pane) {
    const nav = pane.navigation || {};
    const back = $('nav-back');
    back.hidden = !nav.back;
    back.textContent = nav.back ? '‹ ' + nav.back : '';
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

  // A row the bundle draws itself (a chart): its views' images, in order.
  function drawnViews(row, cell) {
    for (const view of row.views || []) {
      const img = view.image && view.image.image_address;
      if (!img) continue;
      const picture = el('img', 'drawn-image');
      picture.src = img;
      picture.alt = (view.chart && view.chart.summary) || row.label || '';
      if (view.image.width) picture.style.width = view.image.width + 'px';
      cell.appendChild(picture);
    }
  }

  function rowFor(row) {
    const index = String(row.index);
    const cell = el('div', 'cell cell-' + row.kind);
    if (row.views && row.views.length) {
      cell.classList.add('cell-drawn');
      drawnViews(row, cell);
      return cell;
    }
    cell.dataset.index = index;
    cell.dataset.label = row.label || '';
    cell.appendChild(el('span', 'cell-label', row.label));
    switch (row.kind) {
      case 'link': {
        if (row.value !== undefined) cell.appendChild(el('span', 'cell-value', valueText(row.value)));
        cell.appendChild(el('span', 'chevron', '›'));
        cell.classList.add('tappable');
        cell.addEventListener('click', () => run(['settings', 'tap', index]));
        break;
      }
      case 'button':
        cell.classList.add('tappable');
        cell.addEventListener('click', () => run(['settings', 'tap', index]));
        break;
      case 'switch': {
        const toggle = el('button', 'switch' + (row.value ? ' on' : ''));
        toggle.type = 'button';
        toggle.setAttribute('role', 'switch');
        toggle.setAttribute('aria-checked', row.value ? 'true' : 'false');
        toggle.appendChild(el('span', 'switch-knob'));
        toggle.addEventListener('click', () => run(['settings', 'set', index, row.value ? 'off' : 'on']));
        cell.appendChild(toggle);
        break;
      }
      case 'slider': {
        cell.classList.add('cell-slider');
        const input = el('input', 'slider');
        input.type = 'range';
        input.min = row.min;
        input.max = row.max;
        input.step = 'any';
        input.value = typeof row.value === 'number' ? row.value : row.min;
        const out = el('output', 'slider-value', valueText(row.value));
        input.addEventListener('input', () => { out.textContent = valueText(Number(input.value)); });
        input.addEventListener('change', () => run(['settings', 'set', index, String(Number(input.value))]));
        cell.appendChild(input);
        cell.appendChild(out);
        break;
      }
      case 'segment': {
        const group = el('div', 'segments');
        for (const choice of row.choices || []) {
          const b = el('button', 'segment' + (choice.title === row.value ? ' selected' : ''), choice.title);
          b.type = 'button';
          b.addEventListener('click', () => run(['settings', 'set', index, choice.title]));
          group.appendChild(b);
        }
        cell.appendChild(group);
        break;
      }
      case 'list': {
        const select = el('select', 'list-choice');
        for (const choice of row.choices || []) {
          const option = el('option', null, choice.title);
          option.value = choice.title;
          option.selected = choice.title === row.value;
          select.appendChild(option);
        }
        select.addEventListener('change', () => run(['settings', 'set', index, select.value]));
        cell.appendChild(select);
        break;
      }
      default:
        if (row.value !== undefined) cell.appendChild(el('span', 'cell-value', valueText(row.value)));
    }
    return cell;
  }

  // Groups open a section (their label is its header, their footer closes it).
  function drawRows(pane) {
    const box = $('pane');
    box.replaceChildren();
    for (const cell of pane.header_cells || []) box.appendChild(headerCell(cell));
    let section = null;
    let footer = null;
    const close = () => {
      if (section) box.appendChild(section);
      if (footer) box.appendChild(el('div', 'group-footer', footer));
      section = null;
      footer = null;
    };
    for (const row of pane.rows || []) {
      if (row.kind === 'group') {
        close();
        if (row.label) box.appendChild(el('div', 'group-header', row.label));
        else box.appendChild(el('div', 'group-gap'));
        section = el('div', 'group');
        footer = row.footer || null;
        continue;
      }
      if (!section) section = el('div', 'group');
      section.appendChild(rowFor(row));
    }
    close();
  }

  function draw(s) {
    const pane = s.running && s.settings && s.settings.pid !== null ? s.pane : null;
    presented.draw(pane);
    if (!pane) {
      drawn = '';
      return;
    }
    const text = JSON.stringify(pane);
    if (text === drawn) return;
    drawn = text;
    if (pane.web_view || pane.opened_page) return;
    drawNavigation(pane);
    drawRows(pane);
  }

  return { init, draw };
})();
