'use strict';
// Glue: one state document at a time goes to the phone and the controls;
// every click becomes a command line, and its answer is shown.

const app = (() => {
  let state = null;

  function showResult(args, result) {
    const box = document.getElementById('command-result');
    const text = [result.output, result.error].filter((t) => t && t.trim()).join('\n').trim();
    box.hidden = false;
    box.className = 'command-result ' + (result.status === 0 ? 'ok' : 'failed');
    box.textContent = '$ simdevice ' + args.map(quote).join(' ') + (text ? '\n' + text : '') +
      (result.status === 0 ? '' : '\n(exit status ' + result.status + ')');
  }

  function quote(word) {
    return /^[\w@%+=:,./-]+$/.test(word) ? word : "'" + word.replace(/'/g, "'\\''") + "'";
  }

  async function run(args) {
    const result = await api.run(args);
    showResult(args, result);
    return result;
  }

  function onState(next) {
    const previous = state;
    state = next;
    document.getElementById('generation').textContent = 'generation ' + next.generation;
    phone.draw(next, previous);
    settingsPane.draw(next, previous);
    controls.draw(next, previous);
  }

  function onConnection(status) {
    const badge = document.getElementById('connection');
    const texts = {
      live: 'live',
      reconnecting: 'reconnecting…',
      disconnected: 'server gone: retrying…',
      refused: 'refused: open the address simdevice web printed (it holds the session token)',
    };
    badge.textContent = texts[status] || status;
    badge.className = 'badge ' + status;
    document.body.dataset.connection = status;
  }

  document.addEventListener('DOMContentLoaded', () => {
    phone.init(run);
    settingsPane.init(run);
    controls.init(run);
    api.subscribe(onState, onConnection);
  });

  return { run, get state() { return state; } };
})();
