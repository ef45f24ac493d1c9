"""Finds liborgsynth and declares its C API for ctypes.

The library is looked for in this order: the path in the ORGSYNTH_LIBRARY environment variable,
the library directory pkg-config gives for ``orgsynth``, then the system's library search path.
It must be version 1.1 or later (the interactive functions this package uses).
"""

from __future__ import annotations

import ctypes
import ctypes.util
import os
import shutil
import subprocess
from typing import List, Optional

SONAME = "liborgsynth.so.1"

TRACKS = 16  # tracks 0..7 melody, 8..15 drums (ORGSYNTH_TRACKS)


class Options(ctypes.Structure):
    """orgsynth_options."""

    _fields_ = [
        ("size", ctypes.c_size_t),
        ("sample_rate", ctypes.c_uint32),
        ("interpolation", ctypes.c_int),
        ("wave_bank", ctypes.c_void_p),
        ("wave_bank_size", ctypes.c_size_t),
        ("get_drum", ctypes.c_void_p),
        ("drum_user", ctypes.c_void_p),
    ]


class Error(ctypes.Structure):
    """orgsynth_error."""

    _fields_ = [("code", ctypes.c_int), ("message", ctypes.c_char * 256)]


class TrackInfo(ctypes.Structure):
    """orgsynth_track_info."""

    _fields_ = [
        ("instrument", ctypes.c_int),
        ("finetune", ctypes.c_int),
        ("one_shot", ctypes.c_int),
        ("note_count", ctypes.c_uint32),
    ]


class Info(ctypes.Structure):
    """orgsynth_info."""

    _fields_ = [
        ("size", ctypes.c_size_t),
        ("version", ctypes.c_int),
        ("sample_rate", ctypes.c_uint32),
        ("step_ms", ctypes.c_uint32),
        ("beats_per_bar", ctypes.c_uint32),
        ("steps_per_beat", ctypes.c_uint32),
        ("loop_start_step", ctypes.c_int32),
        ("loop_end_step", ctypes.c_int32),
        ("loop_start_frame", ctypes.c_uint64),
        ("loop_end_frame", ctypes.c_uint64),
        ("intro_frames", ctypes.c_uint64),
        ("loop_frames", ctypes.c_uint64),
        ("tracks", TrackInfo * TRACKS),
    ]


class Event(ctypes.Structure):
    """orgsynth_event."""

    _fields_ = [
        ("step", ctypes.c_int32),
        ("key", ctypes.c_uint8),
        ("length", ctypes.c_uint8),
        ("volume", ctypes.c_uint8),
        ("pan", ctypes.c_uint8),
    ]


class Playing(ctypes.Structure):
    """orgsynth_playing."""

    _fields_ = [("size", ctypes.c_size_t), ("step", ctypes.c_int32), ("loop_count", ctypes.c_int32)]


class TrackState(ctypes.Structure):
    """orgsynth_track_state."""

    _fields_ = [
        ("size", ctypes.c_size_t),
        ("key", ctypes.c_int),
        ("volume", ctypes.c_int),
        ("pan", ctypes.c_int),
        ("muted", ctypes.c_int),
        ("peak", ctypes.c_float),
    ]


def _candidates() -> List[str]:
    """Where the library may be, in the order it is looked for."""
    found: List[str] = []
    given = os.environ.get("ORGSYNTH_LIBRARY")
    if given:
        return [given]  # the caller's choice is the only one
    if shutil.which("pkg-config"):
        try:
            libdir = subprocess.run(
                ["pkg-config", "--variable=libdir", "orgsynth"],
                check=True, capture_output=True, text=True, timeout=10,
            ).stdout.strip()
            if libdir:
                found.append(os.path.join(libdir, SONAME))
        except (OSError, subprocess.SubprocessError):
            pass
    found.append(SONAME)
    system = ctypes.util.find_library("orgsynth")
    if system:
        found.append(system)
    return found


def _declare(lib: ctypes.CDLL) -> None:
    """Argument and result types of every function the package calls."""
    song = ctypes.c_void_p
    c = ctypes
    table = {
        "orgsynth_version": ([], c.c_char_p),
        "orgsynth_error_string": ([c.c_int], c.c_char_p),
        "orgsynth_probe": ([c.c_void_p, c.c_size_t], c.c_int),
        "orgsynth_open_memory": (
            [c.c_void_p, c.c_size_t, c.POINTER(Options), c.POINTER(Error)], song),
        "orgsynth_close": ([song], None),
        "orgsynth_render_s16": ([song, c.c_void_p, c.c_size_t], c.c_size_t),
        "orgsynth_render_f32": ([song, c.c_void_p, c.c_size_t], c.c_size_t),
        "orgsynth_set_repeat_count": ([song, c.c_int], None),
        "orgsynth_get_repeat_count": ([song], c.c_int),
        "orgsynth_set_fade": ([song, c.c_uint32], None),
        "orgsynth_seek": ([song, c.c_uint64], c.c_int),
        "orgsynth_position": ([song], c.c_uint64),
        "orgsynth_length": ([song], c.c_int64),
        "orgsynth_set_track_mute": ([song, c.c_int, c.c_int], None),
        "orgsynth_get_track_mute": ([song, c.c_int], c.c_int),
        "orgsynth_get_info": ([song, c.POINTER(Info)], c.c_int),
        "orgsynth_drum_name": ([c.c_int], c.c_char_p),
        "orgsynth_get_events": (
            [song, c.c_int, c.c_size_t, c.POINTER(Event), c.c_size_t], c.c_size_t),
        "orgsynth_get_playing": ([song, c.POINTER(Playing)], c.c_int),
        "orgsynth_get_track_state": ([song, c.c_int, c.POINTER(TrackState)], c.c_int),
        "orgsynth_set_levels": ([song, c.c_int], None),
        "orgsynth_set_tempo_factor": ([song, c.c_double], c.c_int),
        "orgsynth_get_tempo_factor": ([song], c.c_double),
        "orgsynth_set_transpose": ([song, c.c_int, c.c_int], c.c_int),
        "orgsynth_set_transpose_drums": ([song, c.c_int], c.c_int),
        "orgsynth_set_track_gain": ([song, c.c_int, c.c_double, c.c_uint32], c.c_int),
        "orgsynth_get_track_gain": ([song, c.c_int], c.c_double),
        "orgsynth_play_note": ([song, c.c_int, c.c_int, c.c_int, c.c_int], c.c_int),
        "orgsynth_stop_note": ([song, c.c_int], c.c_int),
        "orgsynth_get_loop_pass": ([song], c.c_int),
        "orgsynth_next_loop_frame": ([song], c.c_int64),
        "orgsynth_default_sample_rate": ([], c.c_uint32),
    }
    for name, (arguments, result) in table.items():
        function = getattr(lib, name)
        function.argtypes = arguments
        function.restype = result


def load() -> ctypes.CDLL:
    """Loads liborgsynth 1.1 or later; raises OSError saying where it looked."""
    tried: List[str] = []
    last: Optional[BaseException] = None
    for path in _candidates():
        try:
            lib = ctypes.CDLL(path)
        except OSError as error:
            tried.append(path)
            last = error
            continue
        version = ctypes.CFUNCTYPE(ctypes.c_char_p)(("orgsynth_version", lib))().decode()
        major, minor = (int(part) for part in version.split(".")[:2])
        if major != 1 or minor < 1:
            raise OSError(f"{path} is liborgsynth {version}; this package needs 1.1 or later")
        _declare(lib)
        return lib
    raise OSError(
        "liborgsynth was not found (set ORGSYNTH_LIBRARY to its path); tried: "
        + ", ".join(tried) + (f" ({last})" if last else ""))
