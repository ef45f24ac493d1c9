// The page's audio: an AudioWorkletProcessor ("orgsynth-player") that renders the playing song
// with liborgsynth's WebAssembly build at the audio context's own sample rate, 128 frames a
// block, so nothing is resampled after the mix. The main thread only sends commands (below) and
// draws what this posts back; nothing here waits on it.
//
// Commands (port messages {type, ...}):
//   load {id, bytes, limitFrames, fadeMs, muted[16], keepPosition}  open a song (play from
//                                      its start; with keepPosition, from the frame the song
//                                      it replaces had reached: the studio's edits)
//   play / pause                       go on / hold (a held song outputs silence)
//   seek {frame, captureFrames}        move to a frame exactly; optionally post the next
//                                      captureFrames frames played from there ("captured")
//   mute {track, muted}                silence a track or give it back
//   limit {limitFrames, fadeMs}        when to fade out (limitFrames -1: endless); the fade is
//                                      the library's end fade (orgsynth_set_end_frame and
//                                      orgsynth_set_fade), a straight line to silence
// Posts: ready, loaded {id, rate, frame (the context's frame it opened at)}, failed {id, message},
// status {...} about 40 times a second while playing, captured {left, right}, ended {id}.
import {loadOrgsynth, OrgSong, TRACKS} from './orgsong.js';

const SCOPE_FRAMES = 512;
const STATUS_EVERY_FRAMES = 1024;  // about 43 a second at 44100 Hz: smooth scopes

class OrgsynthPlayer extends AudioWorkletProcessor {
  constructor() {
    super();
    this.module = null;
    this.song = null;
    this.id = 0;
    this.playing = false;
    this.ended = false;
    this.sinceStatus = 0;
    this.capture = null;
    this.peaks = new Float32Array(TRACKS);  // the loudest of each track since the last status
    this.waiting = [];                      // commands that came before the module was ready
    this.port.onmessage = (event) => this.receive(event.data);
    loadOrgsynth().then((module) => {
      this.module = module;
      this.port.postMessage({type: 'ready'});
      for (const command of this.waiting.splice(0)) this.command(command);
    }, (error) => this.port.postMessage({type: 'failed', id: 0, message: String(error)}));
  }

  receive(command) {
    if (this.module)
      this.command(command);
    else
      this.waiting.push(command);
  }

  command(c) {
    switch (c.type) {
      case 'load':
        return this.load(c);
      case 'play':
        this.playing = true;
        return;
      case 'pause':
        this.playing = false;
        this.postStatus();
        return;
      case 'seek':
        return this.seek(c);
      case 'mute':
        if (this.song) this.song.setTrackMute(c.track, c.muted);
        return;
      case 'limit':
        if (this.song) this.#setLimit(c);
        return;
    }
  }

  load(c) {
    const resumeAt = c.keepPosition && this.song ? this.song.position : 0;
    if (this.song) this.song.close();
    this.song = null;
    this.id = c.id;
    try {
      this.song = new OrgSong(this.module, c.bytes, {sampleRate});
    } catch (error) {
      this.port.postMessage({type: 'failed', id: c.id, message: error.message});
      return;
    }
    if (resumeAt > 0) this.song.seek(resumeAt);
    this.song.levels = true;
    this.song.scopeFrames = SCOPE_FRAMES;
    (c.muted ?? []).forEach((muted, track) => this.song.setTrackMute(track, muted));
    this.#setLimit(c);
    this.ended = false;
    this.capture = null;
    this.port.postMessage({type: 'loaded', id: c.id, rate: sampleRate, frame: currentFrame});
    this.postStatus();
  }

  seek(c) {
    if (!this.song) return;
    this.song.seek(c.frame);
    this.ended = false;
    this.capture = c.captureFrames > 0 ?
        {left: new Float32Array(c.captureFrames), right: new Float32Array(c.captureFrames), at: 0} :
        null;
    this.postStatus();
  }

  // The song ends at its time limit and fades out after it (the library's end fade); -1: it
  // plays on endlessly.
  #setLimit({limitFrames = -1, fadeMs = 0}) {
    this.song.endFrame = limitFrames;
    this.song.fadeMs = limitFrames >= 0 ? fadeMs : 0;
  }

  process(inputs, outputs) {
    const [left, right] = outputs[0];
    if (!this.song || !this.playing || this.ended) {
      left.fill(0);
      right.fill(0);
      return true;
    }
    const got = this.song.renderPlanar(left, right);
    left.fill(0, got);
    right.fill(0, got);
    this.song.keepPeaks(this.peaks);
    this.keepCapture(left, right, got);
    this.sinceStatus += got;
    if (this.sinceStatus >= STATUS_EVERY_FRAMES) this.postStatus();
    const length = this.song.length;
    if (got < left.length || (length >= 0 && this.song.position >= length)) {
      this.ended = true;
      this.postStatus();
      this.port.postMessage({type: 'ended', id: this.id});
    }
    return true;
  }

  keepCapture(left, right, frames) {
    const c = this.capture;
    if (!c) return;
    const n = Math.min(frames, c.left.length - c.at);
    c.left.set(left.subarray(0, n), c.at);
    c.right.set(right.subarray(0, n), c.at);
    c.at += n;
    if (c.at < c.left.length) return;
    this.port.postMessage(
        {type: 'captured', left: c.left, right: c.right}, [c.left.buffer, c.right.buffer]);
    this.capture = null;
  }

  postStatus() {
    this.sinceStatus = 0;
    if (!this.song) return;
    const playing = this.song.playing();
    const states = this.song.trackStates();
    const peaks = Array.from(this.peaks);
    this.peaks.fill(0);
    const scopes = [];
    for (let t = 0; t < TRACKS; ++t) scopes.push(this.song.scope(t));
    this.port.postMessage(
        {
          type: 'status',
          id: this.id,
          position: this.song.position,
          step: playing.step,
          loopCount: playing.loopCount,
          playing: this.playing && !this.ended,
          keys: states.map((s) => s.key),
          peaks,
          scopes,
        },
        scopes.map((s) => s.buffer));
  }
}

registerProcessor('orgsynth-player', OrgsynthPlayer);
