// The page's player: the audio graph (the "orgsynth-player" worklet → volume → analyser →
// speakers), the playlist it plays, and what the page shows of the playing song. It sends the
// worklet commands and keeps the statuses it posts; it never renders sound itself (only its
// "save as WAV" renders, off the audio path). Events: 'song' (a song was opened), 'status'
// (about 40 a second while playing), 'problem' (a readable message), 'state' (play, pause,
// shuffle, endless, mutes changed).
import {defaultSampleRate, drumName, isOrgSong, jukeboxFadeMs, MELODY_TRACKS, OrgSong, TRACKS} from './orgsong.js';
import {Playlist} from './playlist.js';
import {renderWav} from './wav.js';

export class Player extends EventTarget {
  constructor(module) {
    super();
    this.module = module;  // liborgsynth on this thread: facts, events, saving
    this.playlist = new Playlist();
    this.context = null;
    this.node = null;
    this.gain = null;
    this.analyser = null;
    this.song = null;    // {index, title, bytes, info, events, labels, limitFrames, ...}
    this.status = null;  // the worklet's latest status for this song
    this.paused = false;
    this.endless = false;
    this.volume = 0.8;
    this.muted = new Array(TRACKS).fill(false);
    this.soloed = new Array(TRACKS).fill(false);
    this.loadId = 0;
    this.captureWaiter = null;
    this.starting = null;
  }

  // Opens the audio output (on the first gesture: browsers only let sound start from one).
  start() {
    this.starting ??= this.#openAudio();
    return this.starting;
  }

  async #openAudio() {
    this.context = new AudioContext({latencyHint: 'playback'});
    await this.context.audioWorklet.addModule(new URL('./worklet.js', import.meta.url));
    this.node = new AudioWorkletNode(
        this.context, 'orgsynth-player', {numberOfInputs: 0, outputChannelCount: [2]});
    this.gain = this.context.createGain();
    this.analyser = this.context.createAnalyser();
    this.analyser.fftSize = 8192;
    this.node.connect(this.gain).connect(this.analyser).connect(this.context.destination);
    this.setVolume(this.volume);
    this.node.port.onmessage = (event) => this.#receive(event.data);
    this.node.onprocessorerror = () => this.#problem('The sound stopped: the player failed.');
  }

  get sampleRate() {
    return this.context ? this.context.sampleRate : defaultSampleRate(this.module);
  }

  // Which tracks are heard: the soloed ones if any, else all not muted.
  audible() {
    const anySolo = this.soloed.some((s) => s);
    return this.muted.map((muted, t) => anySolo ? this.soloed[t] : !muted);
  }

  // Plays playlist song `index` from its start. A song that cannot be read or opened is named
  // in a 'problem' event, leaves the playlist, and the next one plays instead.
  async play(index) {
    await this.start();
    await this.context.resume();
    const id = ++this.loadId;
    this.playlist.select(index);
    const entry = this.playlist.songs[index];
    let song;
    try {
      const bytes = await entry.load();
      if (id !== this.loadId) return;
      song = this.#describe(index, entry, bytes);
    } catch (error) {
      if (id !== this.loadId) return;
      this.#problem(`“${entry.title}” cannot be played: ${error.message}. Left out.`);
      const next = this.#leaveOut(index);
      if (next >= 0) return this.play(next);
      return;
    }
    this.song = song;
    this.status = null;
    this.paused = false;
    this.node.port.postMessage(
        {type: 'load', id, bytes: song.bytes, muted: this.#effectiveMutes(), ...this.#limit()});
    this.node.port.postMessage({type: 'play'});
    this.dispatchEvent(new Event('song'));
    this.dispatchEvent(new Event('state'));
  }

  // What the page needs of a song: facts, events, labels, its time limit. Throws for a file that
  // is not a whole Org song.
  #describe(index, entry, bytes) {
    if (!isOrgSong(this.module, bytes))
      throw new Error(
          'it is not an Org song (it does not begin with “Org-01”, “Org-02” or “Org-03”)');
    const song = new OrgSong(this.module, bytes, {sampleRate: this.sampleRate});
    try {
      const info = song.info();
      const events = [];
      for (let t = 0; t < TRACKS; ++t) events.push(song.events(t));
      const labels = info.tracks.map((track, t) => {
        if (track.noteCount === 0) return t < MELODY_TRACKS ? `${t + 1} -` : '-';
        return t < MELODY_TRACKS ? `${t + 1} W${track.instrument}` :
                                   (drumName(this.module, track.instrument) || '?');
      });
      const twoPasses = info.loopEndFrame + info.loopFrames;
      const limitFrames = entry.limitSeconds > 0 ?
          Math.round(entry.limitSeconds * this.sampleRate) :
          Math.max(twoPasses, this.sampleRate);
      // At its time limit the song fades out as long as the jukebox's fade, with the library's
      // own end fade (a straight line; org/fades.h): its length, in frames, is the library's.
      const fadeMs = jukeboxFadeMs(this.module);
      song.endFrame = limitFrames;
      song.fadeMs = fadeMs;
      const fadeFrames = song.length - limitFrames;
      return {
        index,
        title: entry.title,
        bytes: bytes.slice(0),
        info,
        events,
        labels,
        limitFrames,
        fadeMs,
        fadeFrames
      };
    } finally {
      song.close();
    }
  }

  #limit() {
    if (!this.song || this.endless) return {limitFrames: -1, fadeMs: 0};
    return {limitFrames: this.song.limitFrames, fadeMs: this.song.fadeMs};
  }

  #effectiveMutes() { return this.audible().map((heard) => !heard); }

  #receive(message) {
    if (message.type === 'status' && message.id === this.loadId) {
      this.status = message;
      this.dispatchEvent(new Event('status'));
    } else if (message.type === 'ended' && message.id === this.loadId) {
      this.next();
    } else if (message.type === 'failed') {
      this.#problem(`The song cannot be played: ${message.message}. Left out.`);
      if (message.id === this.loadId && this.song) {
        const next = this.#leaveOut(this.song.index);
        this.song = null;
        if (next >= 0) this.play(next);
      }
    } else if (message.type === 'captured' && this.captureWaiter) {
      this.captureWaiter(message);
      this.captureWaiter = null;
    }
  }

  // Takes a song that cannot be played out of the playlist (the one playing keeps its place);
  // the index to play instead, or -1.
  #leaveOut(index) {
    const next = this.playlist.remove(index);
    if (this.song && this.song.index > index) --this.song.index;
    this.dispatchEvent(new Event('state'));
    return next;
  }

  #problem(text) { this.dispatchEvent(Object.assign(new Event('problem'), {text})); }

  // The length shown and seekable: to the end of the fade, or one pass through the loop when
  // endless. Frames.
  get length() {
    if (!this.song) return 0;
    if (this.endless) return Math.max(this.song.info.loopEndFrame, 1);
    return this.song.limitFrames + this.song.fadeFrames;
  }

  // The position shown, in frames: endless, the loop's passes fold onto the first.
  get position() {
    if (!this.status) return 0;
    const p = this.status.position;
    const {loopStartFrame, loopEndFrame, loopFrames} = this.song.info;
    if (!this.endless || p < loopEndFrame || loopFrames === 0) return Math.min(p, this.length);
    return loopStartFrame + (p - loopStartFrame) % loopFrames;
  }

  get playing() { return !!this.song && !this.paused; }

  togglePause() {
    if (!this.song) return this.play(Math.max(this.playlist.current, 0));
    this.paused = !this.paused;
    if (!this.paused) this.context.resume();
    this.node.port.postMessage({type: this.paused ? 'pause' : 'play'});
    this.dispatchEvent(new Event('state'));
  }

  next() { return this.playlist.size ? this.play(this.playlist.step(1)) : null; }
  previous() { return this.playlist.size ? this.play(this.playlist.step(-1)) : null; }

  // Moves the song to `frame` exactly. With `captureFrames`, resolves to the first frames the
  // worklet plays from there ({left, right}), for the tests.
  seek(frame, captureFrames = 0) {
    if (!this.song) return Promise.resolve(null);
    const target = Math.max(0, Math.min(Math.floor(frame), this.length - 1));
    const captured = captureFrames > 0 ? new Promise((resolve) => {
      this.captureWaiter = resolve;
    }) :
                                         Promise.resolve(null);
    this.node.port.postMessage({type: 'seek', frame: target, captureFrames});
    return captured;
  }

  seekBy(seconds) { return this.seek(this.position + seconds * this.sampleRate); }

  setVolume(volume) {
    this.volume = Math.max(0, Math.min(1, volume));
    if (this.gain) this.gain.gain.setTargetAtTime(this.volume * this.volume, 0, 0.02);
  }

  setEndless(on) {
    this.endless = on;
    if (this.node) this.node.port.postMessage({type: 'limit', ...this.#limit()});
    this.dispatchEvent(new Event('state'));
  }

  setShuffle(on) {
    this.playlist.shuffle(on);
    this.dispatchEvent(new Event('state'));
  }

  // Mutes or solos a track (a solo silences every track not soloed).
  setTrackMuted(track, muted) {
    this.muted[track] = muted;
    this.#sendMutes();
  }
  setTrackSoloed(track, soloed) {
    this.soloed[track] = soloed;
    this.#sendMutes();
  }

  #sendMutes() {
    if (this.node)
      this.#effectiveMutes().forEach(
          (muted, track) => this.node.port.postMessage({type: 'mute', track, muted}));
    this.dispatchEvent(new Event('state'));
  }

  // Adds songs to the playlist ([{title, limitSeconds, load}]); returns the first one's index.
  add(songs) {
    const first = this.playlist.add(songs);
    if (this.playlist.shuffled) this.playlist.shuffle(true);
    this.dispatchEvent(new Event('state'));
    return first;
  }

  // The playing song rendered as org2wav renders it by default (the intro and the loop twice,
  // 44100 Hz, 16-bit stereo WAV): the file's bytes. Renders in slices, letting the page draw.
  async wavOf(index = this.song?.index) {
    const bytes = await this.playlist.songs[index].load();
    return renderWav(this.module, bytes, {pause: () => new Promise((r) => setTimeout(r, 0))});
  }
}
