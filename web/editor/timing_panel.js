// The timing bar under the toolbar: the snapping mode and the grid, record
// with its knob slider, tolerance and MIDI learn, and inserting or removing
// time at the playhead; and the readout of what is under the pointer. What
// the author does in them goes to the given actions.

const $ = (id) => document.getElementById(id);
const KNOB_STEPS = 1000;

export class TimingPanel {
  // actions: {cycleSnap(), toggleGrid(), toggleRecord(), knob(share),
  // setTolerance(text), learn(), shiftTime(count text, unit, remove)}.
  constructor(actions) {
    this.actions = actions;
    this.bind();
  }

  bind() {
    const a = this.actions;
    $('snap-mode').addEventListener('click', () => a.cycleSnap());
    $('grid-mode').addEventListener('click', () => a.toggleGrid());
    $('record').addEventListener('click', () => a.toggleRecord());
    const knob = $('knob');
    knob.max = String(KNOB_STEPS);
    knob.addEventListener('input', () => a.knob(Number(knob.value) / KNOB_STEPS));
    // Released, the slider gives the keys back to the timeline.
    knob.addEventListener('change', () => knob.blur());
    const tolerance = $('tolerance');
    tolerance.addEventListener('change', () => a.setTolerance(tolerance.value));
    tolerance.addEventListener('keydown', (e) => {
      if (e.key === 'Enter' || e.key === 'Escape') tolerance.blur();
    });
    $('midi-learn').addEventListener('click', () => a.learn());
    const shift = (remove) => a.shiftTime($('shift-count').value, $('shift-unit').value, remove);
    $('insert-time').addEventListener('click', () => shift(false));
    $('remove-time').addEventListener('click', () => shift(true));
    $('shift-count').addEventListener('keydown', (e) => {
      if (e.key === 'Enter' || e.key === 'Escape') e.target.blur();
    });
  }

  // timing: the MusicTiming; recorder; midi: the MidiKnobs.
  update(timing, recorder, midi) {
    const music = timing.music;
    $('snap-mode').textContent = `snap ${timing.mode}`;
    $('grid-mode').textContent = timing.onMusicGrid() ? 'grid: music' : 'grid: rows';
    $('grid-mode').title = music.pulse
      ? `Grid (G): the music's beats and bars (${Math.round(music.tempo * 10) / 10} BPM), or rows`
      : `Grid (G): rows; the music ${music.ready ? 'has no pulse' : music.error ? `could not be analysed: ${music.error}` : 'is not analysed yet'}`;
    const record = $('record');
    record.classList.toggle('armed', recorder.armed);
    record.classList.toggle('taking', recorder.taking);
    record.textContent = recorder.taking ? '● recording' : recorder.armed ? '● rec on' : '● rec';
    if (document.activeElement !== $('tolerance')) $('tolerance').value = String(Math.round(recorder.tolerance * 1e4) / 100);
    const state = $('midi-state');
    if (midi.learning !== null) state.textContent = `move a controller for lane ${midi.learning}`;
    else if (midi.state === 'on') state.textContent = midi.map.size ? midi.describe() : `${midi.inputs} MIDI input${midi.inputs === 1 ? '' : 's'}`;
    else state.textContent = midi.state === 'refused' ? 'MIDI refused' : midi.state === 'none' ? 'no Web MIDI here' : '';
    $('midi-learn').disabled = midi.state !== 'on';
  }

  readout(text) {
    const box = $('readout');
    box.textContent = text;
    box.hidden = !text;
  }
}
