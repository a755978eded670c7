// The page's entry: one state document at a time goes to the phone and the
// controls; every click becomes a command line, and its answer is shown.

import * as api from './api.js';
import * as controls from './controls.js';
import * as dom from './dom.js';
import { $ } from './dom.js';
import * as phone from './phone.js';
import * as settingsPane from './settings_pane.js';

let state = null;
const currentState = () => state;

// The result box keeps its place (it is there, empty, from the start), so
// the first answer moves no control.
function showResult(args, result) {
  const box = $('command-result');
  const text = [result.output, result.error].filter((t) => t && t.trim()).join('\n').trim();
  box.className = 'command-result ' + (result.status === 0 ? 'ok' : 'failed');
  box.textContent = '$ simdevice ' + args.map(quote).join(' ') + (text ? '\n' + text : '') +
    (result.status === 0 ? '' : '\n(exit status ' + result.status + ')');
  box.scrollTop = 0;
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
  dom.setText($('generation'), 'state update ' + next.generation);
  phone.draw(next, previous);
  settingsPane.draw(next, previous);
  controls.draw(next, previous);
}

// Refused (another server, another token): the phone and the controls are
// greyed and inert, as nothing they show is known any more, and the page
// says how to get back.
function onConnection(status) {
  const badge = $('connection');
  const texts = {
    live: 'live',
    reconnecting: 'reconnecting…',
    disconnected: 'server gone: retrying…',
    refused: 'refused',
  };
  dom.setText(badge, texts[status] || status);
  badge.className = 'badge ' + status;
  document.body.dataset.connection = status;
  const stale = status === 'refused' || status === 'disconnected';
  for (const id of ['phone-column', 'controls']) $(id).inert = stale;
  $('refused').hidden = status !== 'refused';
  dom.setText($('refused-address'), location.origin + '/?token=…');
  if (stale) dom.setText($('device-root'), 'device state unknown');
}

// A module runs once the document is parsed: the elements are all there.
phone.init(run, currentState);
settingsPane.init(run);
controls.init(run, currentState);
api.subscribe(onState, onConnection);
