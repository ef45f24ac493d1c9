// OrgSong: one Org song played by liborgsynth's WebAssembly build (orgsynth.mjs), for the page's
// main thread (facts, the piano roll, saving a WAV file), its audio worklet (rendering as it
// plays) and node (tests). A thin layer over the C API: the same units (frames, steps, ms), the
// same rules; every song must be closed. One song is one thread's at a time.
import createOrgsynth from './orgsynth.mjs';

// Sizes and places of the C API's structs in the WebAssembly build (32-bit pointers).
const OPTIONS_BYTES = 28;
const ERROR_BYTES = 260;
const INFO_BYTES = 320;
const TRACK_STATE_BYTES = 24;
const PLAYING_BYTES = 12;
const EVENT_BYTES = 8;
export const TRACKS = 16;
export const MELODY_TRACKS = 8;
export const NO_KEY = 255;

// Loads the module; `wasmBinary` may hold its bytes already (not needed: they are inside it).
export async function loadOrgsynth(options = {}) { return createOrgsynth(options); }

export function orgsynthVersion(module) { return module.UTF8ToString(module._orgsynth_version()); }

// True when the bytes start like an Org song ("Org-01" to "Org-03").
export function isOrgSong(module, bytes) {
  const data = new Uint8Array(bytes.slice ? bytes.slice(0, 6) : bytes);
  const at = module._malloc(6);
  module.HEAPU8.fill(0, at, at + 6);
  module.HEAPU8.set(data.subarray(0, 6), at);
  const yes = module._orgsynth_probe(at, data.length) !== 0;
  module._free(at);
  return yes;
}

// The name of drum 0..27 ("Bass01" ... "Cat").
export function drumName(module, drum) {
  const at = module._orgsynth_drum_name(drum);
  return at ? module.UTF8ToString(at) : '';
}

export class OrgSong {
  // Opens a song from its file's bytes (an ArrayBuffer or a typed array) at `sampleRate` frames
  // a second (8000..192000). Throws an Error with the library's message when it is not one.
  constructor(module, bytes, {sampleRate = 44100, nearest = false} = {}) {
    this.m = module;
    this.rate = sampleRate;
    const data = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes);
    const m = module;
    const song = m._malloc(Math.max(data.length, 1));
    const options = m._malloc(OPTIONS_BYTES);
    const error = m._malloc(ERROR_BYTES);
    m.HEAPU8.set(data, song);
    m.HEAPU8.fill(0, options, options + OPTIONS_BYTES);
    m.HEAPU8.fill(0, error, error + ERROR_BYTES);
    const view = new DataView(m.HEAPU8.buffer);
    view.setUint32(options, OPTIONS_BYTES, true);
    view.setUint32(options + 4, sampleRate, true);
    view.setInt32(options + 8, nearest ? 1 : 0, true);
    this.handle = m._orgsynth_open_memory(song, data.length, options, error);
    const message = this.handle ? '' : m.UTF8ToString(error + 4);
    m._free(song);
    m._free(options);
    m._free(error);
    if (!this.handle) throw new Error(message || 'not an Org song');
    this.block = 0;  // an interleaved block in the module's memory, grown as needed
    this.blockFrames = 0;
    this.scopeAt = 0;
    this.scopeLength = 0;
    this.stateAt = 0;  // one orgsynth_track_state, kept for reading levels often
    this.stateView = null;
  }

  close() {
    if (!this.handle) return;
    this.m._orgsynth_close(this.handle);
    if (this.block) this.m._free(this.block);
    if (this.scopeAt) this.m._free(this.scopeAt);
    if (this.stateAt) this.m._free(this.stateAt);
    this.handle = 0;
    this.stateAt = 0;
    this.block = 0;
    this.scopeAt = 0;
  }

  #reserve(frames, bytesPerFrame) {
    if (frames * bytesPerFrame <= this.blockFrames) return;
    if (this.block) this.m._free(this.block);
    this.blockFrames = frames * bytesPerFrame;
    this.block = this.m._malloc(this.blockFrames);
  }

  // Renders up to `left.length` frames into two channel arrays (float, 1.0 full scale); returns
  // the frames written (fewer only at the end; the rest of the arrays is left as it was).
  renderPlanar(left, right) {
    const frames = left.length;
    this.#reserve(frames, 8);
    const got = this.m._orgsynth_render_f32(this.handle, this.block, frames);
    const samples = new Float32Array(this.m.HEAPF32.buffer, this.block, 2 * got);
    for (let i = 0; i < got; ++i) {
      left[i] = samples[2 * i];
      right[i] = samples[2 * i + 1];
    }
    return got;
  }

  // Renders up to `frames` frames of interleaved 16-bit samples; a new Int16Array of what came.
  renderS16(frames) {
    this.#reserve(frames, 4);
    const got = this.m._orgsynth_render_s16(this.handle, this.block, frames);
    return new Int16Array(this.m.HEAP16.buffer, this.block, 2 * got).slice();
  }

  // -1: endless (the default); n: the intro and the loop n + 1 times.
  set repeatCount(count) { this.m._orgsynth_set_repeat_count(this.handle, count); }
  get repeatCount() { return this.m._orgsynth_get_repeat_count(this.handle); }
  // A linear fade of `ms` after the end.
  set fadeMs(ms) { this.m._orgsynth_set_fade(this.handle, ms); }

  // Moves to `frame` exactly.
  seek(frame) { this.m._orgsynth_seek(this.handle, BigInt(Math.max(0, Math.floor(frame)))); }
  get position() { return Number(this.m._orgsynth_position(this.handle)); }
  // Frames to the end of the fade; -1 when endless.
  get length() { return Number(this.m._orgsynth_length(this.handle)); }

  setTrackMute(track, muted) { this.m._orgsynth_set_track_mute(this.handle, track, muted ? 1 : 0); }
  trackMuted(track) { return this.m._orgsynth_get_track_mute(this.handle, track) !== 0; }
  set levels(on) { this.m._orgsynth_set_levels(this.handle, on ? 1 : 0); }

  // The song's facts (see orgsynth_info).
  info() {
    const m = this.m;
    const at = m._malloc(INFO_BYTES);
    m.HEAPU8.fill(0, at, at + INFO_BYTES);
    const view = new DataView(m.HEAPU8.buffer);
    view.setUint32(at, INFO_BYTES, true);
    m._orgsynth_get_info(this.handle, at);
    const v = new DataView(m.HEAPU8.buffer);
    const u64 = (offset) => Number(v.getBigUint64(at + offset, true));
    const info = {
      version: v.getInt32(at + 4, true),
      sampleRate: v.getUint32(at + 8, true),
      stepMs: v.getUint32(at + 12, true),
      beatsPerBar: v.getUint32(at + 16, true),
      stepsPerBeat: v.getUint32(at + 20, true),
      loopStartStep: v.getInt32(at + 24, true),
      loopEndStep: v.getInt32(at + 28, true),
      loopStartFrame: u64(32),
      loopEndFrame: u64(40),
      introFrames: u64(48),
      loopFrames: u64(56),
      tracks: [],
    };
    for (let t = 0; t < TRACKS; ++t) {
      const base = at + 64 + 16 * t;
      info.tracks.push({
        instrument: v.getInt32(base, true),
        finetune: v.getInt32(base + 4, true),
        oneShot: v.getInt32(base + 8, true) !== 0,
        noteCount: v.getUint32(base + 12, true),
      });
    }
    m._free(at);
    return info;
  }

  // Every event of a track: {step, key, length, volume, pan}.
  events(track) {
    const m = this.m;
    const count = this.info().tracks[track].noteCount;
    if (count === 0) return [];
    const at = m._malloc(count * EVENT_BYTES);
    const got = m._orgsynth_get_events(this.handle, track, 0, at, count);
    const v = new DataView(m.HEAPU8.buffer);
    const events = [];
    for (let i = 0; i < got; ++i) {
      const e = at + i * EVENT_BYTES;
      events.push({
        step: v.getInt32(e, true),
        key: v.getUint8(e + 4),
        length: v.getUint8(e + 5),
        volume: v.getUint8(e + 6),
        pan: v.getUint8(e + 7)
      });
    }
    m._free(at);
    return events;
  }

  // The step that sounds now (-1 before the first) and the loop-backs so far.
  playing() {
    const m = this.m;
    const at = m._malloc(PLAYING_BYTES);
    new DataView(m.HEAPU8.buffer).setUint32(at, PLAYING_BYTES, true);
    m._orgsynth_get_playing(this.handle, at);
    const v = new DataView(m.HEAPU8.buffer);
    const result = {step: v.getInt32(at + 4, true), loopCount: v.getInt32(at + 8, true)};
    m._free(at);
    return result;
  }

  // Each track's {key, volume, pan, muted, peak}.
  trackStates() {
    const states = [];
    for (let t = 0; t < TRACKS; ++t) {
      const v = this.#readTrackState(t);
      const at = this.stateAt;
      states.push({
        key: v.getInt32(at + 4, true),
        volume: v.getInt32(at + 8, true),
        pan: v.getInt32(at + 12, true),
        muted: v.getInt32(at + 16, true) !== 0,
        peak: v.getFloat32(at + 20, true)
      });
    }
    return states;
  }

  // Raises peaks[t] to each track's peak over the last render (levels on), allocating nothing:
  // for an audio callback that keeps the loudest of many renders.
  keepPeaks(peaks) {
    for (let t = 0; t < TRACKS; ++t) {
      const peak = this.#readTrackState(t).getFloat32(this.stateAt + 20, true);
      if (peak > peaks[t]) peaks[t] = peak;
    }
  }

  #readTrackState(track) {
    if (!this.stateAt) this.stateAt = this.m._malloc(TRACK_STATE_BYTES);
    if (!this.stateView || this.stateView.buffer !== this.m.HEAPU8.buffer)
      this.stateView = new DataView(this.m.HEAPU8.buffer);
    this.stateView.setUint32(this.stateAt, TRACK_STATE_BYTES, true);
    this.m._orgsynth_get_track_state(this.handle, track, this.stateAt);
    return this.stateView;
  }

  // Keeps the last `frames` frames of each track's own signal (0: off).
  set scopeFrames(frames) {
    this.m._orgsynth_set_scope_frames(this.handle, frames);
    if (this.scopeAt) this.m._free(this.scopeAt);
    this.scopeAt = frames > 0 ? this.m._malloc(4 * frames) : 0;
    this.scopeLength = frames;
  }

  // The newest values of a track's scope, oldest first (a new Float32Array).
  scope(track) {
    if (!this.scopeAt) return new Float32Array(0);
    const got = this.m._orgsynth_get_scope(this.handle, track, this.scopeAt, this.scopeLength);
    return new Float32Array(this.m.HEAPF32.buffer, this.scopeAt, got).slice();
  }
}
