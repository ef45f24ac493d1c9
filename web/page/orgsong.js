// OrgSong: one Org song played by liborgsynth's WebAssembly build (orgsynth.mjs), for the page's
// main thread (facts, the piano roll, saving a WAV file), its audio worklet (rendering as it
// plays) and node (tests). A thin layer over the C API: the same units (frames, steps, ms), the
// same rules; every song must be closed. One song is one thread's at a time.
import createOrgsynth from './orgsynth.mjs';

export const TRACKS = 16;
export const MELODY_TRACKS = 8;
export const NO_KEY = 255;

// The sizes and places of the C API's structs, as the WebAssembly build compiled them (its
// 32-bit pointers and size_t), read from the module itself (web/struct_layout.cpp): a
// {struct: {sizeof, field: offset, ...}} by the header's names; nothing is written here by hand.
// A name the header does not have throws instead of reading at offset NaN.
const layouts = new WeakMap();
export function structLayout(module) {
  let layout = layouts.get(module);
  if (!layout) {
    const named = (object, what) => new Proxy(object, {
      get(target, name) {
        if (typeof name === 'string' && !Object.hasOwn(target, name))
          throw new Error(`orgsynth.h has no ${what}${name}`);
        return target[name];
      }
    });
    const parsed = JSON.parse(module.UTF8ToString(module._web_struct_layout()));
    for (const [name, fields] of Object.entries(parsed)) parsed[name] = named(fields, `${name}.`);
    layout = named(parsed, '');
    layouts.set(module, layout);
  }
  return layout;
}

// The library's defaults: the sample rate a song opens at when none is given, and the length of
// the jukebox's fade into the next song (ms), which the page gives its own fade at a time limit.
export function defaultSampleRate(module) { return module._orgsynth_default_sample_rate() >>> 0; }
export function jukeboxFadeMs(module) { return module._orgsynth_jukebox_fade_ms() >>> 0; }

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
  // a second (8000..192000; by default the library's default rate). Throws an Error with the
  // library's message when it is not one.
  constructor(module, bytes, {sampleRate = defaultSampleRate(module), nearest = false} = {}) {
    this.m = module;
    this.rate = sampleRate;
    this.layout = structLayout(module);
    const data = bytes instanceof Uint8Array ? bytes : new Uint8Array(bytes);
    const m = module;
    const O = this.layout.orgsynth_options;
    const E = this.layout.orgsynth_error;
    const song = m._malloc(Math.max(data.length, 1));
    const options = m._malloc(O.sizeof);
    const error = m._malloc(E.sizeof);
    m.HEAPU8.set(data, song);
    m.HEAPU8.fill(0, options, options + O.sizeof);
    m.HEAPU8.fill(0, error, error + E.sizeof);
    const view = new DataView(m.HEAPU8.buffer);
    view.setUint32(options + O.size, O.sizeof, true);
    view.setUint32(options + O.sample_rate, sampleRate, true);
    view.setInt32(options + O.interpolation, nearest ? 1 : 0, true);
    this.handle = m._orgsynth_open_memory(song, data.length, options, error);
    const message = this.handle ? '' : m.UTF8ToString(error + E.message);
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
  // The renderer's end fade: a straight line down to silence over `ms` after the end.
  set fadeMs(ms) { this.m._orgsynth_set_fade(this.handle, ms); }
  // Ends the song at `frame` (the fade follows), whatever the repeat count; -1: the repeat
  // count decides again.
  set endFrame(frame) { this.m._orgsynth_set_end_frame(this.handle, BigInt(Math.floor(frame))); }

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
    const I = this.layout.orgsynth_info;
    const T = this.layout.orgsynth_track_info;
    const at = m._malloc(I.sizeof);
    m.HEAPU8.fill(0, at, at + I.sizeof);
    const view = new DataView(m.HEAPU8.buffer);
    view.setUint32(at + I.size, I.sizeof, true);
    m._orgsynth_get_info(this.handle, at);
    const v = new DataView(m.HEAPU8.buffer);
    const u64 = (offset) => Number(v.getBigUint64(at + offset, true));
    const info = {
      version: v.getInt32(at + I.version, true),
      sampleRate: v.getUint32(at + I.sample_rate, true),
      stepMs: v.getUint32(at + I.step_ms, true),
      beatsPerBar: v.getUint32(at + I.beats_per_bar, true),
      stepsPerBeat: v.getUint32(at + I.steps_per_beat, true),
      loopStartStep: v.getInt32(at + I.loop_start_step, true),
      loopEndStep: v.getInt32(at + I.loop_end_step, true),
      loopStartFrame: u64(I.loop_start_frame),
      loopEndFrame: u64(I.loop_end_frame),
      introFrames: u64(I.intro_frames),
      loopFrames: u64(I.loop_frames),
      tracks: [],
    };
    for (let t = 0; t < TRACKS; ++t) {
      const base = at + I.tracks + T.sizeof * t;
      info.tracks.push({
        instrument: v.getInt32(base + T.instrument, true),
        finetune: v.getInt32(base + T.finetune, true),
        oneShot: v.getInt32(base + T.one_shot, true) !== 0,
        noteCount: v.getUint32(base + T.note_count, true),
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
    const E = this.layout.orgsynth_event;
    const at = m._malloc(count * E.sizeof);
    const got = m._orgsynth_get_events(this.handle, track, 0, at, count);
    const v = new DataView(m.HEAPU8.buffer);
    const events = [];
    for (let i = 0; i < got; ++i) {
      const e = at + i * E.sizeof;
      events.push({
        step: v.getInt32(e + E.step, true),
        key: v.getUint8(e + E.key),
        length: v.getUint8(e + E.length),
        volume: v.getUint8(e + E.volume),
        pan: v.getUint8(e + E.pan)
      });
    }
    m._free(at);
    return events;
  }

  // The step that sounds now (-1 before the first) and the loop-backs so far.
  playing() {
    const m = this.m;
    const P = this.layout.orgsynth_playing;
    const at = m._malloc(P.sizeof);
    new DataView(m.HEAPU8.buffer).setUint32(at + P.size, P.sizeof, true);
    m._orgsynth_get_playing(this.handle, at);
    const v = new DataView(m.HEAPU8.buffer);
    const result = {
      step: v.getInt32(at + P.step, true),
      loopCount: v.getInt32(at + P.loop_count, true)
    };
    m._free(at);
    return result;
  }

  // Each track's {key, volume, pan, muted, peak}.
  trackStates() {
    const S = this.layout.orgsynth_track_state;
    const states = [];
    for (let t = 0; t < TRACKS; ++t) {
      const v = this.#readTrackState(t);
      const at = this.stateAt;
      states.push({
        key: v.getInt32(at + S.key, true),
        volume: v.getInt32(at + S.volume, true),
        pan: v.getInt32(at + S.pan, true),
        muted: v.getInt32(at + S.muted, true) !== 0,
        peak: v.getFloat32(at + S.peak, true)
      });
    }
    return states;
  }

  // Raises peaks[t] to each track's peak over the last render (levels on), allocating nothing:
  // for an audio callback that keeps the loudest of many renders.
  keepPeaks(peaks) {
    const peakAt = this.layout.orgsynth_track_state.peak;
    for (let t = 0; t < TRACKS; ++t) {
      const peak = this.#readTrackState(t).getFloat32(this.stateAt + peakAt, true);
      if (peak > peaks[t]) peaks[t] = peak;
    }
  }

  #readTrackState(track) {
    const S = this.layout.orgsynth_track_state;
    if (!this.stateAt) this.stateAt = this.m._malloc(S.sizeof);
    if (!this.stateView || this.stateView.buffer !== this.m.HEAPU8.buffer)
      this.stateView = new DataView(this.m.HEAPU8.buffer);
    this.stateView.setUint32(this.stateAt + S.size, S.sizeof, true);
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
