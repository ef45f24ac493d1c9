// The studio's song: an Org file as plain, editable data (header, sixteen tracks, their events)
// and back, through liborgsynth's reader and writer in the WebAssembly module
// (orgsynth_read_song / orgsynth_write_song), and MIDI import through the module's
// studio_import_midi (the same C++ as mid2org). Every byte of a saved song comes from the
// library's writer; the structs' layouts are the module's own (structLayout). Used by the
// studio's page (studio.js) and its tests in node.
import {MELODY_TRACKS, structLayout, TRACKS} from '../orgsong.js';

export const EVENTS_PER_TRACK = 4096;
const SONG_EVENTS = TRACKS * EVENTS_PER_TRACK;

export const NO_VALUE = 255;  // a key, volume or pan that is not there / unchanged
export const KEYS = 96;       // melody keys 0..95 (C0..B7)
export const IN_TUNE = 1000;  // the stored finetune of a track in tune

// A new song: 4/4, four steps a beat at 120 beats a minute, a four-bar loop, sine-like melody
// voices and a drum kit of kick, snare, hats, tom, crash and two percussions.
export function newSong() {
  const drums = [0, 2, 5, 6, 4, 7, 8, 9];
  return {
    version: 2,
    wait: 125,
    beatsPerBar: 4,
    stepsPerBeat: 4,
    loopStart: 0,
    loopEnd: 64,
    tracks:
        Array.from({length: TRACKS}, (_, t) => ({
                                       instrument: t < MELODY_TRACKS ? 0 : drums[t - MELODY_TRACKS],
                                       finetune: IN_TUNE,
                                       oneShot: 0,
                                       events: [],
                                     })),
  };
}

// A copy of a song to change. With `tracks` (track numbers), only those tracks' events are
// copied: the others are shared with `song` and must not be changed.
export function cloneSong(song, tracks = null) {
  const deep = (t) => tracks === null || tracks.includes(t);
  return {
    ...song,
    tracks: song.tracks.map(
        (track, t) =>
            ({...track, events: deep(t) ? track.events.map((e) => ({...e})) : track.events})),
  };
}

function withError(m, call) {
  const E = structLayout(m).orgsynth_error;
  const error = m._malloc(E.sizeof);
  m.HEAPU8.fill(0, error, error + E.sizeof);
  try {
    const code = call(error);
    return {code, message: m.UTF8ToString(error + E.message)};
  } finally {
    m._free(error);
  }
}

// Reads an Org file's bytes: {song, notes} (notes: how the file differs from what the writer
// gives back, one sentence a line; '' for a file in the writer's own form). Throws an Error with
// the library's message for bytes that are not a whole Org song.
export function readSong(m, bytes) {
  const data = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes);
  const {orgsynth_song_data: S, orgsynth_track_data: T, orgsynth_event: E} = structLayout(m);
  const at = m._malloc(Math.max(data.length, 1));
  const song = m._malloc(S.sizeof);
  const events = m._malloc(SONG_EVENTS * E.sizeof);
  try {
    m.HEAPU8.set(data, at);
    const {code, message} = withError(
        m, (error) => m._orgsynth_read_song(at, data.length, song, events, SONG_EVENTS, error));
    if (code !== 0) throw new Error(message);
    const v = new DataView(m.HEAPU8.buffer);
    const result = {
      version: v.getUint32(song + S.version, true),
      wait: v.getUint32(song + S.step_ms, true),
      beatsPerBar: v.getUint32(song + S.beats_per_bar, true),
      stepsPerBeat: v.getUint32(song + S.steps_per_beat, true),
      loopStart: v.getInt32(song + S.loop_start_step, true),
      loopEnd: v.getInt32(song + S.loop_end_step, true),
      tracks: [],
    };
    for (let t = 0; t < TRACKS; ++t) {
      const base = song + S.tracks + t * T.sizeof;
      const count = v.getUint32(base + T.event_count, true);
      const first = v.getUint32(base + T.events, true);
      const list = [];
      for (let i = 0; i < count; ++i) {
        const e = first + i * E.sizeof;
        list.push({
          step: v.getInt32(e + E.step, true),
          key: v.getUint8(e + E.key),
          length: v.getUint8(e + E.length),
          volume: v.getUint8(e + E.volume),
          pan: v.getUint8(e + E.pan),
        });
      }
      result.tracks.push({
        instrument: v.getUint32(base + T.instrument, true),
        finetune: v.getUint32(base + T.finetune, true),
        oneShot: v.getUint32(base + T.one_shot, true),
        events: list,
      });
    }
    return {song: result, notes: message};
  } finally {
    m._free(at);
    m._free(song);
    m._free(events);
  }
}

// Writes a song as an Org file's bytes (a new Uint8Array). Throws an Error with the writer's
// message when a value is one the format cannot hold ("track 3 holds 4097 events: ...").
export function writeSong(m, song) {
  const total = song.tracks.reduce((sum, t) => sum + t.events.length, 0);
  const {orgsynth_song_data: S, orgsynth_track_data: T, orgsynth_event: E} = structLayout(m);
  const data = m._malloc(S.sizeof);
  const events = m._malloc(Math.max(total, 1) * E.sizeof);
  const size = m._malloc(4);
  let out = 0;
  try {
    let v = new DataView(m.HEAPU8.buffer);
    v.setUint32(data + S.version, song.version, true);
    v.setUint32(data + S.step_ms, song.wait, true);
    v.setUint32(data + S.beats_per_bar, song.beatsPerBar, true);
    v.setUint32(data + S.steps_per_beat, song.stepsPerBeat, true);
    v.setInt32(data + S.loop_start_step, song.loopStart, true);
    v.setInt32(data + S.loop_end_step, song.loopEnd, true);
    let next = events;
    song.tracks.forEach((track, t) => {
      const base = data + S.tracks + t * T.sizeof;
      v.setUint32(base + T.instrument, track.instrument, true);
      v.setUint32(base + T.finetune, track.finetune, true);
      v.setUint32(base + T.one_shot, track.oneShot, true);
      v.setUint32(base + T.event_count, track.events.length, true);
      v.setUint32(base + T.events, next, true);
      for (const e of track.events) {
        v.setInt32(next + E.step, e.step, true);
        v.setUint8(next + E.key, e.key);
        v.setUint8(next + E.length, e.length);
        v.setUint8(next + E.volume, e.volume);
        v.setUint8(next + E.pan, e.pan);
        next += E.sizeof;
      }
    });
    // First the size, then the bytes.
    v.setUint32(size, 0, true);
    let result = withError(m, (error) => m._orgsynth_write_song(data, 0, 0, size, error));
    v = new DataView(m.HEAPU8.buffer);
    const needed = v.getUint32(size, true);
    if (needed === 0) throw new Error(result.message);
    out = m._malloc(needed);
    result = withError(m, (error) => m._orgsynth_write_song(data, out, needed, size, error));
    if (result.code !== 0) throw new Error(result.message);
    return m.HEAPU8.slice(out, out + needed);
  } finally {
    m._free(data);
    m._free(events);
    m._free(size);
    if (out) m._free(out);
  }
}

// Imports a Standard MIDI File with `stepsPerBeat` steps a quarter note: {bytes, report} (the Org
// file and the import's report lines). Throws an Error saying why for a file it cannot read.
export function importMidi(m, midi, stepsPerBeat) {
  const data = midi instanceof Uint8Array ? midi : new Uint8Array(midi);
  const at = m._malloc(Math.max(data.length, 1));
  const size = m._malloc(4);
  const report = m._malloc(4);
  try {
    m.HEAPU8.set(data, at);
    const org = m._studio_import_midi(at, data.length, stepsPerBeat, size, report);
    const v = new DataView(m.HEAPU8.buffer);
    const text = v.getUint32(report, true);
    const lines = text ? m.UTF8ToString(text).split('\n').filter((l) => l) : [];
    if (text) m._free(text);
    if (!org) throw new Error(lines[0] ?? 'the MIDI file cannot be read');
    const bytes = m.HEAPU8.slice(org, org + v.getUint32(size, true));
    m._free(org);
    return {bytes, report: lines};
  } finally {
    m._free(at);
    m._free(size);
    m._free(report);
  }
}
