"""Org chiptune songs for Python, through liborgsynth.

One :class:`Song` is one song opened from an Org file's bytes. It renders interleaved 16-bit
stereo frames (``bytes``, or a NumPy array of shape ``(n, 2)``), seeks exactly, plays its intro
once and its loop seamlessly (endlessly by default), and can be steered while it plays: a tempo
factor, a transposition, per-track and master gains with fades, mutes, notes over the song, and
loop events that say on which frame the next pass of the loop begins.

Units: frames are stereo frames at the song's rate; milliseconds are ms. A song is one thread's
at a time; different songs may render on different threads.
"""

from __future__ import annotations

import ctypes
import os
from dataclasses import dataclass
from typing import TYPE_CHECKING, List, Optional, Tuple, Union

from . import _library

if TYPE_CHECKING:  # NumPy is needed only by render_array
    import numpy

__all__ = [
    "Song", "SongInfo", "TrackInfo", "Event", "TrackState", "OrgsynthError",
    "TRACKS", "MELODY_TRACKS", "MASTER", "library_version",
]

TRACKS = _library.TRACKS
MELODY_TRACKS = 8
MASTER = -1  # the track number of the whole mix, for set_track_gain

_lib: Optional[ctypes.CDLL] = None


def _c() -> ctypes.CDLL:
    """The library, loaded on first use (so that importing never fails)."""
    global _lib
    if _lib is None:
        _lib = _library.load()
    return _lib


def library_version() -> str:
    """The version of the liborgsynth in use, e.g. ``"1.1.0"``."""
    return _c().orgsynth_version().decode()


class OrgsynthError(Exception):
    """A failure reported by liborgsynth; ``code`` is its ORGSYNTH_ERROR_* value."""

    def __init__(self, code: int, message: str) -> None:
        super().__init__(message)
        self.code = code


def _check(code: int, what: str) -> None:
    if code != 0:
        reason = _c().orgsynth_error_string(code).decode()
        raise OrgsynthError(code, f"{what}: {reason}")


@dataclass(frozen=True)
class TrackInfo:
    """One track's facts: its waveform (melody) or drum number, finetune, one-shot flag and
    number of events."""

    instrument: int
    finetune: int
    one_shot: bool
    note_count: int


@dataclass(frozen=True)
class SongInfo:
    """The song's facts, as liborgsynth works them out (frames at the current tempo factor)."""

    version: int
    sample_rate: int
    step_ms: int
    beats_per_bar: int
    steps_per_beat: int
    loop_start_step: int
    loop_end_step: int
    loop_start_frame: int
    loop_end_frame: int
    intro_frames: int
    loop_frames: int
    tracks: Tuple[TrackInfo, ...]


@dataclass(frozen=True)
class Event:
    """One event of a track as stored: step, key (255: none), length in steps, volume (255:
    unchanged) and pan (255: unchanged)."""

    step: int
    key: int
    length: int
    volume: int
    pan: int


@dataclass(frozen=True)
class TrackState:
    """A track now: the sounding key (255: none), volume 0..254, pan 0..12, muted, and the peak
    of its own output over the last render call (1.0 full scale; 0 while levels are off)."""

    key: int
    volume: int
    pan: int
    muted: bool
    peak: float


class Song:
    """One Org song, rendering 16-bit stereo at its rate. Use :meth:`open`."""

    def __init__(self, handle: int, rate: int) -> None:
        self._handle: Optional[int] = handle
        self.rate = rate  #: frames per second
        self._levels = False

    @classmethod
    def open(cls, path_or_bytes: Union[str, os.PathLike, bytes, bytearray, memoryview],
             rate: Optional[int] = None) -> "Song":
        """Opens a song from a file's path or from its bytes, rendering at ``rate`` frames per
        second (8000..192000; by default the library's own default rate, 44100). Raises
        OrgsynthError for bytes that are not a playable song and OSError for a file that cannot
        be read."""
        if rate is None:
            rate = int(_c().orgsynth_default_sample_rate())
        if isinstance(path_or_bytes, (bytes, bytearray, memoryview)):
            data = bytes(path_or_bytes)
        else:
            with open(path_or_bytes, "rb") as file:
                data = file.read()
        options = _library.Options(size=ctypes.sizeof(_library.Options), sample_rate=rate)
        error = _library.Error()
        handle = _c().orgsynth_open_memory(data, len(data), ctypes.byref(options),
                                           ctypes.byref(error))
        if not handle:
            raise OrgsynthError(error.code, error.message.decode("utf-8", "replace"))
        return cls(handle, rate)

    # -- lifetime -------------------------------------------------------------------------------

    def close(self) -> None:
        """Frees the song (also done when it is garbage-collected)."""
        if self._handle:
            _c().orgsynth_close(self._handle)
            self._handle = None

    def __enter__(self) -> "Song":
        return self

    def __exit__(self, *_: object) -> None:
        self.close()

    def __del__(self) -> None:
        try:
            self.close()
        except Exception:  # the interpreter may be shutting down
            pass

    @property
    def _h(self) -> int:
        if not self._handle:
            raise ValueError("the song is closed")
        return self._handle

    # -- rendering ------------------------------------------------------------------------------

    def render(self, frames: int) -> bytes:
        """The next ``frames`` frames as bytes of interleaved 16-bit stereo (native byte order,
        4 bytes a frame); shorter only at the song's end, empty after it."""
        buffer = ctypes.create_string_buffer(4 * frames)
        done = _c().orgsynth_render_s16(self._h, buffer, frames)
        return buffer.raw[: 4 * done]

    def render_into(self, buffer: Union[bytearray, memoryview]) -> int:
        """Renders into a writable buffer of 4-byte frames (no allocation); returns frames."""
        view = memoryview(buffer).cast("B")
        frames = len(view) // 4
        array = (ctypes.c_char * len(view)).from_buffer(view)
        return int(_c().orgsynth_render_s16(self._h, array, frames))

    def render_array(self, frames: int) -> "numpy.ndarray":
        """The next ``frames`` frames as a NumPy int16 array of shape (n, 2), n <= frames."""
        import numpy

        out = numpy.empty((frames, 2), dtype=numpy.int16)
        done = _c().orgsynth_render_s16(self._h, out.ctypes.data_as(ctypes.c_void_p), frames)
        return out[:done]

    def seek(self, frame: int) -> None:
        """Moves to ``frame`` exactly (past the end: to the end): what renders next is what a
        render from the start gives from there."""
        _check(_c().orgsynth_seek(self._h, max(0, int(frame))), "seek")

    @property
    def position(self) -> int:
        """The next frame to be rendered."""
        return int(_c().orgsynth_position(self._h))

    @property
    def length(self) -> Optional[int]:
        """Frames from the start to the end (the fade included), or None while endless."""
        length = int(_c().orgsynth_length(self._h))
        return None if length < 0 else length

    @property
    def repeat_count(self) -> int:
        """-1: the loop repeats forever (the default); n >= 0: the intro, n + 1 passes of the
        loop, then the end."""
        return int(_c().orgsynth_get_repeat_count(self._h))

    @repeat_count.setter
    def repeat_count(self, count: int) -> None:
        _c().orgsynth_set_repeat_count(self._h, int(count))

    def set_fade(self, ms: int) -> None:
        """A linear fade of ``ms`` after the end (none while endless)."""
        _c().orgsynth_set_fade(self._h, int(ms))

    # -- the song's facts -----------------------------------------------------------------------

    @property
    def info(self) -> SongInfo:
        """The song's facts: step length, meter, the loop in steps and frames, the tracks."""
        info = _library.Info(size=ctypes.sizeof(_library.Info))
        _check(_c().orgsynth_get_info(self._h, ctypes.byref(info)), "info")
        tracks = tuple(TrackInfo(t.instrument, t.finetune, bool(t.one_shot), t.note_count)
                       for t in info.tracks)
        return SongInfo(info.version, info.sample_rate, info.step_ms, info.beats_per_bar,
                        info.steps_per_beat, info.loop_start_step, info.loop_end_step,
                        info.loop_start_frame, info.loop_end_frame, info.intro_frames,
                        info.loop_frames, tracks)

    def events(self, track: int) -> List[Event]:
        """Every event of track 0..15, as stored."""
        count = self.info.tracks[track].note_count if 0 <= track < TRACKS else 0
        if count == 0:
            return []
        array = (_library.Event * count)()
        got = _c().orgsynth_get_events(self._h, track, 0, array, count)
        return [Event(e.step, e.key, e.length, e.volume, e.pan) for e in array[:got]]

    @property
    def step(self) -> int:
        """The step that sounds now (-1 before the first)."""
        playing = _library.Playing(size=ctypes.sizeof(_library.Playing))
        _check(_c().orgsynth_get_playing(self._h, ctypes.byref(playing)), "playing")
        return int(playing.step)

    # -- levels ---------------------------------------------------------------------------------

    @property
    def levels(self) -> bool:
        """Track levels (each track's peak in track_state) on or off (off by default)."""
        return self._levels

    @levels.setter
    def levels(self, on: bool) -> None:
        self._levels = bool(on)
        _c().orgsynth_set_levels(self._h, int(self._levels))

    def track_state(self, track: int) -> TrackState:
        """Track 0..15 as the last render left it."""
        state = _library.TrackState(size=ctypes.sizeof(_library.TrackState))
        _check(_c().orgsynth_get_track_state(self._h, track, ctypes.byref(state)), "track state")
        return TrackState(state.key, state.volume, state.pan, bool(state.muted), state.peak)

    # -- steering -------------------------------------------------------------------------------

    def mute(self, track: int, on: bool = True) -> None:
        """Mutes (or unmutes) track 0..15 live; its voices go on unheard."""
        if not 0 <= track < TRACKS:
            raise ValueError(f"track {track} is outside 0..15")
        _c().orgsynth_set_track_mute(self._h, track, int(bool(on)))

    def muted(self, track: int) -> bool:
        """Whether track 0..15 is muted."""
        return bool(_c().orgsynth_get_track_mute(self._h, track))

    def set_tempo_factor(self, factor: float) -> None:
        """Steps last step_ms / factor from now on (0.25..4; the pitch is kept)."""
        _check(_c().orgsynth_set_tempo_factor(self._h, float(factor)), "tempo factor")

    @property
    def tempo_factor(self) -> float:
        """The tempo factor (1.0: the song's own tempo)."""
        return float(_c().orgsynth_get_tempo_factor(self._h))

    def set_transpose(self, semitones: int, cents: int = 0,
                      drums: Optional[bool] = None) -> None:
        """Transposes the melody by ``semitones`` (-24..24) and ``cents`` (-100..100); with
        ``drums`` True the drums too (None keeps the earlier choice; they are not by default)."""
        _check(_c().orgsynth_set_transpose(self._h, int(semitones), int(cents)), "transpose")
        if drums is not None:
            _check(_c().orgsynth_set_transpose_drums(self._h, int(bool(drums))), "transpose")

    def set_track_gain(self, track: int, gain: float, fade_ms: int = 0) -> None:
        """Moves the gain (0..1, linear; 1 as written) of track 0..15, or of the whole mix with
        MASTER (-1), in a straight line from where it is to ``gain`` over ``fade_ms``."""
        _check(_c().orgsynth_set_track_gain(self._h, int(track), float(gain), int(fade_ms)),
               "track gain")

    def track_gain(self, track: int) -> float:
        """The gain the next frame of track 0..15 (or MASTER) has."""
        return float(_c().orgsynth_get_track_gain(self._h, int(track)))

    def play_note(self, track: int, key: int, volume: int = 200, pan: int = 6) -> int:
        """Plays a note over the song with track 0..15's instrument at ``key`` (0..95), volume
        0..254 and pan 0..12; returns its voice for stop_note. OrgsynthError when no voice is
        free or a value is out of range."""
        voice = int(_c().orgsynth_play_note(self._h, int(track), int(key), int(volume), int(pan)))
        if voice < 0:
            _check(-voice, "play note")
        return voice

    def stop_note(self, voice: int) -> None:
        """Ends the note on ``voice`` (a sustained melody note finishes its period)."""
        _check(_c().orgsynth_stop_note(self._h, int(voice)), "stop note")

    # -- loop events ----------------------------------------------------------------------------

    @property
    def loop_pass(self) -> int:
        """How many times playback has come back to the loop start in the frames rendered so
        far (0 during the intro and the first pass)."""
        return int(_c().orgsynth_get_loop_pass(self._h))

    @property
    def next_loop_frame(self) -> Optional[int]:
        """The frame, at or after position, on which the loop start sounds next; None when it
        never will."""
        frame = int(_c().orgsynth_next_loop_frame(self._h))
        return None if frame < 0 else frame
