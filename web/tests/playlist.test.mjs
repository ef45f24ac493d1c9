// The page's playlist: reading the game's music.txt, titles of opened files, the playing order.
import assert from 'node:assert/strict';
import {readFileSync} from 'node:fs';
import {test} from 'node:test';
import {fileURLToPath} from 'node:url';

import {parseMusicList, Playlist, titleOfFile} from '../page/playlist.js';

const demoList = fileURLToPath(new URL('../../data/Org/music.txt', import.meta.url));

test('the demo music.txt gives six songs with Japanese titles and time limits', () => {
  const songs = parseMusicList(readFileSync(demoList));
  assert.equal(songs.length, 6);
  assert.deepEqual(songs[0], {file: 'Joy.org', title: 'よろこびのうた', limitSeconds: 70});
  assert.deepEqual(songs.map((s) => s.file), [
    'Joy.org', 'Korobeiniki.org', 'Greensleeves.org', 'Sakura.org', 'Jacques.org', 'Twinkle.org'
  ]);
});

test('lines that do not fit the layout are left out, and CRLF line ends are read', () => {
  const text = '0\t70\tOrg\\A.org\tA\r\nnonsense\r\n1\tx\tOrg\\B.org\tB\r\n2\t5\tC.org\t\r\n';
  const songs = parseMusicList(new TextEncoder().encode(text));
  assert.deepEqual(songs, [
    {file: 'A.org', title: 'A', limitSeconds: 70}, {file: 'C.org', title: 'C.org', limitSeconds: 5}
  ]);
});

test('an opened file is titled by its name without the extension', () => {
  assert.equal(titleOfFile('Joie à toi.org'), 'Joie à toi');
  assert.equal(titleOfFile('no extension'), 'no extension');
  assert.equal(titleOfFile('.org'), '.org');
});

test('next and previous wrap round the playlist', () => {
  const list = new Playlist();
  list.add([{title: 'a'}, {title: 'b'}, {title: 'c'}]);
  assert.equal(list.step(1), 0, 'the first step from nothing plays the first song');
  assert.equal(list.step(-1), 2);
  assert.equal(list.step(1), 0);
  list.select(1);
  assert.equal(list.step(1), 2);
});

test('shuffle keeps every song once, the playing one first; D restores the listed order', () => {
  let seed = 7;
  const list = new Playlist(() => (seed = (seed * 16807) % 2147483647) / 2147483647);
  list.add(Array.from({length: 20}, (_, i) => ({title: String(i)})));
  list.select(13);
  list.shuffle(true);
  assert.equal(list.order[0], 13);
  assert.equal(list.current, 13);
  assert.deepEqual([...list.order].sort((a, b) => a - b), list.songs.map((_, i) => i));
  assert.notDeepEqual(list.order, list.songs.map((_, i) => i));
  list.shuffle(false);
  assert.deepEqual(list.order, list.songs.map((_, i) => i));
  assert.equal(list.current, 13);
});

test('songs added while shuffled join the order', () => {
  const list = new Playlist();
  list.add([{title: 'a'}]);
  list.shuffle(true);
  const first = list.add([{title: 'b'}, {title: 'c'}]);
  assert.equal(first, 1);
  assert.equal(list.select(2), 2);
  assert.equal(list.order.length, 3);
});

test('a song taken out leaves the order as it was, the next song in its place', () => {
  const list = new Playlist();
  list.add([{title: 'a'}, {title: 'b'}, {title: 'c'}, {title: 'd'}]);
  list.select(1);
  assert.equal(list.remove(1), 1, 'c (now index 1) takes b\'s place');
  assert.deepEqual(list.songs.map((s) => s.title), ['a', 'c', 'd']);
  assert.deepEqual(list.order, [0, 1, 2]);
  assert.equal(list.current, 1);
  list.select(2);
  assert.equal(list.remove(0), 0, 'c takes a\'s place');
  assert.equal(list.songs[list.current].title, 'd');
  assert.equal(list.remove(1), 0, 'the last in the order wraps to the first');
  assert.equal(list.remove(0), -1);
  assert.equal(list.current, -1);
});

