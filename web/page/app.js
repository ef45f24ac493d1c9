// The web page of the Org jukebox: binds the page's controls, keys, file picker, drag and drop
// and the Media Session to the player, lists the playlist, and draws the song view once a
// display frame. Starts with the six demo songs listed (songs/music.txt beside the page).
import {isOrgSong, loadOrgsynth, MELODY_TRACKS, TRACKS} from './orgsong.js';
import {Player} from './player.js';
import {parseMusicList, titleOfFile} from './playlist.js';
import {SongView} from './song_view.js';

const $ = (selector) => document.querySelector(selector);

const module = await loadOrgsynth();
const player = new Player(module);
const view = new SongView($('#view'));
window.jukebox = player;  // for the page's tests and for the curious

// Minutes and seconds of a frame count.
function clock(frames, rate) {
  const seconds = Math.floor(frames / rate);
  return `${Math.floor(seconds / 60)}:${String(seconds % 60).padStart(2, '0')}`;
}

function say(text) {
  const line = document.createElement('li');
  line.textContent = text;
  const messages = $('#messages');
  messages.prepend(line);
  while (messages.children.length > 4) messages.lastChild.remove();
}

// --- the playlist ---------------------------------------------------------------------------

async function addDemoSongs() {
  try {
    const response = await fetch('songs/music.txt');
    if (!response.ok) throw new Error(`${response.status} ${response.statusText}`);
    const list = parseMusicList(new Uint8Array(await response.arrayBuffer()));
    player.add(list.map(
        ({file, title, limitSeconds}) =>
            ({title, limitSeconds, load: () => fetchSong(`songs/${encodeURIComponent(file)}`)})));
  } catch (error) {
    say(`The demo songs are not here (${error.message}); open songs of your own.`);
  }
}

async function fetchSong(url) {
  const response = await fetch(url);
  if (!response.ok) throw new Error(`${response.status} ${response.statusText}`);
  return response.arrayBuffer();
}

// Songs the listener opens: Org songs join the playlist and the first of them plays; any other
// file is named and left out.
async function addFiles(files) {
  const songs = [];
  for (const file of files) {
    const bytes = await file.arrayBuffer();
    if (!isOrgSong(module, bytes)) {
      say(`“${file.name}” is not an Org song: it does not begin with “Org-01”, “Org-02” or ` +
          '“Org-03”. Left out.');
      continue;
    }
    songs.push({title: titleOfFile(file.name), limitSeconds: 0, load: async () => bytes});
  }
  if (songs.length) await player.play(player.add(songs));
}

function showPlaylist() {
  const list = $('#playlist');
  list.replaceChildren(...player.playlist.songs.map((song, index) => {
    const item = document.createElement('li');
    const button = document.createElement('button');
    button.textContent = song.title;
    button.onclick = () => player.play(index);
    if (index === player.song?.index) item.setAttribute('aria-current', 'true');
    item.append(button);
    return item;
  }));
}

// --- the tracks -----------------------------------------------------------------------------

function makeTrackStrip() {
  const strip = $('#tracks');
  for (let t = 0; t < TRACKS; ++t) {
    const cell = document.createElement('div');
    cell.className = 'track';
    cell.innerHTML = '<span class="name"></span><button class="mute">M</button>' +
        '<button class="solo">S</button>';
    cell.querySelector('.mute').onclick = () => player.setTrackMuted(t, !player.muted[t]);
    cell.querySelector('.solo').onclick = () => player.setTrackSoloed(t, !player.soloed[t]);
    strip.append(cell);
  }
}

function showTracks() {
  const cells = $('#tracks').children;
  for (let t = 0; t < TRACKS; ++t) {
    const cell = cells[t];
    const kind = t < MELODY_TRACKS ? `Melody ${t + 1}` : `Drums ${t - MELODY_TRACKS + 1}`;
    const label = player.song?.labels[t].replace(/^\d+ /, '') ?? '';
    const instrument = label === '-' ? 'empty' : label.replace(/^W/, 'wave ');
    cell.querySelector('.name').textContent = label ? `${kind} · ${instrument}` : kind;
    cell.querySelector('.mute').setAttribute('aria-pressed', player.muted[t]);
    cell.querySelector('.solo').setAttribute('aria-pressed', player.soloed[t]);
    cell.classList.toggle('silent', !player.audible()[t]);
  }
}

// --- transport, time, keys --------------------------------------------------------------------

let dragging = false;

function showState() {
  $('#play').textContent = player.playing ? '❚❚' : '▶';
  $('#play').title = player.playing ? 'Pause (Space)' : 'Play (Space)';
  $('#shuffle').setAttribute('aria-pressed', player.playlist.shuffled);
  $('#endless').setAttribute('aria-pressed', player.endless);
  $('#now').textContent = player.song ? player.song.title : 'Choose a song, or open your own';
  document.title = player.song ? `${player.song.title} · Org jukebox` : 'Org jukebox';
  showTracks();
  showPlaylist();
  showTime();
}

function showTime() {
  const rate = player.sampleRate;
  const seek = $('#seek');
  seek.max = player.length;
  if (!dragging) seek.value = player.position;
  const shown = dragging ? Number(seek.value) : player.position;
  $('#time').textContent = `${clock(shown, rate)} / ${clock(player.length, rate)}`;
}

function bindControls() {
  $('#play').onclick = () => player.togglePause();
  $('#next').onclick = () => player.next();
  $('#prev').onclick = () => player.previous();
  $('#shuffle').onclick = () => player.setShuffle(!player.playlist.shuffled);
  $('#endless').onclick = () => player.setEndless(!player.endless);
  $('#volume').oninput = (e) => player.setVolume(e.target.value / 100);
  const seek = $('#seek');
  seek.oninput = () => {
    dragging = true;
    showTime();
  };
  seek.onchange = () => {
    dragging = false;
    player.seek(Number(seek.value));
  };
  $('#files').onchange = (e) => {
    addFiles([...e.target.files]);
    e.target.value = '';
  };
  $('#save').onclick = saveWav;
  document.addEventListener('dragover', (e) => e.preventDefault());
  document.addEventListener('drop', (e) => {
    e.preventDefault();
    addFiles([...e.dataTransfer.files]);
  });
  document.addEventListener('keydown', onKey);
}

// The jukebox's keys: Space play/pause, Right/Left next/previous, S shuffle, D the listed order,
// E endless; and Shift+Right/Left seek 5 s.
function onKey(event) {
  if (event.ctrlKey || event.altKey || event.metaKey) return;
  if (event.target instanceof HTMLInputElement && event.target.type !== 'file') return;
  const actions = {
    ' ': () => player.togglePause(),
    'ArrowRight': () => event.shiftKey ? player.seekBy(5) : player.next(),
    'ArrowLeft': () => event.shiftKey ? player.seekBy(-5) : player.previous(),
    's': () => player.setShuffle(true),
    'd': () => player.setShuffle(false),
    'e': () => player.setEndless(!player.endless),
  };
  const action = actions[event.key.length === 1 ? event.key.toLowerCase() : event.key];
  if (!action) return;
  event.preventDefault();
  action();
}

async function saveWav() {
  if (!player.song) return say('Choose a song first.');
  const button = $('#save');
  button.disabled = true;
  button.textContent = 'Saving…';
  try {
    const wav = await player.wavOf();
    const link = document.createElement('a');
    link.href = URL.createObjectURL(new Blob([wav], {type: 'audio/wav'}));
    link.download = `${player.song.title.replace(/[\\/:*?"<>|]/g, '_')}.wav`;
    link.click();
    setTimeout(() => URL.revokeObjectURL(link.href), 10000);
  } catch (error) {
    say(`The WAV file could not be made: ${error.message}`);
  } finally {
    button.disabled = false;
    button.textContent = 'Save as WAV';
  }
}

// --- the Media Session: lock screens, media keys ----------------------------------------------

function bindMediaSession() {
  if (!('mediaSession' in navigator)) return;
  const session = navigator.mediaSession;
  const handlers = {
    play: () => player.paused && player.togglePause(),
    pause: () => player.playing && player.togglePause(),
    previoustrack: () => player.previous(),
    nexttrack: () => player.next(),
    seekbackward: (d) => player.seekBy(-(d.seekOffset ?? 5)),
    seekforward: (d) => player.seekBy(d.seekOffset ?? 5),
    seekto: (d) => player.seek(d.seekTime * player.sampleRate),
  };
  for (const [action, handler] of Object.entries(handlers)) {
    try {
      session.setActionHandler(action, handler);
    } catch { /* not offered here */
    }
  }
  player.addEventListener('song', () => {
    session.metadata = new MediaMetadata({title: player.song.title, artist: 'Org jukebox'});
  });
  player.addEventListener('state', () => {
    session.playbackState = player.song ? (player.playing ? 'playing' : 'paused') : 'none';
  });
  let lastReport = 0;
  player.addEventListener('status', () => {
    const now = performance.now();
    if (now - lastReport < 1000 || !session.setPositionState) return;
    lastReport = now;
    const rate = player.sampleRate;
    session.setPositionState({
      duration: player.length / rate,
      playbackRate: 1,
      position: Math.min(player.position, player.length) / rate
    });
  });
}

// --- the song view's size ----------------------------------------------------------------------

// The 320 x 240 view scaled by a whole number of device pixels (the most that fits the page's
// width, at most 720 CSS pixels across), so that a one-pixel stroke stays one pixel wide.
function fitView() {
  const canvas = $('#view');
  const ratio = window.devicePixelRatio || 1;
  const room = Math.min(parseFloat(getComputedStyle(canvas.parentElement).width), 720);
  const scale = Math.max(1, Math.floor(room * ratio / canvas.width));
  canvas.style.width = `${scale * canvas.width / ratio}px`;
  canvas.style.height = `${scale * canvas.height / ratio}px`;
}

// --- start ------------------------------------------------------------------------------------

function drawFrame() {
  view.draw(player.song, player.status, player.audible());
  showTime();
  requestAnimationFrame(drawFrame);
}

makeTrackStrip();
fitView();
window.addEventListener('resize', fitView);
bindControls();
bindMediaSession();
player.addEventListener('state', showState);
player.addEventListener('song', showState);
player.addEventListener('problem', (e) => say(e.text));
await addDemoSongs();
showState();
requestAnimationFrame(drawFrame);
document.body.dataset.ready = 'true';
