// The editing session: the player's state as the page shows it, the lanes in
// sight, the selection, and the edits made on them. Edits show at once and
// go to the player in order through the edit channel; undo and redo send
// edits like any other. A step is a list of edits, or a shift of time
// across every track. A refused step leaves the undo history and the state
// is read again once nothing is in flight; a state read that an edit
// overtook is read again rather than shown. No DOM: the player's edit and
// state requests are given.

import { EditChannel } from './edit_channel.js';
import { UndoStack } from './undo.js';
import { layoutLanes, laneHeight } from './lanes.js';
import { findKey } from './sync_curve.js';
import {
  readState, applyEdits, wireEdits, keyAt, trackValueAt, selectionKey, parseSelectionKey, selectedKeys, moveEdits,
  deleteEdits, kindEdits, copyKeys, pasteEdits, parseValue, parseRow, rowProblem,
} from './model.js';
import { applyShift, inverseShift, shiftSelection } from './time_shift.js';

// What a step sent does to a state: its edits, or its shift.
function applySent(state, sent) {
  return sent.shift ? applyShift(state, sent.shift) : applyEdits(state, sent.edits);
}

export class Session {
  // link: {edit(edits) → {status, body}, shift({at, by}) → {status, body},
  // state() → the state's JSON}.
  constructor(link, undoLimit = 500) {
    this.link = link;
    this.state = null;
    this.trackByName = new Map();
    this.hidden = new Set();
    this.collapsed = new Set();
    this.heights = new Map(); // lanes the author made taller or shorter
    this.filter = '';
    this.layout = { lanes: [], height: 0 };
    this.openLanes = new Set();
    this.selectedTrack = null;
    this.selection = new Set();
    this.clipboard = null;
    // The key the last Enter made or picked, which the value typed next goes
    // to: {track, row, step}.
    this.entry = null;
    this.undo = new UndoStack(undoLimit);
    // The keys as the player has them, as far as the page knows (the last
    // state read and the steps taken since), and the steps sent and not
    // answered yet, in order.
    this.confirmed = null;
    this.pending = [];
    this.channel = new EditChannel((request) => (Array.isArray(request) ? link.edit(request) : link.shift(request.shift)));
    this.channel.onAnswer = (step, answer) => this.answered(step, answer);
    this.channel.onIdle = () => this.settle();
    this.stateVersion = undefined; // the version the page's keys stand for
    this.announced = undefined; // the version the last sync event named
    this.reloadWanted = false;
    this.loading = false;
    this.onChange = () => {};
    this.onMessage = () => {};
    this.onLoad = () => {}; // a state read from the player, shown
  }

  say(text) {
    this.onMessage(text);
  }

  // ---- the state ----

  async load() {
    try {
      this.setState(readState(await this.link.state()), true);
      return true;
    } catch (error) {
      this.say(`cannot load the state: ${error.message}`);
      return false;
    }
  }

  // Replaces the state; on the first load, tracks without keys start folded.
  setState(state, first = false) {
    const known = new Set(this.state ? this.state.tracks.map((t) => t.name) : []);
    this.state = state;
    this.confirmed = state;
    this.trackByName = new Map(state.tracks.map((t) => [t.name, t]));
    for (const track of state.tracks) {
      if ((first || !known.has(track.name)) && track.keys.length === 0) this.collapsed.add(track.name);
    }
    if (first) {
      this.selectedTrack = state.tracks.length ? state.tracks[0].name : null;
      this.stateVersion = state.version;
      this.channel.version = state.version;
    }
    this.onLoad(state);
    this.relayout();
  }

  // Lanes and the selection after the state or the lanes in sight
  // changed: the selection keeps only keys that exist on an open lane, so
  // nothing the author cannot see is edited. The selected lane stays
  // selected while it is hidden; Enter and paste wait until it shows.
  relayout() {
    if (!this.state) return;
    this.layout = layoutLanes(this.state.tracks, { hidden: this.hidden, collapsed: this.collapsed, filter: this.filter, heights: this.heights });
    this.openLanes = new Set(this.layout.lanes.filter((l) => !l.collapsed).map((l) => l.track));
    if (!this.trackByName.has(this.selectedTrack)) this.selectedTrack = this.state.tracks.length ? this.state.tracks[0].name : null;
    this.selection = this.visible(this.selection);
    this.onChange();
  }

  visible(selection) {
    const out = new Set();
    for (const k of selection) {
      const { track, row } = parseSelectionKey(k);
      const t = this.trackByName.get(track);
      if (t && this.openLanes.has(track) && keyAt(t.keys, row)) out.add(k);
    }
    return out;
  }

  onSync(version) {
    this.announced = version;
    if (this.channel.idle()) this.settle();
  }

  // The event stream came back: whatever happened while it was down is
  // read again.
  linkOpened() {
    if (!this.state) return;
    this.reloadWanted = true;
    if (this.channel.idle()) this.settle();
  }

  // With nothing in flight: the state is read again when a step was
  // refused, an answer showed another change, or a sync event named a
  // version the page's keys do not stand for.
  settle() {
    if (!this.state || this.loading || !this.channel.idle()) return;
    if (this.reloadWanted || (this.announced !== undefined && this.announced !== this.stateVersion)) this.reload();
  }

  async reload() {
    this.loading = true;
    this.reloadWanted = false;
    this.announced = undefined;
    const sentBefore = this.channel.sent;
    try {
      const state = readState(await this.link.state());
      // Read before an edit that went out meanwhile: it may not hold that
      // edit, so it is read again once the channel is idle.
      if (this.channel.sent !== sentBefore || !this.channel.idle()) {
        this.reloadWanted = true;
      } else {
        this.stateVersion = state.version;
        this.channel.version = state.version;
        this.setState(state);
      }
    } catch (error) {
      this.say(`cannot load the state: ${error.message}`);
    } finally {
      this.loading = false;
    }
    this.settle();
  }

  answered(step, answer) {
    const sent = this.pending.shift();
    if (answer.ok) {
      // The page's own step moves the version by one (or not at all when
      // it changed nothing); more means something else changed too.
      const v = answer.version;
      if (v !== this.stateVersion && v !== this.stateVersion + 1) this.reloadWanted = true;
      this.stateVersion = v;
      const taken = applySent(this.confirmed, sent);
      if (taken.error) this.reloadWanted = true;
      else this.confirmed = taken.state;
      return;
    }
    this.undo.discard(step);
    if (step) step.refused = true;
    if (this.entry && this.entry.step === step) this.entry.refused = true;
    this.reloadWanted = true;
    this.say(answer.status === 0 ? answer.error : `the player refused the edit: ${answer.error}`);
    // Taken back at once, as one: the keys the player has, as far as the
    // page knows, with the steps still in flight on them.
    let state = this.confirmed;
    for (const p of this.pending) {
      const again = applySent(state, p);
      if (!again.error) state = again.state;
    }
    this.show(state);
  }

  // ---- edits ----

  // Applies edits at once and sends them as one step; the step, or null
  // when they do not apply (the reason said).
  commit(edits, selection) {
    if (!this.state || edits.length === 0) return null;
    const result = applyEdits(this.state, edits);
    if (result.error) {
      this.say(result.error);
      return null;
    }
    // What undo expects to find: the keys this step leaves.
    const step = { edits, inverse: result.inverse, was: result.was, left: applyEdits(result.state, result.inverse).was };
    this.undo.push(step);
    this.apply(result, edits, step, selection);
    return step;
  }

  // Shows applied edits and sends them, tagged with their undo step, each
  // naming the key it expects at its row.
  apply(result, edits, step, selection, was = result.was) {
    this.pending.push({ edits, step });
    this.show(result.state, selection);
    this.channel.send(wireEdits(edits, was), step);
  }

  // More edits for a step already sent, such as a take's next batch of
  // taps: shown at once and sent as a request of their own, while undo
  // takes the whole step back. A step refused, or no longer the last one
  // made, gives way to a new step. Returns the step, or null.
  extend(step, edits) {
    if (!step || step.refused || step.shift || this.undo.done.at(-1) !== step) return this.commit(edits);
    if (!this.state || edits.length === 0) return step;
    const result = applyEdits(this.state, edits);
    if (result.error) {
      this.say(result.error);
      return null;
    }
    step.edits = [...step.edits, ...edits];
    step.was = [...step.was, ...result.was];
    step.inverse = [...result.inverse, ...step.inverse];
    step.left = applyEdits(result.state, step.inverse).was;
    this.apply(result, edits, step);
    return step;
  }

  // Time inserted (by > 0) or removed (by < 0) at a row across every track,
  // as one step. Returns the step, or null (the reason said).
  commitShift(shift) {
    if (!this.state) return null;
    const result = applyShift(this.state, shift);
    if (result.error) {
      this.say(result.error);
      return null;
    }
    const step = { shift };
    this.undo.push(step);
    this.sendShift(result.state, shift, step);
    return step;
  }

  sendShift(state, shift, step) {
    this.pending.push({ shift, step });
    this.show(state, shiftSelection(this.selection, shift));
    this.channel.send({ shift }, step);
  }

  show(state, selection) {
    this.state = state;
    this.trackByName = new Map(state.tracks.map((t) => [t.name, t]));
    if (selection) this.selection = selection;
    this.relayout();
  }

  // Undo sends the step's inverse, redo its edits again, each naming the
  // keys as the step left (or found) them: where anything else changed one
  // since, even a change the page already shows, the player refuses and its
  // keys stay.
  undoStep(redo = false) {
    if (!this.state) return;
    const step = redo ? this.undo.redo() : this.undo.undo();
    if (!step) return this.say(redo ? 'nothing to redo' : 'nothing to undo');
    if (step.shift) {
      const shift = redo ? step.shift : inverseShift(step.shift);
      const shifted = applyShift(this.state, shift);
      if (shifted.error) {
        this.undo.discard(step);
        return this.say(`cannot ${redo ? 'redo' : 'undo'}: ${shifted.error}`);
      }
      return this.sendShift(shifted.state, shift, step);
    }
    const edits = redo ? step.edits : step.inverse;
    const result = applyEdits(this.state, edits);
    if (result.error) {
      this.undo.discard(step);
      return this.say(`cannot ${redo ? 'redo' : 'undo'}: ${result.error}`);
    }
    this.apply(result, edits, step, null, redo ? step.was : step.left);
  }

  // A key at a row of a track (the track's value there), or the key already
  // there, selected; the lane opens. Returns {step} or null.
  setKey(name, row) {
    const track = this.trackByName.get(name);
    if (!track) return null;
    const problem = rowProblem(row, this.state.maxRow);
    if (problem) {
      this.say(problem);
      return null;
    }
    if (this.collapsed.delete(name)) this.relayout();
    const selection = new Set([selectionKey(name, row)]);
    if (keyAt(track.keys, row)) {
      this.select(selection);
      return { step: null };
    }
    const before = findKey(track.keys, row);
    const kind = before >= 0 ? track.keys[before].kind : 0;
    const step = this.commit([{ op: 'set', track: name, row, value: trackValueAt(track, row), kind }], selection);
    return step ? { step } : null;
  }

  // Enter: a key at the row on the selected lane, the value typed next
  // going to it. Whatever happens before that value comes (the playhead
  // playing on, state reads, sync events), it goes to this key at this row,
  // not to one at wherever the playhead is then. Returns whether a key is
  // there to type into.
  enterKey(row) {
    if (!this.shown(this.selectedTrack)) return false;
    const made = this.setKey(this.selectedTrack, row);
    this.entry = made ? { track: this.selectedTrack, row, step: made.step } : null;
    return !!made;
  }

  // Whether a lane is in sight to take a key, else says so.
  shown(name) {
    if (!name) this.say('select a lane first (Up / Down)');
    else if (!this.layout.lanes.some((l) => l.track === name)) this.say(`lane ${name} is not shown: show it, or select a lane (Up / Down)`);
    else return true;
    return false;
  }

  leaveEntry() {
    this.entry = null;
  }

  // A typed value for the key Enter made, else for the selected keys.
  commitValue(text) {
    const parsed = parseValue(text);
    if (parsed.error) return this.say(parsed.error);
    const entry = this.entry;
    this.entry = null;
    let picked;
    let selection;
    if (entry) {
      const track = this.trackByName.get(entry.track);
      const key = track && !entry.refused ? keyAt(track.keys, entry.row) : null;
      if (!key) return this.say(`the value was not set: the key at row ${entry.row} of track ${entry.track} is not there (it was refused or removed)`);
      picked = [{ track: entry.track, key }];
      selection = this.openLanes.has(entry.track) ? new Set([selectionKey(entry.track, entry.row)]) : undefined;
    } else {
      picked = selectedKeys(this.state, this.selection);
      if (picked.length === 0) return this.say('no key selected: the value was not set');
    }
    const value = Math.fround(parsed.value);
    const edits = picked.filter((p) => p.key.value !== value).map((p) => ({ op: 'value', track: p.track, row: p.key.row, value: parsed.value }));
    if (edits.length) this.commit(edits, selection);
    else if (selection) this.select(selection);
  }

  // A typed row for the one selected key.
  commitRow(text) {
    const picked = selectedKeys(this.state, this.selection);
    if (picked.length !== 1) return this.say('select one key to give it a row');
    const parsed = parseRow(text, this.state.maxRow);
    if (parsed.error) return this.say(parsed.error);
    const moved = moveEdits(this.state, this.selection, parsed.row - picked[0].key.row);
    if (moved.error) return this.say(moved.error);
    this.commit(moved.edits, moved.selection);
  }

  deleteSelected() {
    this.commit(deleteEdits(this.state, this.selection), new Set());
  }

  setKind(kind) {
    this.commit(kindEdits(this.state, this.selection, kind));
  }

  copy() {
    const clip = copyKeys(this.state, this.selection);
    if (!clip) return this.say('no key selected to copy');
    this.clipboard = clip;
    this.say(`${clip.keys.length} key${clip.keys.length > 1 ? 's' : ''} copied`);
  }

  // At a row, onto the selected lane and the lanes below it.
  paste(row) {
    if (!this.clipboard) return this.say('nothing copied yet (Ctrl+C)');
    if (!this.shown(this.selectedTrack)) return;
    const lanes = this.layout.lanes.map((l) => l.track);
    const pasted = pasteEdits(this.state, this.clipboard, row, lanes.slice(lanes.indexOf(this.selectedTrack)));
    if (pasted.error) return this.say(`cannot paste: ${pasted.error}`);
    const tracks = new Set([...pasted.selection].map((k) => parseSelectionKey(k).track));
    if (![...tracks].every((name) => this.shown(name))) return;
    for (const name of tracks) this.collapsed.delete(name);
    this.relayout();
    this.commit(pasted.edits, pasted.selection);
  }

  // ---- selection and lanes ----

  select(selection) {
    this.entry = null;
    this.selection = this.visible(selection);
    this.onChange();
  }

  selectTrack(name) {
    this.selectedTrack = name;
    this.onChange();
  }

  // The lane above (-1) or below (+1) the selected one.
  selectLane(direction) {
    const lanes = this.layout.lanes;
    if (lanes.length === 0) return;
    const at = lanes.findIndex((l) => l.track === this.selectedTrack);
    this.selectTrack(lanes[at < 0 ? 0 : Math.max(0, Math.min(lanes.length - 1, at + direction))].track);
  }

  setHidden(name, hidden) {
    if (hidden) this.hidden.add(name);
    else this.hidden.delete(name);
    this.relayout();
  }

  showAll() {
    this.hidden.clear();
    this.relayout();
  }

  setFilter(text) {
    this.filter = text;
    this.relayout();
  }

  setLaneHeight(name, h) {
    this.heights.set(name, laneHeight(h));
    this.relayout();
  }

  toggleFold(name) {
    if (!this.collapsed.delete(name)) this.collapsed.add(name);
    this.relayout();
  }
}
