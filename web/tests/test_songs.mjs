// Org songs made for the page's tests, byte by byte in the file layout (a header, sixteen track
// headers, then each track's positions, keys, lengths, volumes and pans).

// A song of `tracks` ({track, wave, events: [{step, key, length, volume, pan}]}), `wait` ms a
// step, looping over steps loopStart..loopEnd.
export function makeSong({wait = 100, loopStart = 0, loopEnd = 64, tracks = []}) {
  const byTrack = Array.from(
      {length: 16}, (_, t) => tracks.find((x) => x.track === t) ?? {track: t, wave: 0, events: []});
  const bytes = [];
  const u8 = (v) => bytes.push(v & 0xff);
  const u16 = (v) => {
    u8(v);
    u8(v >> 8);
  };
  const u32 = (v) => {
    u16(v);
    u16(v >>> 16);
  };
  for (const c of 'Org-02') u8(c.charCodeAt(0));
  u16(wait);
  u8(4);
  u8(4);
  u32(loopStart);
  u32(loopEnd);
  for (const t of byTrack) {
    u16(1000);
    u8(t.wave);
    u8(0);
    u16(t.events.length);
  }
  for (const t of byTrack) {
    for (const e of t.events) u32(e.step);
    for (const e of t.events) u8(e.key);
    for (const e of t.events) u8(e.length);
    for (const e of t.events) u8(e.volume ?? 200);
    for (const e of t.events) u8(e.pan ?? 6);
  }
  return new Uint8Array(bytes);
}

// One long note of the sine waveform (wave 0) on melody track 0, repeated every loop: a song
// with one known pitch.
export function sineSong(key = 45) {
  return makeSong({tracks: [{track: 0, wave: 0, events: [{step: 0, key, length: 64}]}]});
}

// The frequency of a steady tone from its rising zero crossings (Hz).
export function toneFrequency(samples, rate) {
  let first = -1;
  let last = -1;
  let crossings = 0;
  for (let i = 1; i < samples.length; ++i) {
    if (samples[i - 1] < 0 && samples[i] >= 0) {
      if (first < 0) first = i;
      last = i;
      ++crossings;
    }
  }
  return crossings > 1 ? (crossings - 1) * rate / (last - first) : 0;
}

export function rms(samples) {
  let sum = 0;
  for (const v of samples) sum += v * v;
  return Math.sqrt(sum / Math.max(samples.length, 1));
}
