// Frames a second of Org Studio while it plays a 16-track song of 4096 notes a track (65,536
// notes, every track full), in headless Chromium over the DevTools protocol as the web tests
// drive it: the page's requestAnimationFrame callbacks counted over about five seconds of
// playing, how many of those frames drew the roll, and how busy the page's main thread was. A
// measurement for the README, never a test: the figure depends on the machine and its load.
//   node web/bench/studio_fps.mjs build-web/web [/usr/bin/chromium] [seconds]
import {Browser} from '../tests/cdp.mjs';
import {serve} from '../tests/static_server.mjs';
import {makeSong} from '../tests/test_songs.mjs';

const [web, chromium = '/usr/bin/chromium', seconds = '5'] = process.argv.slice(2);
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

const server = await serve(web);
const browser = await Browser.launch({executable: chromium, width: 1280, height: 900});
try {
  const until = async (expression, what) => {
    for (const end = Date.now() + 30000; Date.now() < end; await sleep(50))
      if (await browser.evaluate(expression)) return;
    throw new Error(`waited 30 s for ${what}`);
  };
  await browser.goto(`${server.url}studio/index.html`);
  await until('document.body.dataset.ready === "true"', 'the studio');
  // Sixteen tracks of 4096 one-step notes, as the studio's own test of edit to sound plays.
  const tracks = Array.from(
      {length: 16},
      (_, t) => ({
        track: t,
        wave: t < 8 ? t * 10 : t - 8,
        events: Array.from(
            {length: 4096}, (_, i) => ({step: i, key: 30 + (i * 7 + t) % 40, length: 1})),
      }));
  const bytes = Buffer.from(makeSong({wait: 40, loopStart: 0, loopEnd: 4096, tracks}));
  await browser.evaluate(`orgStudio.load(Uint8Array.from(atob('${
      bytes.toString('base64')}'), (c) => c.charCodeAt(0)))`);
  // Play as a person does: a press of the Play button.
  const at = await browser.evaluate(`(() => {
    const r = document.querySelector('#play').getBoundingClientRect();
    return {x: r.left + r.width / 2, y: r.top + r.height / 2};
  })()`);
  for (const type of ['mousePressed', 'mouseReleased'])
    await browser.send('Input.dispatchMouseEvent', {type, ...at, button: 'left', clickCount: 1});
  await until('orgStudio.audio.playing && (orgStudio.audio.status?.step ?? -1) > 10', 'playing');
  // The main thread's busy time (Chromium's TaskDuration, ScriptDuration) over the same span.
  await browser.send('Performance.enable');
  const metrics = async () => Object.fromEntries(
      (await browser.send('Performance.getMetrics')).metrics.map(({name, value}) => [name, value]));
  const before = await metrics();
  const result = await browser.evaluate(`new Promise((resolve) => {
    const drawn0 = orgStudio.framesDrawn();
    const step0 = orgStudio.audio.status.step;
    let frames = 0;
    let longest = 0;
    let start = -1;
    let last = -1;
    const tick = (now) => {
      if (start < 0) start = now; else ++frames;
      if (last >= 0) longest = Math.max(longest, now - last);
      last = now;
      if (now - start < ${Number(seconds) * 1000}) return requestAnimationFrame(tick);
      resolve({frames, ms: now - start, longest, drawn: orgStudio.framesDrawn() - drawn0,
               steps: orgStudio.audio.status.step - step0});
    };
    requestAnimationFrame(tick);
  })`);
  const after = await metrics();
  const busy = (name) => (100 * (after[name] - before[name]) / (result.ms / 1000)).toFixed(0);
  const fps = result.frames / (result.ms / 1000);
  console.log(
      `16 tracks x 4096 notes playing: ${fps.toFixed(1)} frames a second ` +
      `(${result.frames} requestAnimationFrame frames in ${(result.ms / 1000).toFixed(2)} s; ` +
      `the roll drawn ${result.drawn} times; longest frame ${result.longest.toFixed(1)} ms; ` +
      `${result.steps} steps played); the main thread busy ${busy('TaskDuration')} % ` +
      `(scripts ${busy('ScriptDuration')} %)`);
} finally {
  await browser.close();
  server.close();
}
