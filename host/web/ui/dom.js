// Redrawing by difference: the page changes a node only when what it shows
// changed, so a row under the pointer, the focus and a scroll position
// survive the state events that arrive several times a second.

// Changes the text of an element, in place when it already holds a single
// text node (a characterData change, no node replaced).
export function setText(element, text) {
  const value = text === undefined || text === null ? '' : String(text);
  const only = element.childNodes.length === 1 ? element.firstChild : null;
  if (only && only.nodeType === Node.TEXT_NODE) {
    if (only.nodeValue !== value) only.nodeValue = value;
  } else if (element.childNodes.length || value) {
    element.textContent = value;
  }
}

export function setHidden(element, hidden) {
  if (element.hidden !== !!hidden) element.hidden = !!hidden;
}

export function setAttr(element, name, value) {
  if (value === null || value === undefined) {
    if (element.hasAttribute(name)) element.removeAttribute(name);
  } else if (element.getAttribute(name) !== String(value)) {
    element.setAttribute(name, String(value));
  }
}

export function setStyle(element, property, value) {
  if (element.style[property] !== value) element.style[property] = value;
}

export function setClass(element, name, on) {
  if (element.classList.contains(name) !== !!on) element.classList.toggle(name, !!on);
}

// Makes an element act as a button for the keyboard: Tab reaches it, Enter
// and Space press it, and it has a role and a name for assistive technology.
export function pressable(element, label, onPress) {
  element.tabIndex = 0;
  element.setAttribute('role', 'button');
  if (label) element.setAttribute('aria-label', label);
  element.addEventListener('click', onPress);
  element.addEventListener('keydown', (e) => {
    if (e.key !== 'Enter' && e.key !== ' ') return;
    e.preventDefault();
    onPress(e);
  });
}

// The level as the add-on counts it, from a state document: the
// level_percent it carries (next to the level, or at its top), else the
// same rule (level × 100 in 32-bit floats, truncated); null when unknown.
export function levelPercent(s) {
  const battery = (s && s.hardware && s.hardware.battery) || {};
  for (const carried of [battery.level_percent, s && s.level_percent]) {
    if (typeof carried === 'number') return carried;
    if (carried === null) return null;
  }
  const level = battery.level;
  if (typeof level !== 'number' || !(level >= 0)) return null;
  return Math.trunc(Math.fround(Math.fround(level) * 100));
}

// The page's one element lookup, by id.
export const $ = (id) => document.getElementById(id);
