// Org Studio: a piano-roll editor of Org songs, heard as the game plays them. Owns the song being
// edited and its history (every state's bytes, as the library's writer gives them), turns mouse,
// touch and key input into edits, keeps the working song in the browser's storage and in a link,
// and exposes window.orgStudio {load(bytes), save(), shareUrl(), undo(), redo()} for scripts.
// Shares the player's modules (../orgsong.js, ../wav.js, ../playlist.js, ../worklet.js).
import {drumName, loadOrgsynth, MELODY_TRACKS, TRACKS} from '../orgsong.js';
import {parseMusicList, titleOfFile} from '../playlist.js';
import {renderWav} from '../wav.js';

import {keyName, RollView} from './roll_view.js';
import {cloneSong, importMidi, IN_TUNE, KEYS, newSong, NO_VALUE, readSong, writeSong} from './song_data.js';
import {songLink, songOfFragment, storedSong, storeSong} from './song_link.js';
import {StudioAudio} from './studio_audio.js';

const $ = (selector) => document.querySelector(selector);
const DRUM_KEY = 27;                 // a new drum hit's key: about the drum samples' own rate
const PIANO_LOWER = 'zsxdcvgbhnjm';  // C to B, as trackers lay out the keyboard
const PIANO_UPPER = 'q2w3e4r5t6y7u';
const DRAG_THRESHOLD = 4;  // pixels before a press becomes a drag

const module = await loadOrgsynth();
const audio = new StudioAudio(module);
const view = new RollView($('#ruler'), $('#roll'), $('#lane'));

// --- the song and its history ---------------------------------------------------------------

const state = {
  song: newSong(),
  bytes: null,  // the song's bytes as the writer wrote them
  title: '',
  saved: null,  // the bytes last saved or opened: differing bytes are unsaved changes
  history: [],  // every state's bytes, oldest first
  at: -1,       // the state shown
  track: 0,
  selection: new Set(),  // steps of the selected track's selected events
  cursor: 0,
  cursorKey: 45,
  playStep: -1,
  drag: null,
  rectangle: null,
  clipboard: null,  // {track, events (steps from the first)}
  link: '',
};

function say(text) {
  const line = document.createElement('li');
  line.textContent = text;
  const messages = $('#messages');
  messages.prepend(line);
  while (messages.children.length > 3) messages.lastChild.remove();
}

const sameBytes = (a, b) => !!a && !!b && a.length === b.length && a.every((v, i) => v === b[i]);
const unsaved = () => !sameBytes(state.bytes, state.saved);

// Shows `bytes` as the song: the model read back from them, heard, kept and linked.
function show(bytes, song = readSong(module, bytes).song) {
  state.song = song;
  state.bytes = bytes;
  for (const s of [...state.selection])
    if (!trackEvents().some((e) => e.step === s)) state.selection.delete(s);
  audio.setSong(bytes);
  refreshControls();
  redraw();
  // Kept and linked once the sound has been sent on: neither holds the edit's sound back.
  setTimeout(() => {
    if (state.bytes !== bytes) return;
    storeSong(bytes, state.title, state.saved);
    songLink(location.href.split('#')[0], bytes, state.title).then((link) => {
      if (state.bytes === bytes) state.link = link;
    });
  }, 0);
}

// Makes an edit: `change` alters a copy of the song (the events of `tracks` only: the selected
// track by default); the edit lands when the writer accepts it (else its message is said and
// nothing changes). Returns true when it landed.
function edit(change, tracks = [state.track]) {
  audio.editStarted = performance.now();
  const song = cloneSong(state.song, tracks);
  let bytes;
  try {
    if (change(song) === false) return false;
    bytes = writeSong(module, song);
  } catch (error) {
    say(error.message);
    return false;
  }
  if (sameBytes(bytes, state.bytes)) return false;
  state.history.length = state.at + 1;
  state.history.push(bytes);
  state.at = state.history.length - 1;
  show(bytes, song);
  return true;
}

// Opens a whole song (a file, a demo, an import, a link) as a new start of the history.
function open(bytes, title = state.title) {
  const {song, notes} = readSong(module, bytes);
  const written = writeSong(module, song);
  state.title = title;
  $('#title').value = title;
  state.history = [written];
  state.at = 0;
  state.selection.clear();
  state.saved = written;
  state.cursor = 0;
  show(written, song);
  for (const line of notes.split('\n').filter((l) => l))
    say(`This file differs from how the studio writes it: ${line}.`);
}

function undo() {
  if (state.at <= 0) return false;
  state.at -= 1;
  show(state.history[state.at]);
  return true;
}

function redo() {
  if (state.at >= state.history.length - 1) return false;
  state.at += 1;
  show(state.history[state.at]);
  return true;
}

// --- editing ---------------------------------------------------------------------------------

const trackEvents = (song = state.song, t = state.track) => song.tracks[t].events;
const isDrum = (t) => t >= MELODY_TRACKS;
const sortEvents = (events) => events.sort((a, b) => a.step - b.step);

function checkKey(key) {
  if (key < 0 || key >= KEYS)
    throw new Error(`Keys run from 0 to ${KEYS - 1} (${keyName(0)} to ${
        keyName(KEYS - 1)}): this would take a note past them.`);
}

function checkStep(step) {
  if (step < 0) throw new Error('Steps start at 0: this would take a note before the song begins.');
  if (step > 0x7fffff00)
    throw new Error('Steps end at 2147483392: this would take a note past them.');
}

// Adds a note (or a drum hit) on track `t` at `step`, heard as it is placed.
function addNote(t, step, key) {
  const length = isDrum(t) ? 1 : Number($('#length').value) || 4;
  const landed = edit((song) => {
    checkKey(key);
    checkStep(step);
    const events = song.tracks[t].events;
    const there = events.find((e) => e.step === step);
    if (there && there.key !== NO_VALUE) return false;
    if (there)
      Object.assign(there, {key, length});
    else
      events.push({step, key, length, volume: NO_VALUE, pan: NO_VALUE});
    sortEvents(events);
  }, [t]);
  if (landed) {
    selectTrack(t);
    state.selection = new Set([step]);
    audio.preview(state.song, t, key).catch(() => {});
  }
  return landed;
}

// Moves the selected events by `steps` and `keys`, refusing to land on another event.
function moveSelection(steps, keys) {
  if (state.selection.size === 0) return false;
  const moved = new Set();
  const landed = edit((song) => {
    const events = song.tracks[state.track].events;
    const chosen = events.filter((e) => state.selection.has(e.step));
    const rest = events.filter((e) => !state.selection.has(e.step));
    for (const e of chosen) {
      e.step += steps;
      checkStep(e.step);
      if (e.key !== NO_VALUE) {
        e.key += keys;
        checkKey(e.key);
      }
      if (rest.some((r) => r.step === e.step))
        throw new Error(`Track ${state.track + 1} already has an event on step ${
            e.step}: a track plays one event a step.`);
      moved.add(e.step);
    }
    song.tracks[state.track].events = sortEvents([...rest, ...chosen]);
  });
  if (landed) state.selection = moved;
  return landed;
}

function resizeSelection(delta) {
  return edit((song) => {
    for (const e of trackEvents(song))
      if (state.selection.has(e.step) && e.key !== NO_VALUE)
        e.length = Math.max(1, Math.min(255, e.length + delta));
  });
}

function deleteSelection() {
  const landed = edit((song) => {
    song.tracks[state.track].events = trackEvents(song).filter((e) => !state.selection.has(e.step));
  });
  if (landed) state.selection.clear();
  return landed;
}

function copySelection() {
  const chosen = trackEvents().filter((e) => state.selection.has(e.step));
  if (chosen.length === 0) return false;
  const first = chosen[0].step;
  state.clipboard = {events: chosen.map((e) => ({...e, step: e.step - first}))};
  return true;
}

function paste() {
  if (!state.clipboard) return false;
  const at = state.cursor;
  const landed = edit((song) => {
    const events = song.tracks[state.track].events;
    for (const c of state.clipboard.events) {
      const step = at + c.step;
      checkStep(step);
      const kept = events.findIndex((e) => e.step === step);
      if (kept >= 0) events.splice(kept, 1);
      events.push({...c, step});
    }
    sortEvents(events);
  });
  if (landed) state.selection = new Set(state.clipboard.events.map((c) => at + c.step));
  return landed;
}

function setSelectedValue(field, value) {
  if (state.selection.size === 0) return say('Select notes first.');
  edit((song) => {
    for (const e of trackEvents(song))
      if (state.selection.has(e.step)) e[field] = value;
  });
}

// Sets the lane's value of the event at `step` (255: unchanged).
function setLaneValue(step, value) {
  const field = view.laneMode === 'pan' ? 'pan' : 'volume';
  return edit((song) => {
    const e = trackEvents(song).find((x) => x.step === step);
    if (!e) return false;
    e[field] = value;
  });
}

function setSong(field, value) {
  return edit((song) => {
    song[field] = value;
  });
}
function setTrack(field, value) {
  return edit((song) => {
    song.tracks[state.track][field] = value;
  });
}

// --- controls --------------------------------------------------------------------------------

function buildTracks() {
  const box = $('#tracks');
  for (let t = 0; t < TRACKS; ++t) {
    const row = document.createElement('div');
    row.className = 'track';
    row.innerHTML = `<button class="pick"></button>
      <label><input type="checkbox" class="mute"> M</label>
      <label><input type="checkbox" class="solo"> S</label>`;
    row.querySelector('.pick').addEventListener('click', () => {
      selectTrack(t);
      redraw();
    });
    row.querySelector('.mute').setAttribute('aria-label', `Mute ${trackLabel(t)}`);
    row.querySelector('.solo').setAttribute('aria-label', `Solo ${trackLabel(t)}`);
    for (const kind of ['mute', 'solo'])
      row.querySelector(`.${kind}`).addEventListener('change', sendMutes);
    box.append(row);
  }
  for (let d = 0; d < 28; ++d)
    $('#drum').append(new Option(`${d} ${drumName(module, d)}`, String(d)));
}

function trackLabel(t) { return isDrum(t) ? `Drum ${t - MELODY_TRACKS + 1}` : `Track ${t + 1}`; }

function sendMutes() {
  const rows = [...document.querySelectorAll('.track')];
  const solo = rows.map((r) => r.querySelector('.solo').checked);
  const anySolo = solo.some((s) => s);
  audio.setMuted(rows.map((r, t) => anySolo ? !solo[t] : r.querySelector('.mute').checked));
}

function selectTrack(t) {
  if (t !== state.track) state.selection.clear();
  state.track = t;
  refreshControls();
}

function refreshControls() {
  const {song} = state;
  const track = song.tracks[state.track];
  $('#wait').value = song.wait;
  $('#tempo').textContent = song.wait > 0 && song.stepsPerBeat > 0 ?
      `= ${(60000 / (song.wait * song.stepsPerBeat)).toFixed(1)} beats a minute` :
      '';
  $('#beats').value = song.beatsPerBar;
  $('#steps').value = song.stepsPerBeat;
  $('#loopstart').value = song.loopStart;
  $('#loopend').value = song.loopEnd;
  $('#trackname').textContent = `${trackLabel(state.track)} · ${track.events.length} events`;
  $('#wavebox').hidden = isDrum(state.track);
  $('#drumbox').hidden = !isDrum(state.track);
  $('#wave').value = track.instrument;
  $('#drum').value = String(track.instrument);
  $('#finetune').value = track.finetune - IN_TUNE;
  $('#oneshot').checked = track.oneShot !== 0;
  document.querySelectorAll('.track').forEach((row, t) => {
    const count = song.tracks[t].events.length;
    const name =
        isDrum(t) ? drumName(module, song.tracks[t].instrument) : `W${song.tracks[t].instrument}`;
    // Two lines that each fit the button (cut with an ellipsis if not): the track, then its
    // instrument and event count; the whole label is the button's name and tooltip.
    const line = (text) => Object.assign(document.createElement('span'), {textContent: text});
    const pick = row.querySelector('.pick');
    pick.replaceChildren(line(trackLabel(t)), ' ', line(`${name}${count ? ` (${count})` : ''}`));
    pick.title = pick.textContent;
    row.querySelector('.pick').setAttribute('aria-pressed', String(t === state.track));
    row.setAttribute('aria-current', String(t === state.track));
  });
  const chosen = trackEvents().filter((e) => state.selection.has(e.step));
  $('#selected').textContent = chosen.length === 0 ?
      'No note selected' :
      chosen.length === 1 ?
      `Step ${chosen[0].step}, ${chosen[0].key === NO_VALUE ? 'no key' : keyName(chosen[0].key)}, ${
          chosen[0].length} steps` :
      `${chosen.length} notes selected`;
  $('#volume').value = chosen.length ? chosen[0].volume : '';
  $('#pan').value = chosen.length ? chosen[0].pan : '';
  $('#undo').disabled = state.at <= 0;
  $('#redo').disabled = state.at >= state.history.length - 1;
  $('#play').setAttribute('aria-pressed', String(audio.playing));
  $('#play').textContent = audio.playing ? '■ Stop' : '▶ Play';
}

function numberInput(selector, low, high, apply) {
  $(selector).addEventListener('change', (event) => {
    const value = Number(event.target.value);
    if (!Number.isInteger(value) || value < low || value > high) {
      say(`${event.target.getAttribute('aria-label') ?? selector} takes a whole number from ${
          low} to ${high}.`);
      refreshControls();
      return;
    }
    apply(value);
  });
}

function bindControls() {
  numberInput('#wait', 1, 65535, (v) => setSong('wait', v));
  numberInput('#beats', 1, 255, (v) => setSong('beatsPerBar', v));
  numberInput('#steps', 1, 255, (v) => setSong('stepsPerBeat', v));
  numberInput('#loopstart', 0, 0x7fffffff, (v) => setLoop(v, state.song.loopEnd));
  numberInput('#loopend', 1, 0x7fffffff, (v) => setLoop(state.song.loopStart, v));
  numberInput('#wave', 0, 99, (v) => {
    if (setTrack('instrument', v))
      audio.preview(state.song, state.track, state.cursorKey).catch(() => {});
  });
  $('#drum').addEventListener('change', (event) => {
    if (setTrack('instrument', Number(event.target.value)))
      audio.preview(state.song, state.track, DRUM_KEY).catch(() => {});
  });
  numberInput('#finetune', -1000, 64535, (v) => setTrack('finetune', v + IN_TUNE));
  $('#oneshot')
      .addEventListener('change', (event) => setTrack('oneShot', event.target.checked ? 1 : 0));
  numberInput('#volume', 0, 255, (v) => setSelectedValue('volume', v));
  numberInput('#pan', 0, 255, (v) => {
    if (v > 12 && v !== NO_VALUE)
      return say('Pan runs from 0 (left) to 12 (right), 6 the centre; 255 leaves it unchanged.');
    setSelectedValue('pan', v);
  });
  $('#title').addEventListener('input', (event) => {
    state.title = event.target.value;
    show(state.bytes, state.song);
  });
  $('#new').addEventListener('click', () => open(writeSong(module, newSong()), ''));
  $('#open').addEventListener('change', async (event) => {
    for (const file of event.target.files) await openFile(file);
    event.target.value = '';
  });
  $('#demo').addEventListener('change', async (event) => {
    const option = event.target.selectedOptions[0];
    if (!option.value) return;
    const response = await fetch(`../songs/${encodeURIComponent(option.value)}`);
    open(new Uint8Array(await response.arrayBuffer()), option.textContent);
  });
  $('#save').addEventListener('click', saveFile);
  $('#wav').addEventListener('click', exportWav);
  $('#share').addEventListener('click', share);
  $('#undo').addEventListener('click', undo);
  $('#redo').addEventListener('click', redo);
  $('#play').addEventListener('click', () => togglePlay(state.cursor));
  $('#playloop').addEventListener('click', () => togglePlay(state.song.loopStart, true));
  $('#lanemode').addEventListener('change', (event) => {
    view.laneMode = event.target.value;
    redraw();
  });
  $('#hscroll').addEventListener('input', (event) => {
    view.firstStep = Math.round(Number(event.target.value) / 1000 * songSteps());
    redraw();
  });
  $('#vscroll').addEventListener('input', (event) => {
    view.topKey = Number(event.target.value);
    redraw();
  });
  $('#zoomin').addEventListener('click', () => zoom(1.5));
  $('#zoomout').addEventListener('click', () => zoom(1 / 1.5));
  document.addEventListener('dragover', (event) => event.preventDefault());
  document.addEventListener('drop', async (event) => {
    event.preventDefault();
    for (const file of event.dataTransfer.files) await openFile(file);
  });
  window.addEventListener('beforeunload', (event) => {
    if (!unsaved()) return;
    event.preventDefault();
    event.returnValue = '';
  });
  window.addEventListener('resize', redraw);
}

function setLoop(start, end) {
  if (end <= start) return say('The loop ends after it starts: its end must be past its start.');
  edit((song) => {
    song.loopStart = start;
    song.loopEnd = end;
  });
}

function zoom(factor) {
  view.stepWidth = Math.max(3, Math.min(48, view.stepWidth * factor));
  view.keyHeight = Math.max(6, Math.min(24, view.keyHeight * factor));
  redraw();
}

function songSteps() {
  let last = state.song.loopEnd;
  for (const t of state.song.tracks)
    for (const e of t.events) last = Math.max(last, e.step + e.length);
  return last + 64;
}

async function openFile(file) {
  const bytes = new Uint8Array(await file.arrayBuffer());
  const text = String.fromCharCode(...bytes.subarray(0, 4));
  try {
    if (text === 'MThd') {
      const {bytes: org, report} = importMidi(module, bytes, Number($('#grid').value) || 4);
      open(org, titleOfFile(file.name));
      $('#report').textContent = `MIDI import of ${file.name}:\n${report.join('\n')}`;
      state.saved = null;  // an import is not yet saved anywhere
      storeSong(state.bytes, state.title, null);
    } else {
      open(bytes, titleOfFile(file.name));
    }
  } catch (error) {
    say(`“${file.name}” cannot be opened: ${error.message}.`);
  }
}

function download(bytes, name, type) {
  const url = URL.createObjectURL(new Blob([bytes], {type}));
  const a = Object.assign(document.createElement('a'), {href: url, download: name});
  document.body.append(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 1000);
}

const fileName = (extension) =>
    `${(state.title || 'song').replace(/[\\/:*?"<>|]/g, '_')}.${extension}`;

function saveFile() {
  download(state.bytes, fileName('org'), 'application/octet-stream');
  state.saved = state.bytes;
  storeSong(state.bytes, state.title, state.saved);
  say(`Saved as ${fileName('org')}.`);
}

async function exportWav() {
  $('#wav').disabled = true;
  try {
    const wav =
        await renderWav(module, state.bytes, {pause: () => new Promise((r) => setTimeout(r, 0))});
    download(wav, fileName('wav'), 'audio/wav');
  } finally {
    $('#wav').disabled = false;
  }
}

async function share() {
  const link = await songLink(location.href.split('#')[0], state.bytes, state.title);
  state.link = link;
  history.replaceState(null, '', link);
  try {
    await navigator.clipboard.writeText(link);
    say(`The link (${link.length} characters) is copied: it holds the whole song.`);
  } catch {
    say(`The song's link (${link.length} characters) is in the address bar.`);
  }
}

async function togglePlay(step, loop = false) {
  if (audio.playing && !loop) {
    audio.stop();
    state.playStep = -1;
  } else {
    await audio.playFrom(step, state.song.wait);
  }
  refreshControls();
  redraw();
}

async function loadDemoList() {
  try {
    const response = await fetch('../songs/music.txt');
    if (!response.ok) return;
    for (const {file, title} of parseMusicList(new Uint8Array(await response.arrayBuffer())))
      $('#demo').append(new Option(title, file));
  } catch {
    // no demo songs beside the page: the list stays empty
  }
}

// --- pointer input on the roll, the ruler and the lane ---------------------------------------

// The event under a point of the roll: {track, e} or null.
function eventAt(x, y) {
  const tracks = isDrum(state.track) ? [view.rowAt(y)] : [state.track];
  for (const t of tracks)
    for (const e of state.song.tracks[t].events) {
      if (e.key === NO_VALUE) continue;
      const b = view.box(t, e);
      if (x >= b.x && x < b.x + Math.max(b.w, 4) && y >= b.y && y < b.y + b.h)
        return {track: t, e, box: b};
    }
  return null;
}

function pointerPlace(event, canvas) {
  const r = canvas.getBoundingClientRect();
  return {x: event.clientX - r.left, y: event.clientY - r.top};
}

function bindRoll() {
  const roll = $('#roll');
  let press = null;
  roll.addEventListener('pointerdown', (event) => {
    audio.start();
    roll.focus({preventScroll: true});
    roll.setPointerCapture(event.pointerId);
    const p = pointerPlace(event, roll);
    const hit = eventAt(p.x, p.y);
    press = {start: p, hit, moved: false, additive: event.shiftKey || event.ctrlKey};
    if (hit) {
      if (hit.track !== state.track) selectTrack(hit.track);
      if (!state.selection.has(hit.e.step)) {
        if (!press.additive) state.selection.clear();
        state.selection.add(hit.e.step);
      } else if (press.additive) {
        state.selection.delete(hit.e.step);
        press.hit = null;
      }
      // The note's last third (or its last 6 pixels) lengthens; the rest moves.
      press.resize =
          !isDrum(hit.track) && p.x > hit.box.x + Math.max(hit.box.w * 2 / 3, hit.box.w - 6);
    }
    refreshControls();
    redraw();
  });
  roll.addEventListener('pointermove', (event) => {
    if (!press) return;
    const p = pointerPlace(event, roll);
    if (!press.moved && Math.hypot(p.x - press.start.x, p.y - press.start.y) < DRAG_THRESHOLD)
      return;
    press.moved = true;
    if (press.hit) {
      const steps = Math.round((p.x - press.start.x) / view.stepWidth);
      const keys = isDrum(state.track) ? 0 : -Math.round((p.y - press.start.y) / view.keyHeight);
      press.delta = {steps, keys};
      const chosen = trackEvents().filter((e) => state.selection.has(e.step));
      state.drag = {
        track: state.track,
        steps: new Set(chosen.map((e) => e.step)),
        events: chosen.map(
            (e) => press.resize ? {...e, length: Math.max(1, Math.min(255, e.length + steps))} :
                                  {...e, step: e.step + steps, key: e.key + keys}),
      };
    } else {
      state.rectangle = {x0: press.start.x, y0: press.start.y, x1: p.x, y1: p.y};
    }
    redraw();
  });
  const release = (event) => {
    if (!press) return;
    const p = pointerPlace(event, roll);
    const done = press;
    press = null;
    state.drag = null;
    if (done.hit && done.moved && done.delta) {
      if (done.resize)
        resizeSelection(done.delta.steps);
      else
        moveSelection(done.delta.steps, done.delta.keys);
    } else if (!done.hit && done.moved && state.rectangle) {
      selectRectangle(state.rectangle, done.additive);
    } else if (!done.hit && !done.moved) {
      const step = Math.floor(view.stepAt(p.x));
      const row = view.rowAt(p.y);
      state.cursor = step;
      if (isDrum(state.track))
        addNote(row, step, lastKey(row));
      else
        addNote(state.track, step, row);
    }
    state.rectangle = null;
    refreshControls();
    redraw();
  };
  roll.addEventListener('pointerup', release);
  roll.addEventListener('pointercancel', () => {
    press = null;
    state.drag = null;
    state.rectangle = null;
    redraw();
  });
  roll.addEventListener('wheel', (event) => {
    event.preventDefault();
    if (event.shiftKey || Math.abs(event.deltaX) > Math.abs(event.deltaY))
      view.firstStep = Math.max(0, view.firstStep + Math.sign(event.deltaX || event.deltaY) * 8);
    else
      view.topKey = Math.max(
          view.visibleKeys - 1, Math.min(KEYS - 1, view.topKey - Math.sign(event.deltaY) * 3));
    redraw();
  }, {passive: false});
}

// The key a drum track's new hit gets: its last hit's, else the drums' own rate.
function lastKey(t) {
  const hits = state.song.tracks[t].events.filter((e) => e.key !== NO_VALUE);
  return hits.length ? hits[hits.length - 1].key : DRUM_KEY;
}

function selectRectangle(r, additive) {
  if (!additive) state.selection.clear();
  const [x0, x1] = [Math.min(r.x0, r.x1), Math.max(r.x0, r.x1)];
  const [y0, y1] = [Math.min(r.y0, r.y1), Math.max(r.y0, r.y1)];
  for (const e of trackEvents()) {
    if (e.key === NO_VALUE) continue;
    const b = view.box(state.track, e);
    if (b.x + b.w > x0 && b.x < x1 && b.y + b.h > y0 && b.y < y1) state.selection.add(e.step);
  }
}

function bindRuler() {
  const ruler = $('#ruler');
  let dragging = null;
  ruler.addEventListener('pointerdown', (event) => {
    ruler.setPointerCapture(event.pointerId);
    const {x} = pointerPlace(event, ruler);
    const near = (step) => Math.abs(view.xOf(step) - x) <= 8;
    dragging = near(state.song.loopEnd) ? 'loopEnd' :
        near(state.song.loopStart)      ? 'loopStart' :
                                          'cursor';
    if (dragging === 'cursor') state.cursor = Math.max(0, Math.round(view.stepAt(x)));
    redraw();
  });
  ruler.addEventListener('pointermove', (event) => {
    if (!dragging) return;
    const step = Math.max(0, Math.round(view.stepAt(pointerPlace(event, ruler).x)));
    if (dragging === 'cursor')
      state.cursor = step;
    else
      state.loopDrag = {[dragging]: step};
    redraw();
  });
  ruler.addEventListener('pointerup', () => {
    if (state.loopDrag) {
      const {loopStart = state.song.loopStart, loopEnd = state.song.loopEnd} = state.loopDrag;
      state.loopDrag = null;
      setLoop(loopStart, loopEnd);
    }
    dragging = null;
    redraw();
  });
}

function bindLane() {
  const lane = $('#lane');
  let painting = false;
  const paint = (event) => {
    const p = pointerPlace(event, lane);
    const step = Math.floor(view.stepAt(p.x));
    const value = event.button === 2 || event.altKey ? NO_VALUE : view.laneValueAt(p.y);
    setLaneValue(step, value);
  };
  lane.addEventListener('contextmenu', (event) => event.preventDefault());
  lane.addEventListener('pointerdown', (event) => {
    lane.setPointerCapture(event.pointerId);
    painting = true;
    paint(event);
  });
  lane.addEventListener('pointermove', (event) => {
    if (painting) paint(event);
  });
  lane.addEventListener('pointerup', () => {
    painting = false;
  });
}

// --- keys ------------------------------------------------------------------------------------

function bindKeys() {
  document.addEventListener('keydown', (event) => {
    const target = event.target;
    if (target.matches?.('input, select, textarea') && target.type !== 'checkbox') return;
    if (handleKey(event)) event.preventDefault();
  });
}

function handleKey(event) {
  const ctrl = event.ctrlKey || event.metaKey;
  const key = event.key.toLowerCase();
  if (ctrl && key === 'z' && !event.shiftKey) return undo() || true;
  if (ctrl && ((key === 'z' && event.shiftKey) || key === 'y')) return redo() || true;
  if (ctrl && key === 'a') {
    state.selection = new Set(trackEvents().filter((e) => e.key !== NO_VALUE).map((e) => e.step));
    return after();
  }
  if (ctrl && key === 'c') return copySelection() || true;
  if (ctrl && key === 'x') {
    if (copySelection()) deleteSelection();
    return after();
  }
  if (ctrl && key === 'v') return paste() || true;
  if (ctrl) return false;
  switch (event.key) {
    case ' ':
      if (event.target.tagName === 'BUTTON') return false;
      togglePlay(state.cursor);
      return true;
    case 'Delete':
    case 'Backspace':
      deleteSelection();
      return after();
    case 'ArrowUp':
    case 'ArrowDown': {
      const sign = event.key === 'ArrowUp' ? 1 : -1;
      if (state.selection.size > 0)
        moveSelection(0, sign * (event.shiftKey ? 12 : 1));
      else
        state.cursorKey = Math.max(0, Math.min(KEYS - 1, state.cursorKey + sign));
      return after();
    }
    case 'ArrowLeft':
    case 'ArrowRight': {
      const sign = event.key === 'ArrowRight' ? 1 : -1;
      if (event.shiftKey && state.selection.size > 0)
        resizeSelection(sign);
      else if (event.altKey && state.selection.size > 0)
        moveSelection(sign, 0);
      else
        state.cursor = Math.max(0, state.cursor + sign);
      return after();
    }
    case 'Enter': {
      // A note at the cursor is selected (Shift: added to the selection); else one is added.
      const there = trackEvents().find((e) => e.step === state.cursor && e.key !== NO_VALUE);
      if (!there)
        addNote(
            state.track, state.cursor,
            isDrum(state.track) ? lastKey(state.track) : state.cursorKey);
      else if (event.shiftKey)
        state.selection.add(there.step);
      else
        state.selection = new Set([there.step]);
      return after();
    }
    case 'Escape':
      state.selection.clear();
      return after();
  }
  if (event.altKey || event.repeat) return false;
  const lower = PIANO_LOWER.indexOf(key);
  const upper = PIANO_UPPER.indexOf(key);
  if (lower < 0 && upper < 0) return false;
  const octave = Number($('#octave').value) || 4;
  const note = lower >= 0 ? octave * 12 + lower : (octave + 1) * 12 + upper;
  const step = state.cursor;
  if (addNote(state.track, step, note))
    state.cursor = step + (isDrum(state.track) ? 1 : Number($('#length').value) || 4);
  return after();
}

function after() {
  refreshControls();
  redraw();
  return true;
}

// --- drawing ---------------------------------------------------------------------------------

let drawPending = false;
let frames = 0;

function redraw() {
  if (drawPending) return;
  drawPending = true;
  requestAnimationFrame(draw);
}

// Keeps the play line (while playing) or the cursor in view, a page at a time.
let followed = {cursor: -1, cursorKey: -1};
function follow() {
  const inView = (step) => step >= view.firstStep && step < view.firstStep + view.visibleSteps - 1;
  if (audio.playing && state.playStep >= 0 && !inView(state.playStep))
    view.firstStep = Math.max(0, state.playStep - 2);
  if (state.cursor !== followed.cursor && !inView(state.cursor))
    view.firstStep = Math.max(0, state.cursor - Math.floor(view.visibleSteps / 4));
  if (state.cursorKey !== followed.cursorKey && !isDrum(state.track)) {
    if (state.cursorKey > view.topKey) view.topKey = state.cursorKey;
    if (state.cursorKey <= view.topKey - view.visibleKeys)
      view.topKey = state.cursorKey + view.visibleKeys - 1;
  }
  followed = {cursor: state.cursor, cursorKey: state.cursorKey};
}

function draw() {
  drawPending = false;
  ++frames;
  if (audio.playing && audio.status) state.playStep = audio.status.step;
  const song = state.loopDrag ? {...state.song, ...state.loopDrag} : state.song;
  view.fit();
  follow();
  view.draw({...state, song});
  if (audio.playing) redraw();
}

audio.addEventListener('status', () => {
  if (audio.playing) redraw();
});

// --- start -----------------------------------------------------------------------------------

buildTracks();
bindControls();
bindRoll();
bindRuler();
bindLane();
bindKeys();
await loadDemoList();

async function firstSong() {
  try {
    const linked = await songOfFragment(location.hash);
    if (linked) {
      open(linked.bytes, linked.title);
      return;
    }
  } catch {
    say('The link does not hold a whole song: a new song is open instead.');
  }
  const stored = storedSong();
  if (stored) {
    try {
      open(stored.bytes, stored.title);
      state.saved = stored.saved;
      storeSong(state.bytes, state.title, state.saved);
      return;
    } catch {
      say('The song kept in this browser is damaged: a new song is open instead.');
    }
  }
  open(writeSong(module, newSong()), '');
}
await firstSong();

window.orgStudio = {
  // Opens an Org file's bytes; settles when the song is open (rejects with the reason).
  load: async (bytes) => open(new Uint8Array(bytes)),
  save: () => state.bytes.slice(),
  shareUrl: () => state.link,
  undo,
  redo,
  // For the page's tests and the curious.
  state,
  audio,
  framesDrawn: () => frames,
  view,
};
document.body.dataset.ready = 'true';
