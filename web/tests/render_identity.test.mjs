// liborgsynth in WebAssembly against the native build: the same song gives the same bytes, in
// node. Needs ORGSYNTH_WEB (the built page folder), ORG2WAV (the native tool) and ORG_DEMO (the
// demo songs' folder).
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {mkdtempSync, readdirSync, readFileSync, rmSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {test} from 'node:test';
import {pathToFileURL} from 'node:url';

const web = process.env.ORGSYNTH_WEB;
const org2wav = process.env.ORG2WAV;
const demo = process.env.ORG_DEMO;
const orgsong = await import(pathToFileURL(join(web, 'orgsong.js')));
const {loadOrgsynth, OrgSong, isOrgSong, orgsynthVersion, structLayout} = orgsong;
const {renderWav} = await import(pathToFileURL(join(web, 'wav.js')));
const {makeSong, sineSong} = await import('./test_songs.mjs');
const module = await loadOrgsynth();
const scratch = mkdtempSync(join(tmpdir(), 'orgsynth-web-'));
process.on('exit', () => rmSync(scratch, {recursive: true, force: true}));

function nativeRender(song, args = []) {
  const out = join(scratch, 'native.wav');
  execFileSync(org2wav, ['-q', ...args, song, out]);
  return readFileSync(out);
}

function assertSameBytes(actual, expected, what) {
  assert.equal(actual.length, expected.length, `${what}: length`);
  const differs = Buffer.from(actual).compare(expected);
  if (differs !== 0) {
    const at = Buffer.from(actual).findIndex((b, i) => b !== expected[i]);
    assert.fail(`${what}: first different byte at ${at}`);
  }
}

test('every demo song renders to org2wav\'s very bytes', async () => {
  const songs = readdirSync(demo).filter((f) => f.endsWith('.org'));
  assert.equal(songs.length, 6);
  for (const name of songs) {
    const path = join(demo, name);
    assertSameBytes(await renderWav(module, readFileSync(path)), nativeRender(path), name);
  }
});

test('another rate, muted tracks, one pass and a fade render as org2wav renders them', async () => {
  const path = join(demo, 'Korobeiniki.org');
  const web = await renderWav(
      module, readFileSync(path), {rate: 48000, repeatCount: 0, fadeMs: 3000, muted: [0, 9]});
  const native =
      nativeRender(path, ['--rate', '48000', '--loops', '1', '--fade', '3', '--mute', '0,9']);
  assertSameBytes(web, native, 'Korobeiniki at 48000 Hz');
});

// The scripts read and write the C structs by the module's own layout (offsetof and sizeof as
// the WebAssembly build compiled them): every field lies inside its struct, in the header's
// order, a `size` field (size_t) and a pointer take the 4 bytes the scripts write, and the few
// numbers the scripts name before the module loads are the header's.
test(
    'the structs are read by the module\'s layout and the scripts\' numbers are the header\'s',
    async () => {
      const layout = structLayout(module);
      for (const [name, fields] of Object.entries(layout)) {
        if (name === 'constants') continue;
        const offsets = Object.entries(fields).filter(([field]) => field !== 'sizeof');
        let last = -1;
        for (const [field, offset] of offsets) {
          assert.ok(offset > last && offset < fields.sizeof, `${name}.${field} at ${offset}`);
          last = offset;
        }
        if ('size' in fields)
          assert.equal(offsets[1][1] - fields.size, 4, `${name}.size is 4 bytes`);
      }
      assert.equal(layout.orgsynth_track_data.sizeof - layout.orgsynth_track_data.events, 4);
      assert.throws(() => layout.orgsynth_info.no_such_field, /orgsynth_info\.no_such_field/);
      const studio = await import(pathToFileURL(join(web, 'studio', 'song_data.js')));
      const c = layout.constants;
      assert.deepEqual(
          [
            orgsong.TRACKS, orgsong.MELODY_TRACKS, orgsong.NO_KEY, studio.NO_VALUE,
            studio.EVENTS_PER_TRACK
          ],
          [
            c.ORGSYNTH_TRACKS, c.ORGSYNTH_MELODY_TRACKS, c.ORGSYNTH_NO_KEY, c.ORGSYNTH_NO_KEY,
            c.ORGSYNTH_EVENTS_PER_TRACK
          ]);
    });

// A song ends at its time limit with the library's end fade, which the page's worklet uses: as
// long as the jukebox's fade, in a straight line to silence, and the length counts it.
test('a time limit ends the song and the jukebox-long fade follows it', () => {
  const bytes = readFileSync(join(demo, 'Joy.org'));
  const rate = orgsong.defaultSampleRate(module);
  const song = new OrgSong(module, bytes);
  assert.equal(song.info().sampleRate, rate);
  const fadeMs = orgsong.jukeboxFadeMs(module);
  song.endFrame = 2 * rate;
  song.fadeMs = fadeMs;
  assert.equal(song.length, 2 * rate + Math.round(fadeMs * rate / 1000));
  const left = new Float32Array(song.length + 1000);
  const right = new Float32Array(left.length);
  assert.equal(song.renderPlanar(left, right), song.length);
  const loud = (from, to) => left.subarray(from, to).reduce((a, x) => Math.max(a, Math.abs(x)), 0);
  assert.ok(loud(song.length - 400, song.length) < 0.01 * loud(0, 2 * rate), 'faded to silence');
  song.endFrame = -1;
  assert.equal(song.length, -1, 'endless again');
  song.close();
});

test('a seek lands exactly where a render from the start is, forward and back', () => {
  const bytes = readFileSync(join(demo, 'Joy.org'));
  const whole = new OrgSong(module, bytes, {sampleRate: 48000});
  const left = new Float32Array(400000);
  const right = new Float32Array(400000);
  assert.equal(whole.renderPlanar(left, right), 400000);
  whole.close();
  const song = new OrgSong(module, bytes, {sampleRate: 48000});
  for (const frame of [321987, 54321, 0]) {
    song.seek(frame);
    assert.equal(song.position, frame);
    const l = new Float32Array(20000);
    const r = new Float32Array(20000);
    song.renderPlanar(l, r);
    assert.deepEqual(l, left.subarray(frame, frame + 20000), `left from ${frame}`);
    assert.deepEqual(r, right.subarray(frame, frame + 20000), `right from ${frame}`);
  }
  song.close();
});

test('the facts of a song: rate, loop, tracks, events, the playing step', () => {
  const song = new OrgSong(module, sineSong(45), {sampleRate: 44100});
  const info = song.info();
  assert.equal(info.sampleRate, 44100);
  assert.equal(info.stepMs, 100);
  assert.equal(info.loopStartStep, 0);
  assert.equal(info.loopEndStep, 64);
  assert.equal(info.loopFrames, 64 * 4410);
  assert.equal(info.tracks[0].noteCount, 1);
  assert.deepEqual(song.events(0), [{step: 0, key: 45, length: 64, volume: 200, pan: 6}]);
  assert.deepEqual(song.events(1), []);
  song.repeatCount = 0;
  assert.equal(song.length, info.loopEndFrame);
  song.levels = true;
  song.scopeFrames = 256;
  const l = new Float32Array(10000);
  song.renderPlanar(l, new Float32Array(10000));
  assert.equal(song.playing().step, 1);
  const states = song.trackStates();
  assert.equal(states[0].key, 45);
  assert.ok(states[0].peak > 0.05);
  assert.equal(states[1].peak, 0);
  assert.equal(song.scope(0).length, 256);
  song.setTrackMute(0, true);
  assert.ok(song.trackMuted(0));
  song.close();
  song.close();  // twice is harmless
  assert.match(orgsynthVersion(module), /^\d+\.\d+\.\d+$/);
});

test('what is not a whole Org song is refused with the library\'s message', () => {
  const text = new TextEncoder().encode('just some text, not a song');
  assert.equal(isOrgSong(module, text), false);
  assert.throws(() => new OrgSong(module, text), /not an Org song/i);
  const song = makeSong({tracks: [{track: 0, wave: 0, events: [{step: 0, key: 40, length: 4}]}]});
  assert.equal(isOrgSong(module, song), true);
  assert.throws(() => new OrgSong(module, song.subarray(0, song.length - 3)), /damaged|ends/i);
  assert.throws(() => new OrgSong(module, new Uint8Array(0)), /not an Org song|empty/i);
  assert.throws(() => new OrgSong(module, song, {sampleRate: 100}), /rate/i);
});
