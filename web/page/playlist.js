// The page's playlist: its songs (the demo list from songs/music.txt, then songs the listener
// opens), the order they play in (as listed, or shuffled) and which one plays. No audio, no DOM:
// the page's player drives it and the tests check it on its own.

// Reads a playlist in the game's music.txt layout (Japanese Windows text): one song a line,
// "number<TAB>seconds<TAB>Org\File.org<TAB>title". Gives [{file, title, limitSeconds}] with the
// file named as it is beside music.txt (the folder part dropped); lines that do not fit are left
// out.
export function parseMusicList(bytes) {
  const text = new TextDecoder('shift_jis').decode(bytes);
  const songs = [];
  for (const line of text.split(/\r?\n/)) {
    const fields = line.split('\t');
    if (fields.length < 4) continue;
    const seconds = Number.parseInt(fields[1], 10);
    const file = fields[2].split(/[\\/]/).pop();
    if (!file || !Number.isFinite(seconds)) continue;
    songs.push({file, title: fields[3].trim() || file, limitSeconds: Math.max(seconds, 1)});
  }
  return songs;
}

// The title a song file gets from its name: the name without its extension.
export function titleOfFile(name) {
  const dot = name.lastIndexOf('.');
  return dot > 0 ? name.slice(0, dot) : name;
}

export class Playlist {
  constructor(random = Math.random) {
    this.songs = [];  // {title, limitSeconds (0: none), load: async () => ArrayBuffer}
    this.order = [];  // indices into songs, in playing order
    this.at = -1;     // the place in `order` that plays (-1: none yet)
    this.shuffled = false;
    this.random = random;
  }

  get size() { return this.songs.length; }
  get current() { return this.at >= 0 ? this.order[this.at] : -1; }

  // Adds songs at the end (of the order too); returns the index of the first added.
  add(songs) {
    const first = this.songs.length;
    for (const song of songs) {
      this.order.push(this.songs.length);
      this.songs.push(song);
    }
    return first;
  }

  // Makes song `index` the playing one.
  select(index) {
    this.at = this.order.indexOf(index);
    return this.current;
  }

  // The song after (step 1) or before (step -1) the playing one, wrapping round.
  step(step) {
    if (this.order.length === 0) return -1;
    this.at = ((this.at < 0 ? 0 : this.at + step) % this.order.length + this.order.length) %
        this.order.length;
    return this.current;
  }

  // Takes song `index` out (one that cannot be played). The order keeps its sequence: the place
  // that held it now holds the song after it, whose index is returned (-1 when none is left).
  remove(index) {
    const place = this.order.indexOf(index);
    this.songs.splice(index, 1);
    this.order.splice(place, 1);
    this.order = this.order.map((i) => (i > index ? i - 1 : i));
    if (this.at > place) --this.at;
    if (this.order.length === 0) {
      this.at = -1;
      return -1;
    }
    if (this.at === place) this.at = place % this.order.length;
    return this.order[place % this.order.length];
  }

  // Shuffles the order (the playing song goes first), or restores the listed order.
  shuffle(on) {
    const playing = this.current;
    this.shuffled = on;
    this.order = this.songs.map((_, i) => i);
    if (on) {
      for (let i = this.order.length - 1; i > 0; --i) {
        const j = Math.floor(this.random() * (i + 1));
        [this.order[i], this.order[j]] = [this.order[j], this.order[i]];
      }
      if (playing >= 0) {
        this.order.splice(this.order.indexOf(playing), 1);
        this.order.unshift(playing);
      }
    }
    this.at = playing >= 0 ? this.order.indexOf(playing) : -1;
  }
}
