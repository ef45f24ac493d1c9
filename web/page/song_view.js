// The page's picture of the playing song, drawn in whole pixels on a 320 × 240 canvas that the
// page scales up without smoothing, like the jukebox's screen: a header line (step, bar, loop
// pass), a piano roll (melody notes by key, drum hits in lanes, the loop region, the play
// position) and sixteen oscilloscopes with level bars, one per track. Reads what the player
// keeps (the song's facts and events, the worklet's latest status); changes nothing.
import {drawText, textWidth} from './pixel_font.js';

export const WIDTH = 320;
export const HEIGHT = 240;
const HEADER = 10;  // the header line's height
const ROLL_TOP = HEADER;
const ROLL_HEIGHT = 112;  // the melody roll
const DRUM_TOP = ROLL_TOP + ROLL_HEIGHT;
const DRUM_LANE = 2;  // pixels a drum track's lane takes
const SCOPES_TOP = DRUM_TOP + 8 * DRUM_LANE + 2;
const SCOPE_WIDTH = 40;
const SCOPE_HEIGHT = (HEIGHT - SCOPES_TOP) / 2;
const STEP_PIXELS = 2;
const PLAY_X = 80;         // where the sounding step is drawn: 40 steps past, 120 coming
const SCOPE_WINDOW = 320;  // scope samples drawn across a cell (8 a pixel)
const NO_KEY = 255;

// Eight melody colours and eight drum colours, bright on black like the game's screen.
export const TRACK_COLOURS = [
  '#ff5050',
  '#ffa040',
  '#f0f040',
  '#60e060',
  '#40e0e0',
  '#5090ff',
  '#b070ff',
  '#ff70c0',
  '#c0a080',
  '#a0a0a0',
  '#e0c060',
  '#80c0a0',
  '#a0b0e0',
  '#d090a0',
  '#b0d070',
  '#c0c0c0',
];
const BACKGROUND = '#000000';
const LOOP_BACKGROUND = '#0c1424';
const BAR_LINE = '#1c1c1c';
const TEXT = '#e0e0e0';
const DIM = '#505050';
const HINT = '#b0b0b0';  // the idle hint: readable on black (contrast about 10 : 1)

export class SongView {
  constructor(canvas) {
    this.context = canvas.getContext('2d', {alpha: false});
    this.context.imageSmoothingEnabled = false;
  }

  // Draws everything for `song` ({info, events, labels} or null) at `status` (the worklet's
  // latest, or null) with the tracks heard (`audible[t]`).
  draw(song, status, audible) {
    const c = this.context;
    c.fillStyle = BACKGROUND;
    c.fillRect(0, 0, WIDTH, HEIGHT);
    if (!song) {
      c.fillStyle = HINT;
      // On whole pixels: at a half pixel every stroke would be two half-lit, dimmer pixels.
      const hint = 'OPEN OR CHOOSE A SONG';
      drawText(c, hint, Math.floor((WIDTH - textWidth(hint)) / 2), 110);
      return;
    }
    const step = status ? Math.max(status.step, 0) : 0;
    this.drawHeader(song.info, status);
    this.drawRoll(song, step, audible);
    this.drawScopes(song, status, audible);
  }

  drawHeader(info, status) {
    const c = this.context;
    const step = status ? status.step : -1;
    const stepsPerBar = Math.max(info.beatsPerBar * info.stepsPerBeat, 1);
    const shown = Math.max(step, 0);
    const bar = Math.floor(shown / stepsPerBar) + 1;
    const beat = Math.floor((shown % stepsPerBar) / Math.max(info.stepsPerBeat, 1)) + 1;
    c.fillStyle = TEXT;
    drawText(c, `STEP ${String(shown).padStart(4, '0')}`, 2, 2);
    drawText(c, `BAR ${String(bar).padStart(3, '0')}.${beat}`, 64, 2);
    drawText(c, `LOOP ${status ? status.loopCount : 0}`, 124, 2);
    const loop = `${info.loopStartStep}-${info.loopEndStep}`;
    c.fillStyle = DIM;
    drawText(c, loop, WIDTH - 2 - textWidth(loop), 2);
  }

  xOfStep(step, now) { return PLAY_X + (step - now) * STEP_PIXELS; }

  drawRoll(song, now, audible) {
    const c = this.context;
    const {info} = song;
    const first = now - PLAY_X / STEP_PIXELS;
    const last = now + (WIDTH - PLAY_X) / STEP_PIXELS;
    // The loop region and the bar lines behind the notes.
    const loopLeft = Math.max(this.xOfStep(info.loopStartStep, now), 0);
    const loopRight = Math.min(this.xOfStep(info.loopEndStep, now), WIDTH);
    if (loopRight > loopLeft) {
      c.fillStyle = LOOP_BACKGROUND;
      c.fillRect(loopLeft, ROLL_TOP, loopRight - loopLeft, SCOPES_TOP - 2 - ROLL_TOP);
    }
    const stepsPerBar = Math.max(info.beatsPerBar * info.stepsPerBeat, 1);
    c.fillStyle = BAR_LINE;
    for (let s = Math.ceil(first / stepsPerBar) * stepsPerBar; s <= last; s += stepsPerBar)
      c.fillRect(this.xOfStep(s, now), ROLL_TOP, 1, SCOPES_TOP - 2 - ROLL_TOP);
    this.drawMelodyNotes(song, now, first, last, audible);
    this.drawDrumHits(song, now, first, last, audible);
    c.fillStyle = '#ffffff';
    c.fillRect(PLAY_X, ROLL_TOP, 1, SCOPES_TOP - 2 - ROLL_TOP);
  }

  // Keys map to rows between the song's lowest and highest key.
  keyRows(song) {
    if (song.keyRows) return song.keyRows;
    let low = 95;
    let high = 0;
    for (let t = 0; t < 8; ++t)
      for (const e of song.events[t])
        if (e.key !== NO_KEY) {
          low = Math.min(low, e.key);
          high = Math.max(high, e.key);
        }
    if (low > high) [low, high] = [36, 60];
    const rowPixels = Math.max(1, Math.min(4, Math.floor(ROLL_HEIGHT / (high - low + 3))));
    const top = ROLL_TOP + Math.floor((ROLL_HEIGHT - rowPixels * (high - low + 1)) / 2);
    song.keyRows = {low, high, rowPixels, yOf: (key) => top + (high - key) * rowPixels};
    return song.keyRows;
  }

  drawMelodyNotes(song, now, first, last, audible) {
    const c = this.context;
    const rows = this.keyRows(song);
    for (let t = 0; t < 8; ++t) {
      const events = song.events[t];
      c.fillStyle = audible[t] ? TRACK_COLOURS[t] : DIM;
      for (let i = firstEventFrom(events, first - 256); i < events.length; ++i) {
        const e = events[i];
        if (e.step > last) break;
        if (e.key === NO_KEY || e.step + e.length < first) continue;
        const x = this.xOfStep(e.step, now);
        const width = Math.max(e.length * STEP_PIXELS - 1, 1);
        c.globalAlpha = e.step + e.length <= now ? 0.45 : 1;
        c.fillRect(x, rows.yOf(e.key), width, Math.max(rows.rowPixels - (rows.rowPixels > 2), 1));
      }
    }
    c.globalAlpha = 1;
  }

  drawDrumHits(song, now, first, last, audible) {
    const c = this.context;
    for (let t = 8; t < 16; ++t) {
      const events = song.events[t];
      const y = DRUM_TOP + (t - 8) * DRUM_LANE;
      c.fillStyle = audible[t] ? TRACK_COLOURS[t] : DIM;
      for (let i = firstEventFrom(events, first); i < events.length; ++i) {
        const e = events[i];
        if (e.step > last) break;
        if (e.key === NO_KEY) continue;
        c.globalAlpha = e.step < now ? 0.45 : 1;
        c.fillRect(this.xOfStep(e.step, now), y, STEP_PIXELS, DRUM_LANE - 1);
      }
    }
    c.globalAlpha = 1;
  }

  drawScopes(song, status, audible) {
    for (let t = 0; t < 16; ++t) {
      const x = (t % 8) * SCOPE_WIDTH;
      const y = SCOPES_TOP + Math.floor(t / 8) * SCOPE_HEIGHT;
      this.drawScope(t, x, y, song.labels[t], status, audible[t]);
    }
  }

  drawScope(track, x, y, label, status, audible) {
    const c = this.context;
    const colour = audible ? TRACK_COLOURS[track] : DIM;
    c.fillStyle = '#101010';
    c.fillRect(x, y, SCOPE_WIDTH - 1, SCOPE_HEIGHT - 1);
    c.fillStyle = audible ? TEXT : DIM;
    drawText(c, label, x + 2, y + 2);
    const middle = y + 8 + Math.floor((SCOPE_HEIGHT - 14) / 2);
    const scope = status?.scopes?.[track];
    const peak = status?.peaks?.[track] ?? 0;
    c.fillStyle = colour;
    if (!scope || scope.length < SCOPE_WINDOW || peak === 0) {
      c.globalAlpha = 0.5;
      c.fillRect(x + 1, middle, SCOPE_WIDTH - 3, 1);  // flat and dimmed: silent
      c.globalAlpha = 1;
    } else {
      this.drawTrace(scope, x, middle, (SCOPE_HEIGHT - 16) / 2);
    }
    // The level: a bar along the cell's foot.
    c.fillStyle = colour;
    c.fillRect(
        x + 1, y + SCOPE_HEIGHT - 4, Math.round(Math.min(peak * 2, 1) * (SCOPE_WIDTH - 3)), 2);
  }

  // One column a pixel, from a rising zero crossing so a steady note stands still; quiet tracks
  // (drums often) are drawn up to eight times larger so their shape shows, as scope views do.
  drawTrace(scope, x, middle, halfHeight) {
    const c = this.context;
    const start = risingZeroCrossing(scope, scope.length - SCOPE_WINDOW);
    let loudest = 0;
    for (let i = start; i < start + SCOPE_WINDOW; ++i)
      loudest = Math.max(loudest, Math.abs(scope[i]));
    const gain = Math.min(8, 0.9 / Math.max(loudest, 1e-9));
    const perPixel = SCOPE_WINDOW / (SCOPE_WIDTH - 3);
    let previous = null;
    for (let column = 0; column < SCOPE_WIDTH - 3; ++column) {
      const value = scope[start + Math.floor(column * perPixel)] * gain;
      const yy = middle - Math.round(Math.max(-1, Math.min(1, value)) * halfHeight);
      const top = previous === null ? yy : Math.min(yy, previous);
      const height = previous === null ? 1 : Math.abs(yy - previous) + 1;
      c.fillRect(x + 1 + column, top, 1, height);
      previous = yy;
    }
  }
}

// The first event at or after `step` (events sorted by step).
function firstEventFrom(events, step) {
  let low = 0;
  let high = events.length;
  while (low < high) {
    const middle = (low + high) >> 1;
    if (events[middle].step < step)
      low = middle + 1;
    else
      high = middle;
  }
  return low;
}

// Where a trace should start: the first rising zero crossing within the first `range` samples
// (0 when there is none).
export function risingZeroCrossing(samples, range) {
  for (let i = 1; i < range; ++i)
    if (samples[i - 1] < 0 && samples[i] >= 0) return i;
  return 0;
}
