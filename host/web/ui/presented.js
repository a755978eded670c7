// What the Settings app shows over its panes, drawn from the open pane's
// state: the compose sheet (the service's name, Cancel, the text, Post — the
// buttons run `settings sheet cancel|post`), and a web page, pushed by a pane
// or opened in the browser, with its address and, when it failed, why.

import * as dom from './dom.js';
import { $ } from './dom.js';

export function init(run) {
  $('sheet-cancel').addEventListener('click', () => run(['settings', 'sheet', 'cancel']));
  $('sheet-post').addEventListener('click', () => run(['settings', 'sheet', 'post']));
}

function drawSheet(sheet) {
  dom.setHidden($('sheet'), !sheet);
  if (!sheet) return;
  dom.setText($('sheet-title'), sheet.title || sheet.service || sheet.kind || '');
  dom.setText($('sheet-text'), sheet.text || '');
  const buttons = sheet.buttons || [];
  dom.setHidden($('sheet-cancel'), !buttons.includes('Cancel'));
  dom.setHidden($('sheet-post'), !buttons.includes('Post'));
}

function drawPage(pane) {
  const page = pane && (pane.opened_page || pane.web_view);
  if (!page) return;
  dom.setText($('web-title'), pane.opened_page ? pane.opened_page.app : '');
  dom.setText($('web-address'), page.address || '');
  const texts = { loading: 'Loading…', loaded: '', opened: 'Opened in ' + (page.app || 'another app') };
  dom.setText($('web-state'), page.failure || (page.state in texts ? texts[page.state] : page.state || ''));
  dom.setClass($('web-state'), 'failed', !!page.failure);
}

export function draw(pane) {
  drawSheet(pane && pane.sheet);
  drawPage(pane);
}
