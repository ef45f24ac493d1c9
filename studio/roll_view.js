// The studio's piano roll, drawn on three canvases: the ruler (bars, beats, the loop's handles,
// the cursor), the roll (melody tracks by key, the eight drum tracks as lanes, the loop region,
// bar and beat lines, the play line) and the lane under it (each event's volume or pan of the
// selected track). It only draws and maps pixels to steps and keys: studio.js owns the song and
// every edit. Colours follow the player's track colours (web/song_view.js).
import {MELODY_TRACKS, TRACKS} from '../orgsong.js';
import {TRACK_COLOURS} from '../song_view.js';

import {KEYS, NO_VALUE} from './song_data.js';

export const RULER_HEIGHT = 22;
const DRUM_LANE_HEIGHT = 28;
const NAMES = ['C', 'C#', 'D', 'D#', 'E', 'F', 'F#', 'G', 'G#', 'A', 'A#', 'B'];
const BLACK = [false, true, false, true, false, false, true, false, true, false, true, false];

// Whether a track's events are in step order (as the studio writes them), remembered per array.
const sortedness = new WeakMap();
function inOrder(events) {
  let known = sortedness.get(events);
  if (known === undefined) {
    known = events.every((e, i) => i === 0 || events[i - 1].step < e.step);
    sortedness.set(events, known);
  }
  return known;
}

// The events that may show between two steps: by bisection where they are in order (a note
// starting up to 255 steps earlier may reach in), else all of them.
export function eventsBetween(events, first, last) {
  if (!inOrder(events)) return events;
  const from = first - 256;
  let lo = 0;
  let hi = events.length;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (events[mid].step < from)
      lo = mid + 1;
    else
      hi = mid;
  }
  let end = lo;
  while (end < events.length && events[end].step <= last) ++end;
  return events.slice(lo, end);
}

export function keyName(key) { return `${NAMES[key % 12]}${Math.floor(key / 12)}`; }


export class RollView {
  constructor(ruler, roll, lane) {
    this.ruler = ruler;
    this.roll = roll;
    this.lane = lane;
    this.stepWidth = 12;
    this.keyHeight = 10;
    this.firstStep = 0;  // the step at the left edge
    this.topKey = 71;    // the key at the top edge (melody)
    this.laneMode = 'volume';
    this.ids = new WeakMap();  // objects drawn → numbers, for #staticKey
    this.lastId = 0;
    this.drawnKey = '';
    this.still = null;  // the roll without its play line
  }

  get drums() { return this.track >= MELODY_TRACKS; }
  get rowHeight() { return this.drums ? DRUM_LANE_HEIGHT : this.keyHeight; }
  get visibleSteps() { return Math.ceil(this.roll.width / this.stepWidth); }
  get visibleKeys() { return Math.floor(this.roll.height / this.keyHeight); }

  // Pixels to the song: a step (fractional) and a key (melody) or drum track (drums).
  stepAt(x) { return this.firstStep + x / this.stepWidth; }
  xOf(step) { return (step - this.firstStep) * this.stepWidth; }
  rowAt(y) {
    if (this.drums)
      return MELODY_TRACKS +
          Math.max(0, Math.min(TRACKS - MELODY_TRACKS - 1, Math.floor(y / DRUM_LANE_HEIGHT)));
    return Math.max(0, Math.min(KEYS - 1, this.topKey - Math.floor(y / this.keyHeight)));
  }
  yOf(row) {
    return this.drums ? (row - MELODY_TRACKS) * DRUM_LANE_HEIGHT :
                        (this.topKey - row) * this.keyHeight;
  }

  // Where a note of the selected track's view is drawn: {x, y, w, h}.
  box(track, e) {
    const row = this.drums ? track : e.key;
    const length = this.drums ? 1 : Math.max(e.length, 1);
    return {x: this.xOf(e.step), y: this.yOf(row), w: length * this.stepWidth, h: this.rowHeight};
  }

  // Sizes the canvases to their boxes on the page (device pixels kept at one per CSS pixel).
  fit() {
    for (const canvas of [this.ruler, this.roll, this.lane]) {
      const width = Math.max(1, Math.floor(canvas.clientWidth));
      const height = Math.max(1, Math.floor(canvas.clientHeight));
      if (canvas.width !== width) canvas.width = width;
      if (canvas.height !== height) canvas.height = height;
    }
  }

  // Draws everything for `state`: {song, track, selection (Set of steps), cursor, playStep,
  // drag (a preview of moved notes: [{track, e}] or null), rectangle ({x0, y0, x1, y1} or null)}.
  // Only the play line moves while a song plays: the rest of the roll (up to 65,536 notes) is
  // drawn once into a canvas of its own and copied each frame, and the ruler and the lane are
  // left as they are, until something they show changes.
  draw(state) {
    this.track = state.track;
    const key = this.#staticKey(state);
    if (key !== this.drawnKey) {
      this.drawnKey = key;
      this.still ??= document.createElement('canvas');
      this.still.width = this.roll.width;
      this.still.height = this.roll.height;
      this.#drawRoll(state, this.still.getContext('2d'));
      this.#drawRuler(state);
      this.#drawLane(state);
    }
    const g = this.roll.getContext('2d');
    g.drawImage(this.still, 0, 0);
    if (state.playStep >= 0) {
      g.fillStyle = '#ffffff';
      g.fillRect(Math.round(this.xOf(state.playStep)), 0, 2, this.roll.height);
    }
  }

  // Everything the roll shows but the play line, as one string: a change of it redraws. Objects
  // count by identity (an edit makes a new song; a drag, a new preview); the selection, a Set
  // changed in place, by its steps.
  #staticKey(state) {
    const id = (object) => {
      if (!object) return 0;
      if (!this.ids.has(object)) this.ids.set(object, ++this.lastId);
      return this.ids.get(object);
    };
    return [
      id(state.song), state.track, state.cursor, state.cursorKey, id(state.drag),
      id(state.rectangle), this.firstStep, this.topKey, this.stepWidth, this.keyHeight,
      this.laneMode, this.roll.width, this.roll.height, this.ruler.width, this.ruler.height,
      this.lane.width, this.lane.height, [...state.selection].join(' ')
    ].join();
  }

  #grid(g, song, height) {
    const barSteps = Math.max(1, song.beatsPerBar * song.stepsPerBeat);
    const beatSteps = Math.max(1, song.stepsPerBeat);
    const first = Math.floor(this.firstStep);
    for (let s = first; s <= first + this.visibleSteps; ++s) {
      const x = Math.round(this.xOf(s)) + 0.5;
      if (s % barSteps === 0)
        g.strokeStyle = '#6a6a88';
      else if (s % beatSteps === 0)
        g.strokeStyle = '#3c3c52';
      else if (this.stepWidth >= 8)
        g.strokeStyle = '#25252f';
      else
        continue;
      g.beginPath();
      g.moveTo(x, 0);
      g.lineTo(x, height);
      g.stroke();
    }
  }

  #drawRoll(state, g) {
    const {song} = state;
    const {width, height} = this.roll;
    g.fillStyle = '#15151c';
    g.fillRect(0, 0, width, height);
    // Rows: black keys darker (melody), lanes striped (drums).
    if (this.drums) {
      for (let t = MELODY_TRACKS; t < TRACKS; ++t) {
        g.fillStyle = t === state.track ? '#26263a' : (t % 2 ? '#1a1a22' : '#1d1d27');
        g.fillRect(0, this.yOf(t), width, DRUM_LANE_HEIGHT);
      }
    } else {
      for (let key = this.topKey; key > this.topKey - this.visibleKeys - 1 && key >= 0; --key) {
        const y = this.yOf(key);
        g.fillStyle = BLACK[key % 12] ? '#111117' : '#1b1b24';
        g.fillRect(0, y, width, this.keyHeight - 1);
        if (key === state.cursorKey) {
          g.fillStyle = 'rgba(255, 255, 255, 0.06)';
          g.fillRect(0, y, width, this.keyHeight);
        }
      }
    }
    if (!this.drums) {  // the octaves named at their C
      g.fillStyle = '#70708a';
      g.font = '9px sans-serif';
      for (let key = this.topKey; key >= 0 && key > this.topKey - this.visibleKeys - 1; --key)
        if (key % 12 === 0) g.fillText(keyName(key), 2, this.yOf(key) + this.keyHeight - 1);
    }
    // The loop region.
    g.fillStyle = 'rgba(90, 140, 255, 0.08)';
    g.fillRect(
        this.xOf(song.loopStart), 0, (song.loopEnd - song.loopStart) * this.stepWidth, height);
    this.#grid(g, song, height);
    // Other tracks dimmed, then the selected one (or every drum lane) bright.
    const shown = (t) => this.drums ? t >= MELODY_TRACKS : t === state.track;
    const hidden = (t) => state.drag && state.drag.track === t;
    const first = Math.floor(this.firstStep);
    const last = first + this.visibleSteps;
    for (let t = 0; t < TRACKS; ++t) {
      if (shown(t) || this.drums !== (t >= MELODY_TRACKS)) continue;
      g.fillStyle = TRACK_COLOURS[t];
      g.globalAlpha = 0.25;
      for (const e of eventsBetween(song.tracks[t].events, first, last)) this.#note(g, t, e, false);
      g.globalAlpha = 1;
    }
    for (let t = 0; t < TRACKS; ++t) {
      if (!shown(t)) continue;
      for (const e of eventsBetween(song.tracks[t].events, first, last)) {
        if (hidden(t) && state.drag.steps.has(e.step)) continue;
        const selected = t === state.track && state.selection.has(e.step);
        g.fillStyle = selected ? '#ffffff' : TRACK_COLOURS[t];
        this.#note(g, t, e, true);
      }
    }
    if (state.drag) {
      g.fillStyle = 'rgba(255, 255, 255, 0.8)';
      for (const e of state.drag.events) this.#note(g, state.drag.track, e, true);
    }
    if (state.rectangle) {
      const r = state.rectangle;
      g.strokeStyle = '#ffffff';
      g.setLineDash([4, 3]);
      g.strokeRect(
          Math.min(r.x0, r.x1) + 0.5, Math.min(r.y0, r.y1) + 0.5, Math.abs(r.x1 - r.x0),
          Math.abs(r.y1 - r.y0));
      g.setLineDash([]);
    }
    // The cursor (the play line is drawn over the copy, by draw).
    g.fillStyle = '#ffd24a';
    g.fillRect(Math.round(this.xOf(state.cursor)), 0, 1, height);
  }

  #note(g, t, e, outline) {
    if (e.key === NO_VALUE) return;  // a volume or pan change only: shown in the lane
    const b = this.box(t, e);
    if (b.x + b.w < 0 || b.x > this.roll.width || b.y + b.h < 0 || b.y > this.roll.height) return;
    g.fillRect(b.x + 1, b.y + 1, Math.max(b.w - 2, 2), b.h - 2);
    if (outline && this.drums) {
      g.save();
      g.fillStyle = '#000';
      g.font = '9px sans-serif';
      g.fillText(keyName(e.key), b.x + 2, b.y + b.h - 4);
      g.restore();
    }
  }

  #drawRuler(state) {
    const {song} = state;
    const g = this.ruler.getContext('2d');
    const {width, height} = this.ruler;
    g.fillStyle = '#22222c';
    g.fillRect(0, 0, width, height);
    g.fillStyle = 'rgba(90, 140, 255, 0.35)';
    g.fillRect(
        this.xOf(song.loopStart), height - 6, (song.loopEnd - song.loopStart) * this.stepWidth, 6);
    const barSteps = Math.max(1, song.beatsPerBar * song.stepsPerBeat);
    g.fillStyle = '#c8c8d8';
    g.font = '11px sans-serif';
    const first = Math.floor(this.firstStep / barSteps) * barSteps;
    for (let s = first; s <= this.firstStep + this.visibleSteps; s += barSteps) {
      const x = this.xOf(s);
      g.fillRect(Math.round(x), 0, 1, height);
      g.fillText(String(s / barSteps + 1), x + 3, 11);
    }
    // The loop's handles: triangles at its start and end.
    for (const [step, colour] of [[song.loopStart, '#5a8cff'], [song.loopEnd, '#ff7a5a']]) {
      const x = this.xOf(step);
      g.fillStyle = colour;
      g.beginPath();
      g.moveTo(x - 6, height);
      g.lineTo(x + 6, height);
      g.lineTo(x, height - 10);
      g.fill();
    }
    g.fillStyle = '#ffd24a';
    g.fillRect(Math.round(this.xOf(state.cursor)), 0, 2, height);
  }

  #drawLane(state) {
    const g = this.lane.getContext('2d');
    const {width, height} = this.lane;
    g.fillStyle = '#17171e';
    g.fillRect(0, 0, width, height);
    this.#grid(g, state.song, height);
    const pan = this.laneMode === 'pan';
    if (pan) {
      g.fillStyle = '#33334a';
      g.fillRect(0, Math.round(height / 2), width, 1);
    }
    const colour = TRACK_COLOURS[state.track];
    const first = Math.floor(this.firstStep);
    for (const e of eventsBetween(
             state.song.tracks[state.track].events, first, first + this.visibleSteps)) {
      const x = this.xOf(e.step);
      if (x < -this.stepWidth || x > width) continue;
      const value = pan ? e.pan : e.volume;
      g.fillStyle = state.selection.has(e.step) ? '#ffffff' : colour;
      const w = Math.max(this.stepWidth - 3, 3);
      if (value === NO_VALUE) {
        g.strokeStyle = g.fillStyle;
        g.strokeRect(x + 1.5, height - 5.5, w - 1, 4);  // unchanged
      } else if (pan) {
        const y = height / 2 - (value - 6) / 6 * (height / 2 - 2);
        g.fillRect(x + 1, Math.min(y, height / 2), w, Math.max(Math.abs(y - height / 2), 2));
      } else {
        const h = value / 254 * (height - 2);
        g.fillRect(x + 1, height - h, w, h);
      }
    }
  }

  // The lane's value at a height: volume 0..254 or pan 0..12.
  laneValueAt(y) {
    const h = this.lane.height;
    if (this.laneMode === 'pan')
      return Math.max(0, Math.min(12, Math.round(6 - (y - h / 2) / (h / 2 - 2) * 6)));
    return Math.max(0, Math.min(254, Math.round((h - y) / (h - 2) * 254)));
  }
}
