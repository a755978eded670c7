'use strict';
// The controls beside the phone. Each runs the command the CLI would; what
// they show comes back from the device in the next state event.

const controls = (() => {
  const $ = (id) => document.getElementById(id);
  let run = null;
  const kListener = 'com.zelmoraq.pylonexpro2';
  let logLines = [];

  function init(runCommand) {
    run = runCommand;
    $('c-listener').value = kListener;
    const click = (id, args) => $(id).addEventListener('click', () => run(typeof args === 'function' ? args() : args));
    click('c-boot', ['boot']);
    click('c-shutdown', ['shutdown']);
    click('c-respring', ['respring']);
    click('c-lock', ['lock']);
    click('c-unlock', ['unlock']);
    click('c-plug', ['plug']);
    click('c-unplug', ['unplug']);
    click('c-gesture', () => ['activator', $('c-listener').value.trim() || kListener]);
    click('c-clock-set', () => ['clock', $('c-clock').value.trim()]);
    $('c-clock').addEventListener('keydown', (e) => { if (e.key === 'Enter') run(['clock', $('c-clock').value.trim()]); });
    const level = $('c-level');
    level.addEventListener('input', () => { $('c-level-out').textContent = level.value + '%'; });
    level.addEventListener('change', () => run(['battery', level.value + '%']));
    $('c-state').addEventListener('change', () => run(['battery', '--state', $('c-state').value]));
    for (const name of ['wifi', 'bluetooth', 'airplane', 'location']) {
      const box = $('h-' + name);
      box.addEventListener('change', () => run(['hardware', name, box.checked ? 'on' : 'off']));
    }
    const brightness = $('h-brightness');
    brightness.addEventListener('input', () => { $('h-brightness-out').textContent = brightness.value + '%'; });
    brightness.addEventListener('change', () => run(['hardware', 'brightness', brightness.value + '%']));
    $('log-filter').addEventListener('input', drawLog);
  }

  // Values a person is moving are left alone until they let go.
  function setIfIdle(input, value) {
    if (document.activeElement === input && input.type === 'range') return;
    if (input.type === 'checkbox') input.checked = !!value;
    else input.value = value;
  }

  function flatten(value, prefix, rows) {
    if (value && typeof value === 'object' && !Array.isArray(value)) {
      for (const key of Object.keys(value).sort()) flatten(value[key], prefix ? prefix + '.' + key : key, rows);
    } else {
      rows.push([prefix, Array.isArray(value) ? JSON.stringify(value) : String(value)]);
    }
    return rows;
  }

  function drawTable(id, data) {
    const table = $(id);
    table.replaceChildren();
    if (!data) {
      const tr = document.createElement('tr');
      const td = document.createElement('td');
      td.colSpan = 2;
      td.className = 'muted';
      td.textContent = '(no file)';
      tr.appendChild(td);
      table.appendChild(tr);
      return;
    }
    for (const [key, value] of flatten(data, '', [])) {
      const tr = document.createElement('tr');
      tr.dataset.key = key;
      const k = document.createElement('th');
      k.textContent = key;
      const v = document.createElement('td');
      v.textContent = value;
      tr.append(k, v);
      table.appendChild(tr);
    }
  }

  function drawLog() {
    const filter = $('log-filter').value.trim().toLowerCase();
    const shown = filter ? logLines.filter((l) => l.toLowerCase().includes(filter)) : logLines;
    const log = $('log');
    const atBottom = log.scrollTop + log.clientHeight >= log.scrollHeight - 4;
    log.textContent = shown.join('\n');
    if (atBottom) log.scrollTop = log.scrollHeight;
  }

  function draw(s) {
    document.getElementById('device-root').textContent = s.running ? 'device running' : 'device stopped';
    const hw = s.hardware || {};
    const battery = hw.battery || {};
    if (typeof battery.level === 'number' && battery.level >= 0) {
      setIfIdle($('c-level'), battery.level_percent);
      if (document.activeElement !== $('c-level')) $('c-level-out').textContent = battery.level_percent + '%';
    }
    if (battery.state) setIfIdle($('c-state'), battery.state);
    $('c-source').textContent = s.battery_source || '(none)';
    for (const name of ['wifi', 'bluetooth', 'airplane', 'location']) setIfIdle($('h-' + name), hw[name]);
    if (typeof hw.brightness === 'number') {
      setIfIdle($('h-brightness'), Math.round(hw.brightness * 100));
      if (document.activeElement !== $('h-brightness')) $('h-brightness-out').textContent = Math.round(hw.brightness * 100) + '%';
    }
    $('h-vibrations').textContent = hw.vibrations ?? 0;
    const sb = s.springboard || {};
    $('c-device-state').textContent = !s.running ? 'not running'
      : sb.pid === null ? 'SpringBoard restarting'
      : 'SpringBoard pid ' + sb.pid + (sb.safe_mode ? ' (safe mode)' : '') + ', restarts ' + sb.restarts;
    drawTable('t-battery-data', s.files && s.files.battery_data);
    drawTable('t-settings', s.files && s.files.settings);
    logLines = s.syslog || [];
    drawLog();
  }

  return { init, draw };
})();
