// The studio's sound: the player's own worklet ("orgsynth-player", web/worklet.js) renders the
// song being edited; an edit re-opens it from the edited bytes at the very frame it had reached,
// so edits are heard at once while playing. Also the short preview of a note as it is placed
// (rendered by the same library, then played once). Measures the time from an edit to the
// moment its sound can leave the speakers. Used by studio.js.
import {defaultSampleRate, MELODY_TRACKS, OrgSong} from '../orgsong.js';

import {cloneSong, newSong, writeSong} from './song_data.js';

const PREVIEW_STEPS = 8;
const PREVIEW_WAIT_MS = 50;

export class StudioAudio extends EventTarget {
  constructor(module) {
    super();
    this.module = module;
    this.context = null;
    this.node = null;
    this.analyser = null;
    this.loadId = 0;
    this.sentAt = new Map();  // load id → when its edit began (performance.now())
    this.editStarted = null;  // set by the studio as an edit begins
    this.editToSoundMs = [];  // the latest measurements
    this.status = null;
    this.playing = false;
    this.bytes = null;
    this.muted = new Array(16).fill(false);
  }

  get sampleRate() {
    return this.context ? this.context.sampleRate : defaultSampleRate(this.module);
  }

  // The output opens on the first gesture (browsers let sound start only from one).
  start() {
    this.starting ??= this.#open();
    return this.starting;
  }

  async #open() {
    this.context = new AudioContext({latencyHint: 'interactive'});
    await this.context.audioWorklet.addModule(new URL('../worklet.js', import.meta.url));
    this.node = new AudioWorkletNode(
        this.context, 'orgsynth-player', {numberOfInputs: 0, outputChannelCount: [2]});
    this.analyser = this.context.createAnalyser();
    this.analyser.fftSize = 2048;
    this.node.connect(this.analyser).connect(this.context.destination);
    this.node.port.onmessage = (event) => this.#receive(event.data);
    if (this.bytes) this.#send(this.bytes, false);
  }

  #receive(message) {
    if (message.type === 'status' && message.id === this.loadId) {
      this.status = message;
      this.dispatchEvent(new Event('status'));
    } else if (message.type === 'loaded' && this.sentAt.has(message.id)) {
      // The edited song's first frame, on the page's clock when it leaves the speakers.
      const stamp = this.context.getOutputTimestamp();
      const heard =
          stamp.performanceTime + (message.frame / this.sampleRate - stamp.contextTime) * 1000;
      this.editToSoundMs.push(heard - this.sentAt.get(message.id));
      if (this.editToSoundMs.length > 50) this.editToSoundMs.shift();
      this.sentAt.delete(message.id);
    }
  }

  #send(bytes, keepPosition) {
    const id = ++this.loadId;
    if (keepPosition) this.sentAt.set(id, this.editStarted ?? performance.now());
    this.node.port.postMessage(
        {type: 'load', id, bytes, muted: this.muted, limitFrames: -1, fadeMs: 0, keepPosition});
  }

  // The song to play from now on: while playing, re-opened where it was.
  setSong(bytes) {
    this.bytes = bytes;
    if (this.node) this.#send(bytes, true);
  }

  // The frame on which step `step` first sounds (liborgsynth's timing: one step after the start).
  frameOfStep(step, wait) { return Math.round((step + 1) * wait * this.sampleRate / 1000); }

  async playFrom(step, wait) {
    await this.start();
    await this.context.resume();
    this.#send(this.bytes, false);
    this.node.port.postMessage(
        {type: 'seek', frame: Math.max(0, this.frameOfStep(step, wait) - 1)});
    this.node.port.postMessage({type: 'play'});
    this.playing = true;
  }

  stop() {
    if (this.node) this.node.port.postMessage({type: 'pause'});
    this.playing = false;
  }

  setMuted(muted) {
    this.muted = muted;
    if (this.node)
      muted.forEach((m, track) => this.node.port.postMessage({type: 'mute', track, muted: m}));
  }

  // Plays `key` on track `t` of `song` once, as the song's track sounds (its waveform, finetune,
  // one-shot or drum), for hearing a note as it is placed.
  async preview(song, t, key) {
    await this.start();
    await this.context.resume();
    const tiny = newSong();
    tiny.wait = PREVIEW_WAIT_MS;
    tiny.loopStart = 0;
    tiny.loopEnd = PREVIEW_STEPS * 2;
    tiny.tracks[t] = {...cloneSong(song).tracks[t], events: []};
    tiny.tracks[t].events.push(
        {step: 0, key, length: t < MELODY_TRACKS ? PREVIEW_STEPS : 1, volume: 200, pan: 6});
    const rendered =
        new OrgSong(this.module, writeSong(this.module, tiny), {sampleRate: this.sampleRate});
    try {
      rendered.repeatCount = 0;
      const frames = this.frameOfStep(PREVIEW_STEPS + 2, PREVIEW_WAIT_MS);
      const buffer = this.context.createBuffer(2, frames, this.sampleRate);
      rendered.renderPlanar(buffer.getChannelData(0), buffer.getChannelData(1));
      const source = this.context.createBufferSource();
      source.buffer = buffer;
      source.connect(this.analyser);
      source.start();
    } finally {
      rendered.close();
    }
  }

  // The level of what plays now (root mean square of the analyser's last samples).
  level() {
    if (!this.analyser) return 0;
    const samples = new Float32Array(this.analyser.fftSize);
    this.analyser.getFloatTimeDomainData(samples);
    let sum = 0;
    for (const s of samples) sum += s * s;
    return Math.sqrt(sum / samples.length);
  }
}
