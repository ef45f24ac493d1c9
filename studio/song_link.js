// A song in a link and in the browser's storage: the Org bytes compressed with the browser's own
// CompressionStream (raw deflate) and written in base64url in the URL's fragment, so opening the
// link opens the song and nothing is sent to any server; and the working song kept in
// localStorage as it changes. Used by studio.js; the page's tests check the link's round trip.

const FRAGMENT_SONG = 'org';
const FRAGMENT_TITLE = 'title';
const STORED_SONG = 'org-studio:song';
const STORED_TITLE = 'org-studio:title';
const STORED_SAVED = 'org-studio:saved';

async function through(stream, bytes) {
  const piped = new Blob([bytes]).stream().pipeThrough(stream);
  return new Uint8Array(await new Response(piped).arrayBuffer());
}

export function toBase64Url(bytes) {
  let text = '';
  for (let i = 0; i < bytes.length; i += 0x8000)
    text += String.fromCharCode(...bytes.subarray(i, i + 0x8000));
  return btoa(text).replace(/\+/g, '-').replace(/\//g, '_').replace(/=+$/, '');
}

export function fromBase64Url(text) {
  const plain = atob(text.replace(/-/g, '+').replace(/_/g, '/'));
  return Uint8Array.from(plain, (c) => c.charCodeAt(0));
}

// The link of a song: `base` (the page's address without its fragment) and the song's fragment.
export async function songLink(base, bytes, title) {
  const packed = toBase64Url(await through(new CompressionStream('deflate-raw'), bytes));
  const name = title ? `&${FRAGMENT_TITLE}=${encodeURIComponent(title)}` : '';
  return `${base}#${FRAGMENT_SONG}=${packed}${name}`;
}

// The song in a link's fragment ('#org=...'): {bytes, title}, or null when it holds none.
// Throws when the fragment is damaged.
export async function songOfFragment(fragment) {
  const fields = new URLSearchParams(fragment.replace(/^#/, ''));
  const packed = fields.get(FRAGMENT_SONG);
  if (!packed) return null;
  const bytes = await through(new DecompressionStream('deflate-raw'), fromBase64Url(packed));
  return {bytes, title: fields.get(FRAGMENT_TITLE) ?? ''};
}

// The working song as the storage keeps it: {bytes, title, saved} (saved: the bytes last saved
// or opened, to tell unsaved changes), or null.
export function storedSong(storage = globalThis.localStorage) {
  try {
    const song = storage.getItem(STORED_SONG);
    if (!song) return null;
    const saved = storage.getItem(STORED_SAVED);
    return {
      bytes: fromBase64Url(song),
      title: storage.getItem(STORED_TITLE) ?? '',
      saved: saved ? fromBase64Url(saved) : null,
    };
  } catch {
    return null;
  }
}

// Keeps the working song; false when the storage refuses (full, or turned off).
export function storeSong(bytes, title, saved, storage = globalThis.localStorage) {
  try {
    storage.setItem(STORED_SONG, toBase64Url(bytes));
    storage.setItem(STORED_TITLE, title);
    storage.setItem(STORED_SAVED, saved ? toBase64Url(saved) : '');
    return true;
  } catch {
    return false;
  }
}
