// The toolbar and panels around the timeline: the selected keys' fields
// (row, value, kind), the lanes list, the message line, the show's error,
// the link state, the undo buttons, the clock and the help's legend of
// key shapes. What the author does in them goes to the given actions.

import { selectedKeys, formatValue, sectionAt } from './model.js';
import { rowAtTime, formatTime } from './timeline.js';
import { drawKeyShape } from './view.js';

const $ = (id) => document.getElementById(id);
const MESSAGE_MS = 6000;

export class Panels {
  // actions: {commitRow(text), commitValue(text), leaveValue(), setKind(k),
  // setHidden(name, hidden), showAll(), setFilter(text), seekText(text),
  // undo(), redo(), togglePlay(), loop(), clearLoop()}.
  constructor(session, timing, actions) {
    this.session = session;
    this.timing = timing;
    this.actions = actions;
    this.leaving = false;
    this.lastClock = '';
    this.bind();
    this.drawLegend();
  }

  drawLegend() {
    for (const canvas of document.querySelectorAll('#legend canvas')) drawKeyShape(canvas.getContext('2d'), Number(canvas.dataset.kind), 8, 8);
  }

  bind() {
    const a = this.actions;
    for (const [id, commit] of [['key-row', a.commitRow], ['key-value', a.commitValue]]) {
      const field = $(id);
      // A field left with Tab or a click keeps what was typed, as Enter
      // does; Enter commits once (the blur after it sends no second change).
      field.addEventListener('change', () => {
        if (!this.leaving) this.commit(field, commit);
      });
      field.addEventListener('keydown', (e) => {
        if (e.key === 'Enter') this.commit(field, commit);
        if (e.key === 'Enter' || e.key === 'Escape') this.leave(field);
        if (e.key === 'Escape') this.updateFields(true);
      });
    }
    $('key-value').addEventListener('blur', () => a.leaveValue());
    $('key-kind').addEventListener('change', () => {
      a.setKind(Number($('key-kind').value));
      $('key-kind').blur();
    });
    $('seek-to').addEventListener('keydown', (e) => {
      if (e.key !== 'Enter') return;
      a.seekText(e.target.value);
      e.target.blur();
    });
    $('filter').addEventListener('input', (e) => a.setFilter(e.target.value));
    $('filter').addEventListener('keydown', (e) => {
      if (e.key === 'Enter' || e.key === 'Escape') e.target.blur();
    });
    const toggle = (panel) => ($(panel).hidden = !$(panel).hidden);
    $('lanes-button').addEventListener('click', () => toggle('lanes-panel'));
    $('lanes-close').addEventListener('click', () => ($('lanes-panel').hidden = true));
    $('lanes-all').addEventListener('click', () => a.showAll());
    $('help-button').addEventListener('click', () => toggle('help-panel'));
    $('help-close').addEventListener('click', () => ($('help-panel').hidden = true));
    $('play').addEventListener('click', () => a.togglePlay());
    $('loop').addEventListener('click', () => a.loop());
    $('clear-loop').addEventListener('click', () => a.clearLoop());
    $('undo').addEventListener('click', () => a.undo());
    $('redo').addEventListener('click', () => a.redo());
  }

  commit(field, action) {
    action(field.value);
    this.updateFields(true);
  }

  leave(field) {
    this.leaving = true;
    field.blur();
    this.leaving = false;
  }

  focusValue() {
    $('key-value').focus();
    $('key-value').select();
  }

  // The fields show the selected keys; a field being typed into keeps its
  // text unless force (after its own commit, refused or not).
  updateFields(force = false) {
    const s = this.session;
    const picked = s.state ? selectedKeys(s.state, s.selection) : [];
    const row = $('key-row');
    const value = $('key-value');
    const kind = $('key-kind');
    const typing = (e) => !force && document.activeElement === e;
    for (const e of [row, value, kind]) e.disabled = picked.length === 0;
    // The value typed after Enter stays open whatever the selection does
    // meanwhile: it goes to the key Enter made.
    if (s.entry && typing(value)) value.disabled = false;
    $('key-count').textContent = picked.length > 1 ? `${picked.length} keys` : '';
    if (picked.length === 0) {
      row.value = '';
      if (!(s.entry && typing(value))) value.value = '';
      return;
    }
    const first = picked[0];
    row.disabled = picked.length !== 1;
    if (!typing(row)) row.value = picked.length === 1 ? String(first.key.row) : '';
    if (!typing(value)) value.value = picked.every((p) => p.key.value === first.key.value) ? formatValue(first.key.value) : '';
    kind.value = String(first.key.kind);
  }

  updateButtons() {
    $('undo').disabled = !this.session.undo.canUndo();
    $('redo').disabled = !this.session.undo.canRedo();
  }

  updateLanesList() {
    const s = this.session;
    const list = $('lanes-list');
    if (list.childElementCount === s.state.tracks.length) {
      for (const box of list.querySelectorAll('input')) box.checked = !s.hidden.has(box.dataset.track);
      return;
    }
    list.textContent = '';
    for (const track of s.state.tracks) {
      const li = document.createElement('li');
      const label = document.createElement('label');
      const box = document.createElement('input');
      box.type = 'checkbox';
      box.checked = !s.hidden.has(track.name);
      box.dataset.track = track.name;
      box.addEventListener('change', () => this.actions.setHidden(track.name, !box.checked));
      const note = document.createElement('span');
      note.className = 'label';
      note.textContent = track.label;
      label.append(box, ` ${track.name}`, note);
      li.append(label);
      list.append(li);
    }
  }

  // Everything that follows the session's state.
  update() {
    if (!this.session.state) return;
    this.updateFields();
    this.updateButtons();
    this.updateLanesList();
  }

  say(text) {
    const box = $('message');
    box.textContent = text;
    box.hidden = !text;
    clearTimeout(this.messageTimer);
    if (text) this.messageTimer = setTimeout(() => (box.hidden = true), MESSAGE_MS);
  }

  showShowError(message) {
    const box = $('show-error');
    box.textContent = message ? `the show: ${message}` : '';
    box.hidden = !message;
  }

  linkState(on) {
    const e = $('link-state');
    e.textContent = on ? 'linked' : 'offline';
    e.classList.toggle('on', on);
  }

  // The playhead's time, row, bar and beat, and section, and whether it
  // plays.
  updateClock(time, paused, looping) {
    const state = this.session.state;
    const row = rowAtTime(time, state.rowsPerSecond);
    const s = sectionAt(state.sections, time);
    const at = this.timing.place(row);
    const text = `${formatTime(time)}  row ${row}  bar ${at.bar}.${Math.floor(at.beat + 1e-6)}${s >= 0 ? `  ${state.sections[s].name}` : ''}${paused ? '  paused' : ''}${looping ? '  loop' : ''}`;
    if (text === this.lastClock) return;
    this.lastClock = text;
    $('clock').textContent = text;
    $('play').textContent = paused ? '▶' : '❚❚';
  }
}
