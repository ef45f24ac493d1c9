// How fast liborgsynth's WebAssembly build renders, in node and in Chromium's page, against
// real time: every demo song as "save as WAV" renders it (the intro and the loop twice, 44100 Hz,
// 16-bit), best of three; how big the page's code is, gzipped; and whether the sound drops out
// while the page plays and draws.
//   node web/bench/render_speed.mjs build-web/web data/Org [/usr/bin/chromium]
import {readdirSync, readFileSync} from 'node:fs';
import {join} from 'node:path';
import {pathToFileURL} from 'node:url';
import {gzipSync} from 'node:zlib';

import {Browser} from '../tests/cdp.mjs';
import {serve} from '../tests/static_server.mjs';

const [web, demo, chromium = '/usr/bin/chromium'] = process.argv.slice(2);
const songs = readdirSync(demo).filter((f) => f.endsWith('.org')).sort();

// Renders every song three times (also run inside the page, as its source text) with `renderWav`;
// the best time of each, and the audio length.
async function measure(songs, module, renderWav, readSong, now) {
  const results = [];
  for (const name of songs) {
    const bytes = await readSong(name);
    let best = Infinity;
    let seconds = 0;
    for (let round = 0; round < 3; ++round) {
      const start = now();
      const wav = await renderWav(module, bytes);
      best = Math.min(best, now() - start);
      const rate = new DataView(wav.buffer, wav.byteOffset).getUint32(24, true);  // the header's
      seconds = (wav.length - 44) / 4 / rate;
    }
    results.push({name, seconds, ms: best});
  }
  return results;
}

function report(where, results) {
  let audio = 0;
  let spent = 0;
  for (const r of results) {
    console.log(
        `${where}  ${r.name.padEnd(18)} ${r.seconds.toFixed(1).padStart(6)} s of audio ` +
        `in ${r.ms.toFixed(1).padStart(6)} ms: ${(r.seconds * 1000 / r.ms).toFixed(0)}× real time`);
    audio += r.seconds;
    spent += r.ms;
  }
  console.log(`${where}  all six: ${(audio * 1000 / spent).toFixed(0)}× real time`);
}

const code = [
  'orgsynth.mjs', 'orgsong.js', 'wav.js', 'worklet.js', 'player.js', 'playlist.js', 'song_view.js',
  'pixel_font.js', 'app.js', 'index.html', 'style.css'
];
let raw = 0;
let zipped = 0;
for (const file of code) {
  const bytes = readFileSync(join(web, file));
  raw += bytes.length;
  zipped += gzipSync(bytes, {level: 9}).length;
}
console.log(
    `the page's code: ${(raw / 1024).toFixed(0)} KiB, ${(zipped / 1024).toFixed(0)} KiB gzipped ` +
    `(orgsynth.mjs with its WebAssembly: ${
        (readFileSync(join(web, 'orgsynth.mjs')).length / 1024).toFixed(0)} KiB)`);

const {loadOrgsynth} = await import(pathToFileURL(join(web, 'orgsong.js')));
const {renderWav} = await import(pathToFileURL(join(web, 'wav.js')));
report(
    'node    ',
    await measure(
        songs, await loadOrgsynth(), renderWav, (name) => readFileSync(join(demo, name)),
        () => performance.now()));

const server = await serve(web);
const browser = await Browser.launch({executable: chromium});
try {
  await browser.goto(`${server.url}index.html`);
  const results = await browser.evaluate(`(async () => {
    const {loadOrgsynth} = await import('./orgsong.js');
    const {renderWav} = await import('./wav.js');
    const module = await loadOrgsynth();
    const readSong = async (name) => (await fetch('songs/' + name)).arrayBuffer();
    return (${measure})(${JSON.stringify(songs)}, module, renderWav, readSong,
                        () => performance.now());
  })()`);
  report('chromium', results);
  // Ten seconds of playing while the page draws its roll and scopes every display frame: what
  // the audio output lacked (Chromium's playback statistics).
  await browser.goto(server.url);
  await browser.evaluate(`new Promise((resolve) => {
    const ready = () => document.body.dataset.ready ? resolve() : setTimeout(ready, 50);
    ready();
  })`);
  await browser.evaluate('jukebox.play(2)');
  await new Promise((resolve) => setTimeout(resolve, 10000));
  const stats = await browser.evaluate('jukebox.context.playbackStats?.toJSON() ?? null');
  if (stats)
    console.log(
        `chromium  playing 10 s while drawing: ${stats.underrunEvents} underruns ` +
        `(${(stats.underrunDuration * 1000).toFixed(1)} ms) in ${
            stats.totalDuration.toFixed(1)} s`);
} finally {
  await browser.close();
  server.close();
}
