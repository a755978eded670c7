'use strict';
// What the Settings app shows over its panes, drawn from the open pane's
// state: the compose sheet (the service's name, Cancel, the text, Post — the
// buttons run `settings sheet cancel|post`), and a web page, pushed by a pane
// or opened in the browser, with its address and, when it failed, why.

const presented = (() => {
  const $ = (id) => document.getElementById(id);

  function init(run) {
    $('sheet-cancel').addEventListener('click', () => run(['settings', 'sheet', 'cancel']));
    $('sheet-post').addEventListener('click', () => run(['settings', 'sheet', 'post']));
  }

  function drawSheet(sheet) {
    $('sheet').hidden = !sheet;
    if (!sheet) return;
    $('sheet-title').textContent = sheet.title || sheet.service || sheet.kind || '';
    $('sheet-text').textContent = sheet.text || '';
    const buttons = sheet.buttons || [];
    $('sheet-cancel').hidden = !buttons.includes('Cancel');
    $('sheet-post').hidden = !buttons.includes('Post');
  }

  function drawPage(pane) {
    const page = pane && (pane.opened_page || pane.web_view);
    if (!page) return;
    $('web-title').textContent = pane.opened_page ? pane.opened_page.app : '';
    $('web-address').textContent = page.address || '';
    const texts = { loading: 'Loading…', loaded: '', opened: 'Opened in ' + (page.app || 'another app') };
    $('web-state').textContent = page.failure || (page.state in texts ? texts[page.state] : page.state || '');
    $('web-state').classList.toggle('failed', !!page.failure);
  }

  function draw(pane) {
    drawSheet(pane && pane.sheet);
    drawPage(pane);
  }

  return { init, draw };
})();
