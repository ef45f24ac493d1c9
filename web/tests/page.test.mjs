// The web page in a real browser: Debian's Chromium, headless, driven over the DevTools
// protocol, the page served over HTTP as any static host would. Listens to what the page plays
// through its AnalyserNode and through the worklet's own output. Needs ORGSYNTH_WEB (the built
// page), ORG2WAV (the native tool), ORG_DEMO (the demo songs), CHROMIUM (the browser) and
// optionally SCREENSHOT (where to keep a picture of the page playing).
import assert from 'node:assert/strict';
import {execFileSync} from 'node:child_process';
import {createHash} from 'node:crypto';
import {mkdtempSync, readFileSync, rmSync, writeFileSync} from 'node:fs';
import {tmpdir} from 'node:os';
import {join} from 'node:path';
import {after, before, test} from 'node:test';
import {pathToFileURL} from 'node:url';

import {Browser} from './cdp.mjs';
import {serve} from './static_server.mjs';
import {makeSong, rms, sineSong, toneFrequency} from './test_songs.mjs';

const web = process.env.ORGSYNTH_WEB;
const demo = process.env.ORG_DEMO;
const {jukeboxFadeMs, loadOrgsynth, OrgSong} = await import(pathToFileURL(join(web, 'orgsong.js')));
const module = await loadOrgsynth();
const scratch = mkdtempSync(join(tmpdir(), 'orgsynth-page-'));
const DEMO_SONGS = ['Joy', 'Korobeiniki', 'Greensleeves', 'Sakura', 'Jacques', 'Twinkle'];
let server;
let browser;

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

before(async () => {
  server = await serve(web);
  browser = await Browser.launch(
      {executable: process.env.CHROMIUM || '/usr/bin/chromium', width: 900, height: 1100});
  await browser.send('DOM.enable');
  await browser.goto(server.url);
  await until('document.body.dataset.ready === "true"', 'the page to be ready');
});

after(async () => {
  await browser?.close();
  server?.close();
  rmSync(scratch, {recursive: true, force: true});
});

// Waits (up to `ms`) for an expression in the page to be true.
async function until(expression, what, ms = 10000) {
  const end = Date.now() + ms;
  while (Date.now() < end) {
    if (await browser.evaluate(expression)) return;
    await sleep(50);
  }
  assert.fail(`waited ${ms} ms for ${what}`);
}

// What the page plays now: the analyser's last 8192 samples (after the volume).
async function listen() {
  return Float32Array.from(await browser.evaluate(`(() => {
    const samples = new Float32Array(jukebox.analyser.fftSize);
    jukebox.analyser.getFloatTimeDomainData(samples);
    return Array.from(samples);
  })()`));
}

// Waits for the output to settle after a change (the graph's latency), then listens.
async function listenAfter(ms = 400) {
  await sleep(ms);
  return listen();
}

const state = () => browser.evaluate(`({index: jukebox.song?.index, title: jukebox.song?.title,
  playing: jukebox.playing, position: jukebox.position, rate: jukebox.sampleRate,
  endless: jukebox.endless, shuffled: jukebox.playlist.shuffled})`);

test('the page loads without a console error and lists the six demo songs', async () => {
  const titles = await browser.evaluate(
      '[...document.querySelectorAll("#playlist li")].map((li) => li.textContent)');
  assert.deepEqual(titles, [
    'よろこびのうた', 'コロブチカ', 'グリーンスリーブス', 'さくらさくら', 'フレールジャック',
    'きらきらぼし'
  ]);
  assert.deepEqual(browser.errors, []);
  assert.deepEqual(browser.console.filter((m) => m.type === 'error'), []);
});

// The view's size in device pixels, and how many pixels of its idle hint's row are bright.
const VIEW_FACTS = `(() => {
  const canvas = document.querySelector('#view');
  const box = canvas.getBoundingClientRect();
  const row = canvas.getContext('2d').getImageData(0, 110, 320, 8).data;
  let bright = 0;
  for (let i = 0; i < row.length; i += 4) bright += row[i] >= 0xa0 && row[i + 1] >= 0xa0;
  return {width: box.width * devicePixelRatio, height: box.height * devicePixelRatio, bright};
})()`;
const viewFacts = () => browser.evaluate(VIEW_FACTS);

test('the song view is scaled in whole pixels and its idle hint is readable', async () => {
  // The hint is drawn once the page has its font and its first frame: waited for, not assumed
  // (a loaded machine draws it later than the song list appears).
  await until(`${VIEW_FACTS}.bright > 40`, 'the idle hint drawn light grey', 5000).catch(() => {});
  const {width, height, bright} = await viewFacts();
  assert.equal(width % 320, 0, `${width} device pixels across`);
  assert.equal(height % 240, 0);
  assert.equal(width / 320, height / 240);
  assert.ok(width >= 640, 'the widest whole scale that fits a 900-pixel window');
  assert.ok(bright > 40, 'the hint "OPEN OR CHOOSE A SONG" is light grey, not dark');
});

test('every demo song saved as WAV in the page has org2wav\'s very bytes', async () => {
  const hashes = await browser.evaluate(`(async () => {
    const hashes = [];
    for (let i = 0; i < jukebox.playlist.size; ++i) {
      const digest = await crypto.subtle.digest('SHA-256', await jukebox.wavOf(i));
      hashes.push([...new Uint8Array(digest)].map((b) => b.toString(16).padStart(2, '0')).join(''));
    }
    return hashes;
  })()`);
  const out = join(scratch, 'native.wav');
  const native = DEMO_SONGS.map((name) => {
    execFileSync(process.env.ORG2WAV, ['-q', join(demo, `${name}.org`), out]);
    return createHash('sha256').update(readFileSync(out)).digest('hex');
  });
  assert.deepEqual(hashes, native);
});

test(
    'choosing a demo song plays it: sound, a moving position, the lock screen\'s title',
    async () => {
      await browser.evaluate('document.querySelector("#playlist li:nth-child(1) button").click()');
      await until(
          'jukebox.status && jukebox.position > 2 * jukebox.sampleRate', 'two seconds played');
      assert.ok(rms(await listen()) > 0.01, 'the song is heard');
      const s = await state();
      assert.equal(s.title, 'よろこびのうた');
      assert.equal(
          await browser.evaluate('navigator.mediaSession.metadata.title'), 'よろこびのうた');
      assert.equal(await browser.evaluate('navigator.mediaSession.playbackState'), 'playing');
      await until(
          '/^0:0[2-9] \\/ 1:14$/.test(document.querySelector("#time").textContent)',
          'the time shown: 70 s of time limit and the fade');
      assert.deepEqual(browser.errors, []);
    });

test('a seek moves the position and the sound to that frame exactly', async () => {
  const {rate} = await state();
  const frame = 20 * rate + 12345;
  const captured = await browser.evaluate(`jukebox.seek(${frame}, 8192).then((c) =>
      ({left: Array.from(c.left), right: Array.from(c.right)}))`);
  const song = new OrgSong(module, readFileSync(join(demo, 'Joy.org')), {sampleRate: rate});
  const left = new Float32Array(frame + 8192);
  const right = new Float32Array(frame + 8192);
  song.renderPlanar(left, right);
  song.close();
  assert.deepEqual(Float32Array.from(captured.left), left.subarray(frame));
  assert.deepEqual(Float32Array.from(captured.right), right.subarray(frame));
  await until(
      `jukebox.position >= ${frame} && jukebox.position < ${frame + 2 * rate}`,
      'the position to show the seek');
  await until(
      '/^0:2[01] /.test(document.querySelector("#time").textContent)',
      'the time shown to be the seek\'s');
  if (process.env.SCREENSHOT) {  // the page in full flight, for the README
    await sleep(1000);
    writeFileSync(process.env.SCREENSHOT, await browser.screenshot());
  }
});

// The page ends a song at its time limit with the library's end fade, as long as the jukebox's
// fade: what the worklet plays in the fade is the library's render so ended, sample for sample,
// and when the fade is over the next song plays.
test(
    'at its time limit a song fades out as the library fades it, then the next plays', async () => {
      const {rate} = await state();
      const {limitFrames, fadeFrames} = await browser.evaluate(
          '({limitFrames: jukebox.song.limitFrames, fadeFrames: jukebox.song.fadeFrames})');
      const frame = limitFrames + Math.floor(fadeFrames / 2);
      const captured = await browser.evaluate(`jukebox.seek(${frame}, 8192).then((c) =>
      ({left: Array.from(c.left), right: Array.from(c.right)}))`);
      const song = new OrgSong(module, readFileSync(join(demo, 'Joy.org')), {sampleRate: rate});
      song.endFrame = limitFrames;
      song.fadeMs = jukeboxFadeMs(module);
      assert.equal(song.length, limitFrames + fadeFrames, 'the length the page shows');
      song.seek(frame);
      const left = new Float32Array(8192);
      const right = new Float32Array(8192);
      song.renderPlanar(left, right);
      song.close();
      assert.deepEqual(Float32Array.from(captured.left), left);
      assert.deepEqual(Float32Array.from(captured.right), right);
      await browser.evaluate(`jukebox.seek(${limitFrames + fadeFrames - Math.floor(rate / 4)})`);
      await until('jukebox.song.index === 1', 'the next song after the fade');
      await browser.evaluate('jukebox.play(0)');
      await until('jukebox.song.index === 0 && jukebox.status?.playing', 'the first song again');
    });

test('the jukebox\'s keys: Space pauses and plays, Right and Left change song, S D E', async () => {
  await browser.key(' ', 'Space');
  assert.equal((await state()).playing, false);
  assert.ok(rms(await listenAfter()) < 1e-6, 'paused is silent');
  const held = (await state()).position;
  await sleep(300);
  assert.equal((await state()).position, held, 'paused, the position stands');
  await browser.key(' ', 'Space');
  assert.ok(rms(await listenAfter()) > 0.01, 'playing again');
  await browser.key('ArrowRight');
  await until('jukebox.song.index === 1', 'the next song');
  await browser.key('ArrowLeft');
  await until('jukebox.song.index === 0', 'the previous song');
  await browser.key('e', 'KeyE');
  await browser.key('s', 'KeyS');
  let s = await state();
  assert.ok(s.endless && s.shuffled);
  const joy = new OrgSong(module, readFileSync(join(demo, 'Joy.org')), {sampleRate: s.rate});
  const onePass = Math.floor(joy.info().loopEndFrame / s.rate);
  joy.close();
  const length = `${Math.floor(onePass / 60)}:${String(onePass % 60).padStart(2, '0')}`;
  await until(
      `document.querySelector("#time").textContent.endsWith(" / ${length}")`,
      'endless, the length to be one pass to the loop end');
  await browser.key('d', 'KeyD');
  await browser.key('e', 'KeyE');
  s = await state();
  assert.ok(!s.endless && !s.shuffled);
});

test(
    'opened files: one not an Org song is named and left out, the song plays at its pitch, ' +
        'muting its track silences it',
    async () => {
      const notes = join(scratch, 'notes.txt');
      const sine = join(scratch, 'sine.org');
      writeFileSync(notes, 'shopping: eggs, milk\n');
      writeFileSync(sine, sineSong(45));
      await browser.chooseFiles('#files', [notes, sine]);
      await until('jukebox.song?.title === "sine"', 'the opened song to play');
      assert.match(
          await browser.evaluate('document.querySelector("#messages").textContent'),
          /“notes\.txt” is not an Org song/);
      assert.equal(await browser.evaluate('jukebox.playlist.size'), 7, 'only the song joined');
      const {rate} = await state();
      const expected = new OrgSong(module, sineSong(45), {sampleRate: rate});
      const left = new Float32Array(rate);
      expected.renderPlanar(left, new Float32Array(rate));
      expected.close();
      const heard = await listenAfter(600);
      assert.ok(rms(heard) > 0.01);
      const pitch = toneFrequency(heard, rate);
      const want = toneFrequency(left.subarray(rate / 2), rate);
      assert.ok(
          Math.abs(pitch - want) / want < 0.01, `heard ${pitch} Hz, the song's note ${want} Hz`);

      const mute = '#tracks .track:nth-child(1) .mute';
      await browser.evaluate(`document.querySelector('${mute}').click()`);
      assert.ok(rms(await listenAfter()) < 1e-6, 'muted track 1 is silent');
      await browser.evaluate(`document.querySelector('${mute}').click()`);
      assert.ok(rms(await listenAfter()) > 0.01, 'unmuted, the note is back');
      const solo = '#tracks .track:nth-child(2) .solo';
      await browser.evaluate(`document.querySelector('${solo}').click()`);
      assert.ok(rms(await listenAfter()) < 1e-6, 'a solo of an empty track silences the note');
      await browser.evaluate(`document.querySelector('${solo}').click()`);
    });

test('a damaged song is named and the playlist goes on to the next', async () => {
  await browser.evaluate('jukebox.setShuffle(false)');
  const damaged = join(scratch, 'damaged.org');
  const whole = makeSong({tracks: [{track: 0, wave: 0, events: [{step: 0, key: 40, length: 8}]}]});
  writeFileSync(damaged, whole.subarray(0, whole.length - 4));
  const sine = join(scratch, 'after.org');
  writeFileSync(sine, sineSong(50));
  await browser.chooseFiles('#files', [damaged, sine]);
  await until('jukebox.song?.title === "after"', 'the song after the damaged one');
  assert.match(
      await browser.evaluate('document.querySelector("#messages").textContent'),
      /“damaged” cannot be played: .*damaged/i);
  const titles = await browser.evaluate(
      '[...document.querySelectorAll("#playlist li")].map((item) => item.textContent)');
  assert.ok(!titles.includes('damaged'), 'the refused song left the playlist');
  assert.ok(titles.includes('after'));
  assert.equal(
      await browser.evaluate('document.querySelector("#playlist [aria-current=true]").textContent'),
      'after', 'the song that plays is the one marked');
  assert.ok(rms(await listenAfter()) > 0.01);
  assert.deepEqual(browser.errors, []);
});

test('on a phone (390 x 844) the song list comes before the tracks, the view in whole pixels',
     async () => {
       await browser.send('Emulation.setDeviceMetricsOverride',
                          {width: 390, height: 844, deviceScaleFactor: 3, mobile: true});
       try {
         await until(
             'document.querySelector("#view").getBoundingClientRect().width <= 366',
             'the view to fit the phone');
         const layout = await browser.evaluate(`(() => {
           const top = (selector) => document.querySelector(selector).getBoundingClientRect().top;
           return {list: top('#playlist'), tracks: top('#tracks'), screen: innerHeight,
                   overflow: document.documentElement.scrollWidth - innerWidth};
         })()`);
         assert.ok(layout.list < layout.tracks, 'the song list is above the mute buttons');
         assert.ok(layout.list < 2 * layout.screen, `the list starts ${layout.list} px down`);
         assert.ok(layout.overflow <= 0, 'nothing wider than the phone');
         const {width, height} = await viewFacts();
         assert.equal(width % 320, 0, `${width} device pixels across`);
         assert.equal(width / 320, height / 240);
         if (process.env.SCREENSHOT)
           writeFileSync(process.env.SCREENSHOT.replace(/\.png$/, '-phone.png'),
                         await browser.screenshot());
       } finally {
         await browser.send('Emulation.clearDeviceMetricsOverride');
       }
     });
