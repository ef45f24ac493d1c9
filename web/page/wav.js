// Whole renders of a song as 16-bit stereo WAV files, laid out byte for byte as org2wav writes
// them (a 44-byte RIFF header, then the samples), for the page's "save as WAV" and the tests.
// Renders in slices so a caller on the page's main thread can let the page breathe between them.
import {defaultSampleRate, OrgSong} from './orgsong.js';

const HEADER_BYTES = 44;
const SLICE_FRAMES = 65536;

// The RIFF header of `frames` frames of 16-bit stereo at `rate` frames a second.
export function wavHeader(frames, rate) {
  const dataBytes = frames * 4;
  const header = new DataView(new ArrayBuffer(HEADER_BYTES));
  const text = (at, s) => [...s].forEach((c, i) => header.setUint8(at + i, c.charCodeAt(0)));
  text(0, 'RIFF');
  header.setUint32(4, 36 + dataBytes, true);
  text(8, 'WAVE');
  text(12, 'fmt ');
  header.setUint32(16, 16, true);  // the format chunk's size
  header.setUint16(20, 1, true);   // PCM
  header.setUint16(22, 2, true);   // channels
  header.setUint32(24, rate, true);
  header.setUint32(28, rate * 4, true);  // bytes a second
  header.setUint16(32, 4, true);         // bytes a frame
  header.setUint16(34, 16, true);        // bits a sample
  text(36, 'data');
  header.setUint32(40, dataBytes, true);
  return new Uint8Array(header.buffer);
}

// Renders the song as org2wav does by default: the intro and the loop twice (`repeatCount` 1),
// no fade, the library's default rate (44100 Hz), every track heard, unless told otherwise
// (`muted`: track numbers). `pause` (optional, async) runs between slices. Returns the file's
// bytes.
export async function renderWav(
    module, songBytes,
    {rate = defaultSampleRate(module), repeatCount = 1, fadeMs = 0, muted = [], pause = null} =
        {}) {
  const song = new OrgSong(module, songBytes, {sampleRate: rate});
  try {
    song.repeatCount = repeatCount;
    song.fadeMs = fadeMs;
    for (const track of muted) song.setTrackMute(track, true);
    const frames = song.length;
    const file = new Uint8Array(HEADER_BYTES + frames * 4);
    file.set(wavHeader(frames, rate), 0);
    let at = HEADER_BYTES;
    for (let done = 0; done < frames;) {
      const samples = song.renderS16(Math.min(SLICE_FRAMES, frames - done));
      if (samples.length === 0) break;
      file.set(new Uint8Array(samples.buffer, samples.byteOffset, samples.byteLength), at);
      at += samples.byteLength;
      done += samples.length / 2;
      if (pause) await pause();
    }
    return file;
  } finally {
    song.close();
  }
}
