// Org Studio in a real browser (Debian's Chromium, headless, over the DevTools protocol), acting
// as a person does: mouse presses, drags and keys held ~120 ms. Notes placed, moved, lengthened,
// deleted and transposed render in org2wav; undo gives back the very bytes; the storage brings
// the song back after a reload (which asks first); a share link opens the same bytes; an edit
// made while playing is heard; the format's limits refuse with their message; MIDI import in the
// page gives mid2org's very file; a phone-sized screen edits by touch. Prints what it measured
// (edit to sound, frames a second, link lengths, MIDI import time): figures for the README.
// Needs ORGSYNTH_WEB, ORG2WAV, MID2ORG, ORG2MID, ORG_DEMO, CHROMIUM; SCREENSHOT_DIR (optional)
// keeps the desktop and phone pictures.
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {mkdtempSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {after, before, test} from 'node:test';
import {pathToFileURL} from 'node:url';

import {Browser} from './cdp.mjs';
import {serve} from './static_server.mjs';
import {makeSong, toneFrequency} from './test_songs.mjs';

const web = process.env.ORGSYNTH_WEB;
const demo = process.env.ORG_DEMO;
const {loadOrgsynth} = await import(pathToFileURL(join(web, 'orgsong.js')));
const {readSong, importMidi} = await import(pathToFileURL(join(web, 'studio/song_data.js')));
const {songLink} = await import(pathToFileURL(join(web, 'studio/song_link.js')));
const {renderWav} = await import(pathToFileURL(join(web, 'wav.js')));
const module = await loadOrgsynth();
const scratch = mkdtempSync(join(tmpdir(), 'org-studio-'));
const DEMO_SONGS = ['Joy', 'Korobeiniki', 'Greensleeves', 'Sakura', 'Jacques', 'Twinkle'];
let server;
let browser;
let studioUrl;
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

before(async () => {
  server = await serve(web);
  studioUrl = `${server.url}studio/index.html`;
  browser = await Browser.launch(
      {executable: process.env.CHROMIUM || '/usr/bin/chromium', width: 1280, height: 900});
  await browser.send('DOM.enable');
  // Leaving with unsaved changes asks: the test answers as a person would, and counts.
  browser.dialogs = 0;
  browser.listeners.push((message) => {
    if (message.method !== 'Page.javascriptDialogOpening') return;
    browser.dialogs += message.params.type === 'beforeunload' ? 1 : 0;
    browser.send('Page.handleJavaScriptDialog', {accept: true});
  });
  await openStudio(studioUrl);
});

after(async () => {
  await browser?.close();
  server?.close();
  rmSync(scratch, {recursive: true, force: true});
});

async function until(expression, what, ms = 10000) {
  const end = Date.now() + ms;
  while (Date.now() < end) {
    if (await browser.evaluate(expression)) return;
    await sleep(20);
  }
  assert.fail(`waited ${ms} ms for ${what}`);
}

async function openStudio(url) {
  await browser.goto('about:blank');
  await browser.goto(url);
  await until('document.body.dataset.ready === "true"', 'the studio to be ready');
}

const saved = async () => Uint8Array.from(await browser.evaluate('Array.from(orgStudio.save())'));
const base64 = (bytes) => Buffer.from(bytes).toString('base64');
const load = (bytes) => browser.evaluate(
    `orgStudio.load(Uint8Array.from(atob('${base64(bytes)}'), (c) => c.charCodeAt(0)))`);
const messages = () => browser.evaluate('document.querySelector("#messages").textContent');

// The page's point for a step and a key (or drum track) of the roll.
async function rollPoint(step, row) {
  return browser.evaluate(`(() => {
    const r = document.querySelector('#roll').getBoundingClientRect();
    const v = orgStudio.view;
    return {x: r.left + v.xOf(${step}), y: r.top + v.yOf(${row}) + v.rowHeight / 2};
  })()`);
}

async function mouse(type, {x, y}, buttons = 1) {
  await browser.send(
      'Input.dispatchMouseEvent', {type, x, y, button: 'left', buttons, clickCount: 1});
}

async function click(point) {
  await mouse('mousePressed', point);
  await sleep(30);
  await mouse('mouseReleased', point, 0);
  await sleep(30);
}

async function drag(from, to) {
  await mouse('mousePressed', from);
  for (let i = 1; i <= 5; ++i) {
    await mouse(
        'mouseMoved', {x: from.x + (to.x - from.x) * i / 5, y: from.y + (to.y - from.y) * i / 5});
    await sleep(16);
  }
  await mouse('mouseReleased', to, 0);
  await sleep(30);
}

const CODES = {
  ArrowUp: 38,
  ArrowDown: 40,
  ArrowLeft: 37,
  ArrowRight: 39,
  Delete: 46,
  ' ': 32
};
const MODIFIERS = {
  alt: 1,
  ctrl: 2,
  shift: 8
};

async function press(key, modifiers = []) {
  const bits = modifiers.reduce((sum, m) => sum + MODIFIERS[m], 0);
  const code = key === ' ' ? 'Space' : key.length === 1 ? `Key${key.toUpperCase()}` : key;
  const vk = CODES[key] ?? key.toUpperCase().charCodeAt(0);
  await browser.send(
      'Input.dispatchKeyEvent',
      {type: 'rawKeyDown', key, code, modifiers: bits, windowsVirtualKeyCode: vk});
  await sleep(120);
  await browser.send(
      'Input.dispatchKeyEvent',
      {type: 'keyUp', key, code, modifiers: bits, windowsVirtualKeyCode: vk});
  await sleep(20);
}

const track0 = (bytes) =>
    readSong(module, bytes).song.tracks[0].events.map(({step,
                                                        key,
                                                        length}) => ({step, key, length}));
const frequencyOfKey = (key) => 440 * 2 ** ((key - 45) / 12);

test('the studio opens without an error, linked both ways with the player', async () => {
  assert.deepEqual(browser.errors, []);
  assert.equal(
      await browser.evaluate('document.querySelector("header a").getAttribute("href")'),
      '../index.html');
  const player = readFileSync(join(web, 'index.html'), 'utf8');
  assert.match(player, /href="studio\/index.html"/);
  assert.equal(
      await browser.evaluate('document.querySelector("#demo").options.length'), 7,
      'the six demo songs to open');
  for (const name of ['load', 'save', 'shareUrl', 'undo', 'redo'])
    assert.equal(await browser.evaluate(`typeof orgStudio.${name}`), 'function');
  // Every control is labelled for a screen reader.
  const unlabelled = await browser.evaluate(`[...document.querySelectorAll('button, input, select')]
      .filter((c) => !(c.getAttribute('aria-label') || c.textContent.trim() || c.labels?.length))
      .map((c) => c.id || c.outerHTML)`);
  assert.deepEqual(unlabelled, []);
});

let original;
let edited;

test(
    'mouse and keys place, move, lengthen, delete and transpose notes; org2wav renders them',
    async () => {
      await click(await browser.evaluate(`(() => {
         const r = document.querySelector('#new').getBoundingClientRect();
         return {x: r.left + r.width / 2, y: r.top + r.height / 2};
       })()`));
      original = await saved();
      assert.deepEqual(track0(original), []);
      await click(await rollPoint(0.5, 45));   // a note A3, four steps long
      await click(await rollPoint(16.5, 45));  // a second one
      assert.deepEqual(
          track0(await saved()), [{step: 0, key: 45, length: 4}, {step: 16, key: 45, length: 4}]);
      // Drag the first from its start: four steps later, three keys higher.
      await drag(await rollPoint(0.5, 45), await rollPoint(4.5, 48));
      // Drag its end: four steps longer.
      await drag(await rollPoint(7.8, 48), await rollPoint(11.8, 48));
      // Select the second and delete it.
      await click(await rollPoint(17, 45));
      await press('Delete');
      // A third note, transposed a semitone, then an octave.
      await click(await rollPoint(20.5, 40));
      await press('ArrowUp');
      await press('ArrowUp', ['shift']);
      edited = await saved();
      assert.deepEqual(
          track0(edited), [{step: 4, key: 48, length: 8}, {step: 20, key: 53, length: 4}]);
      // The saved file in org2wav: the two notes at their pitches and times.
      const file = join(scratch, 'edited.org');
      writeFileSync(file, edited);
      const wav = join(scratch, 'edited.wav');
      execFileSync(process.env.ORG2WAV, ['-q', file, wav]);
      const native = readFileSync(wav);
      const samples =
          new Int16Array(native.buffer, native.byteOffset + 44, (native.length - 44) / 2);
      const left = (fromStep, toStep) => {
        const frame = (s) => Math.round((s + 1) * 125 * 44100 / 1000);
        return Float32Array.from(
            {length: frame(toStep) - frame(fromStep)},
            (_, i) => samples[2 * (frame(fromStep) + i)]);
      };
      const near = (hz, want) => Math.abs(hz / want - 1) < 0.02;
      assert.ok(near(toneFrequency(left(6, 11), 44100), frequencyOfKey(48)), 'C4 from step 4');
      assert.ok(near(toneFrequency(left(21, 23.5), 44100), frequencyOfKey(53)), 'F4 at step 20');
      // Export WAV in the page renders the same bytes as org2wav.
      assert.deepEqual(Buffer.from(await renderWav(module, edited)), native);
    });

test('undo after the edits gives back the original bytes exactly, redo the edited', async () => {
  let undone = 0;
  while (await browser.evaluate('!document.querySelector("#undo").disabled')) {
    await press('z', ['ctrl']);
    ++undone;
  }
  assert.equal(undone, 8);  // three adds, a move, a lengthening, a delete, two transposes
  assert.deepEqual(await saved(), original);
  for (let i = 0; i < undone; ++i)
    await press(i % 2 ? 'y' : 'z', i % 2 ? ['ctrl'] : ['ctrl', 'shift']);
  assert.deepEqual(await saved(), edited);
});

test('a reload brings the working song back from the storage, asking first', async () => {
  const asked = browser.dialogs;
  await browser.goto(studioUrl);
  await until('document.body.dataset.ready === "true"', 'the studio to be ready again');
  assert.equal(browser.dialogs, asked + 1, 'leaving with unsaved changes asks');
  assert.deepEqual(await saved(), edited);
});

test('a share link opens the same bytes in a new page; the demo songs\' links', async () => {
  await until('orgStudio.shareUrl().includes("#org=")', 'the link');
  const link = await browser.evaluate('orgStudio.shareUrl()');
  await browser.evaluate('localStorage.clear()');
  await openStudio(link);
  assert.deepEqual(await saved(), edited);
  const lengths = [];
  for (const name of DEMO_SONGS) {
    const bytes = readFileSync(join(demo, `${name}.org`));
    lengths.push(`${name} ${(await songLink(studioUrl, bytes, '')).length - studioUrl.length}`);
  }
  console.log(`MEASURED link length past the page's address: ${lengths.join(', ')}`);
});

test('the format\'s limits refuse with their message', async () => {
  // A track of 4096 events (every other step): one more is refused.
  const full = makeSong({
    tracks: [{
      track: 0,
      wave: 0,
      events: Array.from({length: 4096}, (_, i) => ({step: 2 * i, key: 40, length: 1}))
    }]
  });
  await load(full);
  await click(await rollPoint(1.5, 52));
  assert.match(await messages(), /a track holds at most 4096/);
  assert.deepEqual(await saved(), full);
  // Keys end at 95 and steps start at 0.
  await load(makeSong({tracks: [{track: 0, wave: 0, events: [{step: 0, key: 70, length: 4}]}]}));
  await click(await rollPoint(1, 70));
  for (let i = 0; i < 3; ++i) await press('ArrowUp', ['shift']);  // 82, 94, then past 95
  assert.match(await messages(), /Keys run from 0 to 95/);
  await press('ArrowLeft', ['alt']);
  assert.match(await messages(), /Steps start at 0/);
  assert.deepEqual(track0(await saved()), [{step: 0, key: 94, length: 4}]);
});

// Starts playing from the cursor (Space in the roll), or stops, unless it already does.
async function playOrStop(playing) {
  if (await browser.evaluate(`orgStudio.audio.playing === ${playing}`)) return;
  await browser.evaluate('document.querySelector("#roll").focus()');
  await press(' ');
  await until(`orgStudio.audio.playing === ${playing}`, playing ? 'playing' : 'stopped');
}

// From now on the page keeps the loudest level the worklet played at each step of the playing
// song: each status carries the step its last frame sounded and every track's peak over the
// frames since the status before, so a busy page that handles its statuses late still files
// each level under the step it was played at (an analyser read then would hear a later step).
const keepLevels = () => browser.evaluate(`(() => {
  window.levels = {};
  orgStudio.audio.addEventListener('status', () => {
    const {step, peaks} = orgStudio.audio.status;
    window.levels[step] = Math.max(window.levels[step] ?? 0, ...peaks);
  });
})()`);
const loudest = (from, to) => browser.evaluate(`Math.max(0, ...Object.entries(window.levels)
    .filter(([s]) => s >= ${from} && s <= ${to}).map(([, v]) => v))`);

test('an edit made while playing is heard at its step', async () => {
  await load(makeSong({wait: 100, loopStart: 0, loopEnd: 48, tracks: []}));
  await click(await browser.evaluate(`(() => {
    const r = document.querySelector('#ruler').getBoundingClientRect();
    return {x: r.left + orgStudio.view.xOf(0) + 1, y: r.top + 10};
  })()`));
  await playOrStop(true);
  try {
    const step = 'orgStudio.audio.status?.step ?? -1';
    // The note goes in early in a pass (heard at once as a preview, over by step 14); on a
    // machine too busy to place it in time, it is taken back and placed again in the next pass.
    for (let attempt = 0;; ++attempt) {
      await until(`(${step}) >= 1 && (${step}) <= 5`, 'the play line early in the loop');
      await click(await rollPoint(32.5, 45));
      if (await browser.evaluate(`(${step}) <= 8`)) break;
      assert.ok(attempt < 3, 'the machine lets a click land within 0.3 s');
      await press('z', ['ctrl']);
    }
    await keepLevels();
    await until(`(${step}) >= 38`, 'the play line past the new note');
    const before = await loudest(18, 28);
    const during = await loudest(33, 35);
    assert.ok(before < 0.003, `silence before the note (${before})`);
    assert.ok(during > 0.02, `the new note is heard at step 32 (${during})`);
  } finally {
    await playOrStop(false);
  }
});

test('the loop\'s end is dragged on the ruler; mute and solo are heard', async () => {
  await load(makeSong({
    wait: 100,
    loopStart: 0,
    loopEnd: 64,
    tracks: [{track: 0, wave: 0, events: [{step: 0, key: 45, length: 64}]}],
  }));
  const ruler = async (step) => browser.evaluate(`(() => {
    const r = document.querySelector('#ruler').getBoundingClientRect();
    return {x: r.left + orgStudio.view.xOf(${step}), y: r.top + 12};
  })()`);
  await drag(await ruler(64), await ruler(40));
  assert.equal(readSong(module, await saved()).song.loopEnd, 40);
  await click(await ruler(1));
  await playOrStop(true);
  // What the speakers get, until it is as the mutes say (a busy machine may take a while).
  const heard = (yes, what) => until(`orgStudio.audio.level() ${yes ? '> 0.02' : '< 0.003'}`, what);
  const box = (t, kind) => browser.evaluate(`(() => {
    const r = document.querySelectorAll('.track')[${t}].querySelector('.${kind}')
        .getBoundingClientRect();
    return {x: r.left + r.width / 2, y: r.top + r.height / 2};
  })()`);
  await heard(true, 'the note to play');
  await click(await box(0, 'mute'));
  await heard(false, 'muting its track to silence it');
  await click(await box(0, 'mute'));
  await click(await box(1, 'solo'));
  await heard(false, 'a solo of another track to silence it');
  await click(await box(0, 'solo'));
  await heard(true, 'soloed too, the note to be heard');
  await click(await box(0, 'solo'));
  await click(await box(1, 'solo'));
  await playOrStop(false);
});

// Plays `tracks` tracks of 4096 notes each; gives the frames drawn a second while playing and
// the times from six edits (transposing one note) to their sound.
async function playAndEdit(trackCount) {
  const tracks = Array.from(
      {length: trackCount},
      (_, t) => ({
        track: t,
        wave: t < 8 ? t * 10 : t - 8,
        events: Array.from(
            {length: 4096}, (_, i) => ({step: i, key: 30 + (i * 7 + t) % 40, length: 1})),
      }));
  await load(makeSong({wait: 40, loopStart: 0, loopEnd: 4096, tracks}));
  await playOrStop(true);
  await until('(orgStudio.audio.status?.step ?? -1) > 10', 'the song to play');
  const frames0 = await browser.evaluate('orgStudio.framesDrawn()');
  const t0 = Date.now();
  await sleep(3000);
  const fps =
      (await browser.evaluate('orgStudio.framesDrawn()') - frames0) / ((Date.now() - t0) / 1000);
  // One note of track 1 ahead of the play line selected (the roll pages along with the play
  // line: on a busy machine the page may turn under the click, and the click is made again).
  for (let attempt = 0; attempt < 4; ++attempt) {
    const ahead = await browser.evaluate(`Math.min(orgStudio.state.playStep + 12,
        Math.floor(orgStudio.view.firstStep + orgStudio.view.visibleSteps) - 4)`);
    await click(await rollPoint(ahead + 0.5, 30 + (ahead * 7) % 40));
    if (await browser.evaluate('orgStudio.state.selection.size') === 1) break;
  }
  assert.equal(await browser.evaluate('orgStudio.state.selection.size'), 1);
  await browser.evaluate('orgStudio.audio.editToSoundMs.length = 0');
  for (let i = 0; i < 6; ++i) await press(i % 2 ? 'ArrowDown' : 'ArrowUp');
  await until('orgStudio.audio.editToSoundMs.length >= 6', 'the edits to sound');
  const times = (await browser.evaluate('orgStudio.audio.editToSoundMs')).sort((a, b) => a - b);
  await playOrStop(false);
  return `${fps.toFixed(1)} frames a second; edit to sound ${times[3].toFixed(1)} ms median ` +
      `(${times[0].toFixed(1)} to ${times[5].toFixed(1)})`;
}

test('playing 4096-note tracks: edit to sound and frames a second', async () => {
  console.log(`MEASURED while playing 1 x 4096 notes: ${await playAndEdit(1)}`);
  console.log(`MEASURED while playing 16 x 4096 notes: ${await playAndEdit(16)}`);
});

test(
    'MIDI import in the page gives mid2org\'s very file; a 10-minute file\'s import time',
    async () => {
      const midi = join(scratch, 'joy.mid');
      execFileSync(process.env.ORG2MID, [join(demo, 'Joy.org'), midi]);
      const cli = join(scratch, 'joy.org');
      execFileSync(process.env.MID2ORG, ['--steps-per-beat', '4', midi, cli]);
      await browser.chooseFiles('#open', [midi]);
      await until(
          'document.querySelector("#report").textContent.includes("notes imported")',
          'the import report');
      assert.deepEqual(await saved(), new Uint8Array(readFileSync(cli)));
      // Ten minutes of four voices of eighth notes and a drum on every beat, at 120 a minute.
      const track = [];
      const put = (delta, ...bytes) => {
        const stack = [delta & 0x7f];
        while ((delta >>= 7)) stack.push(0x80 | (delta & 0x7f));
        track.push(...stack.reverse(), ...bytes);
      };
      for (let eighth = 0; eighth < 2400; ++eighth) {
        for (let v = 0; v < 4; ++v) put(0, 0x90 | v, 48 + (eighth * 5 + v * 7) % 36, 100);
        if (eighth % 2 === 0) put(0, 0x99, 36, 100);
        put(48, 0x80, 48 + (eighth * 5) % 36, 0);
        for (let v = 1; v < 4; ++v) put(0, 0x80 | v, 48 + (eighth * 5 + v * 7) % 36, 0);
        if (eighth % 2 === 0) put(0, 0x89, 36, 0);
      }
      put(0, 0xff, 0x2f, 0);
      const header = [0x4d, 0x54, 0x68, 0x64, 0, 0, 0, 6, 0, 0, 0, 1, 0, 96];
      const size = track.length;
      const file = Uint8Array.from([
        ...header, 0x4d, 0x54, 0x72, 0x6b, size >>> 24, (size >> 16) & 255, (size >> 8) & 255,
        size & 255, ...track
      ]);
      const t0 = performance.now();
      const {report} = importMidi(module, file, 4);
      console.log(
          `MEASURED MIDI import of a 10-minute file (${file.length} bytes, 10800 notes): ` +
          `${(performance.now() - t0).toFixed(1)} ms in node's WebAssembly; ${report[0]}`);
    });

test('a phone-sized screen opens, plays and edits by touch', async () => {
  if (process.env.SCREENSHOT_DIR) {
    await browser.evaluate('orgStudio.view.firstStep = 0');  // the song's start, not the last play
    await load(readFileSync(join(demo, 'Joy.org')));
    await sleep(300);
    writeFileSync(join(process.env.SCREENSHOT_DIR, 'studio.png'), await browser.screenshot());
  }
  await browser.send(
      'Emulation.setDeviceMetricsOverride',
      {width: 390, height: 844, deviceScaleFactor: 1, mobile: true});
  await browser.send('Emulation.setTouchEmulationEnabled', {enabled: true, maxTouchPoints: 1});
  await openStudio(studioUrl);
  await load(makeSong({tracks: []}));
  const tap = async (point) => {
    await browser.send('Input.dispatchTouchEvent', {type: 'touchStart', touchPoints: [point]});
    await sleep(60);
    await browser.send('Input.dispatchTouchEvent', {type: 'touchEnd', touchPoints: []});
    await sleep(60);
  };
  const width =
      await browser.evaluate('document.querySelector("#roll").getBoundingClientRect().width');
  assert.ok(width <= 390 && width > 300, `the roll fits the phone's width (${width})`);
  // A thumb's swipe from `from` to `to` (y, in the viewport) scrolls the page.
  const swipe = async (from, to) => {
    await browser.send('Input.dispatchTouchEvent',
                       {type: 'touchStart', touchPoints: [{x: 195, y: from}]});
    const move = from > to ? -20 : 20;
    for (let y = from + move; (move < 0 ? y >= to : y <= to); y += move) {
      await browser.send('Input.dispatchTouchEvent', {type: 'touchMove', touchPoints: [{x: 195, y}]});
      await sleep(16);
    }
    await browser.send('Input.dispatchTouchEvent', {type: 'touchEnd', touchPoints: []});
    await sleep(300);
  };
  // The roll lies under the track tiles: a swipe up over them brings it into view.
  await swipe(560, 240);
  const point = await rollPoint(2.5, 50);
  assert.ok(point.y > 0 && point.y < 844, `the note's place is on the screen (${point.y})`);
  await tap(point);
  await swipe(240, 640);  // and back down to the top, where Play is
  assert.deepEqual(track0(await saved()), [{step: 2, key: 50, length: 4}]);
  await tap(await browser.evaluate(`(() => {
    const r = document.querySelector('#play').getBoundingClientRect();
    return {x: r.left + r.width / 2, y: r.top + r.height / 2};
  })()`));
  await until('(orgStudio.audio.status?.step ?? -1) >= 0 && orgStudio.audio.playing', 'playing');
  // Every track's mute and solo boxes are there on the phone too: a tap on track 2's M mutes it.
  const boxes = await browser.evaluate(`[...document.querySelectorAll('.track label')].map((l) => {
    const r = l.getBoundingClientRect();
    return {x: r.left + r.width / 2, y: r.top + r.height / 2, w: r.width, h: r.height};
  })`);
  assert.equal(boxes.length, 32, 'a mute and a solo box for each of the 16 tracks');
  for (const b of boxes) assert.ok(b.w >= 30 && b.h >= 20 && b.x + b.w / 2 <= 390, JSON.stringify(b));
  await tap(boxes[2]);
  assert.equal(await browser.evaluate('document.querySelectorAll(".mute")[1].checked'), true,
               'track 2 muted by a tap');
  if (process.env.SCREENSHOT_DIR)
    writeFileSync(join(process.env.SCREENSHOT_DIR, 'studio-phone.png'), await browser.screenshot());
  // (Chromium's notice that a page left without a gesture may not ask is not the page's error.)
  assert.deepEqual(browser.errors.filter((e) => !/beforeunload/.test(e)), []);
});
