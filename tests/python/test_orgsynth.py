"""The Python package over liborgsynth: the same bytes as the library's own render (org2wav's
for the intro and two passes), exact seeks, the song's facts, the controls and their refusals,
loop events on the loop's frames, notes over the song, and NumPy arrays.

Run from ctest with ORGSYNTH_LIBRARY set to the built library, ORG2WAV to the built org2wav and
ORGSYNTH_SONGS to the demo songs' folder.
"""

from __future__ import annotations

import ctypes
import json
import os
import subprocess
import wave
from pathlib import Path

import numpy
import pytest

import orgsynth
from orgsynth import _library

SONGS = Path(os.environ.get("ORGSYNTH_SONGS", Path(__file__).parents[2] / "data" / "Org"))


def open_song(name: str = "Sakura", rate: int = 44100) -> orgsynth.Song:
    return orgsynth.Song.open(SONGS / f"{name}.org", rate=rate)


def test_the_library_found_is_1_1_or_later() -> None:
    major, minor = (int(p) for p in orgsynth.library_version().split(".")[:2])
    assert (major, minor) >= (1, 1)


def test_a_render_is_org2wavs_bytes_for_the_intro_and_two_passes(tmp_path: Path) -> None:
    org2wav = os.environ.get("ORG2WAV")
    if not org2wav:
        pytest.skip("ORG2WAV is not set")
    out = tmp_path / "jacques.wav"
    subprocess.run([org2wav, "-q", "--loops", "2", str(SONGS / "Jacques.org"), str(out)],
                   check=True)
    with wave.open(str(out)) as wav:
        want = wav.readframes(wav.getnframes())
    song = open_song("Jacques")
    song.repeat_count = 1
    assert song.repeat_count == 1
    got = b"".join(iter(lambda: song.render(3000), b""))
    assert len(got) == 4 * song.length
    assert got == want


def test_render_array_and_render_into_give_the_same_frames_as_render() -> None:
    a, b, c = open_song(), open_song(), open_song()
    as_bytes = a.render(10000)
    array = b.render_array(10000)
    assert array.shape == (10000, 2) and array.dtype == numpy.int16
    assert array.tobytes() == as_bytes
    buffer = bytearray(4 * 10000)
    assert c.render_into(buffer) == 10000
    assert bytes(buffer) == as_bytes


def test_an_endless_song_has_no_length_and_one_that_ends_stops_there() -> None:
    song = open_song()
    assert song.length is None and song.repeat_count == -1
    song.repeat_count = 0
    song.set_fade(500)
    song.seek(song.length - 100)
    assert len(song.render(1000)) == 4 * 100
    assert song.render(1000) == b""


def test_seeking_lands_on_the_frames_of_a_render_from_the_start() -> None:
    whole = open_song("Korobeiniki").render_array(44100 * 12)
    song = open_song("Korobeiniki")
    for frame in (44100 * 9 + 11, 5, 44100 * 3):
        song.seek(frame)
        assert song.position == frame
        assert numpy.array_equal(song.render_array(2048), whole[frame:frame + 2048])


def test_the_songs_facts_and_events() -> None:
    song = open_song("Joy")
    info = song.info
    assert info.sample_rate == 44100 and info.step_ms > 0
    assert info.loop_frames == info.loop_end_frame - info.loop_start_frame
    assert len(info.tracks) == orgsynth.TRACKS
    events = song.events(0)
    assert len(events) == info.tracks[0].note_count > 0
    assert all(e.step >= 0 for e in events) and events == sorted(events, key=lambda e: e.step)
    song.levels = True
    song.render(44100)
    assert max(song.track_state(t).peak for t in range(orgsynth.TRACKS)) > 0


def test_a_song_opened_without_a_rate_plays_at_the_librarys_default() -> None:
    song = orgsynth.Song.open(SONGS / "Joy.org")
    assert song.rate == song.info.sample_rate == 44100
    assert song.info.loop_end_frame == open_song("Joy").info.loop_end_frame


def test_a_file_that_is_not_a_song_is_refused_saying_why() -> None:
    with pytest.raises(orgsynth.OrgsynthError) as failure:
        orgsynth.Song.open(b"RIFF\x00\x00\x00\x00WAVEfmt ")
    assert failure.value.code == 2 and "not an Org song" in str(failure.value)
    with pytest.raises(OSError):
        orgsynth.Song.open(SONGS / "no such song.org")


def test_tempo_factor_two_halves_the_length_and_keeps_the_facts_in_step() -> None:
    normal, fast = open_song(), open_song()
    normal.repeat_count = fast.repeat_count = 0
    fast.set_tempo_factor(2.0)
    assert fast.tempo_factor == 2.0
    assert abs(fast.length - normal.length / 2) <= 1
    assert abs(fast.info.loop_start_frame - normal.info.loop_start_frame / 2) <= 1


def test_controls_out_of_range_are_refused() -> None:
    song = open_song()
    for bad in (lambda: song.set_tempo_factor(5), lambda: song.set_transpose(30),
                lambda: song.set_track_gain(3, 2.0), lambda: song.set_track_gain(16, 0.5),
                lambda: song.play_note(0, 96)):
        with pytest.raises(orgsynth.OrgsynthError) as failure:
            bad()
        assert failure.value.code == 1
    with pytest.raises(ValueError):
        song.mute(16, True)


def test_mute_and_track_gain_silence_a_track_and_fade_it_back() -> None:
    solo, reference = open_song("Jacques"), open_song("Jacques")
    for song in (solo, reference):
        for track in range(1, orgsynth.TRACKS):
            song.mute(track, True)
        song.seek(44100 * 4)
    assert solo.muted(5) and not solo.muted(0)
    solo.set_track_gain(0, 0.0)
    assert reference.render_array(4410).any()
    assert not solo.render_array(4410).any()
    solo.set_track_gain(0, 1.0, fade_ms=1000)
    ramp = solo.render_array(44100).astype(numpy.int64)
    full = reference.render_array(44100).astype(numpy.int64)
    assert solo.track_gain(0) == 1.0
    # Halfway through, about half as loud as the track itself; the last frame at full gain.
    middle = slice(22050 - 200, 22050 + 200)
    assert numpy.abs(ramp[middle]).sum() == pytest.approx(numpy.abs(full[middle]).sum() / 2, rel=0.02)
    assert numpy.array_equal(solo.render_array(1000), reference.render_array(1000))


def test_loop_events_fall_on_the_loop_start_frame_plus_whole_passes() -> None:
    song = open_song("Twinkle")
    info = song.info
    assert song.loop_pass == 0
    for k in (1, 2):
        frame = song.next_loop_frame
        assert frame == info.loop_start_frame + k * info.loop_frames
        song.seek(frame)
        assert song.loop_pass == k - 1
        song.render(1)
        assert song.loop_pass == k
    song.repeat_count = 1
    assert song.next_loop_frame is None


def test_a_note_over_the_song_sounds_and_stops() -> None:
    song = open_song("Twinkle")
    for track in range(orgsynth.TRACKS):
        song.mute(track, True)
    voice = song.play_note(0, 45, volume=220, pan=6)
    assert 0 <= voice
    assert song.render_array(4410).any()
    song.stop_note(voice)
    song.render(500)
    assert not song.render_array(4410).any()


def test_a_transposition_changes_the_melody_and_back_to_zero_changes_nothing() -> None:
    plain, moved = open_song(), open_song()
    moved.set_transpose(12, 0, drums=True)
    assert moved.render(20000) != plain.render(20000)
    moved.set_transpose(0, 0, drums=False)
    moved.seek(0)
    plain.seek(0)
    assert moved.render(20000) == plain.render(20000)


# The ctypes declarations restate the header's structs; the C compiler's own layout (offsetof and
# sizeof, printed by the struct_layout_dump program built beside the library) is the truth they
# must match, so a change of the header cannot be silently misread by Python.
CTYPES_STRUCTS = {
    "orgsynth_options": _library.Options,
    "orgsynth_error": _library.Error,
    "orgsynth_track_info": _library.TrackInfo,
    "orgsynth_info": _library.Info,
    "orgsynth_event": _library.Event,
    "orgsynth_playing": _library.Playing,
    "orgsynth_track_state": _library.TrackState,
}


def test_the_ctypes_structs_are_laid_out_as_the_c_compiler_lays_out_the_header() -> None:
    dump = os.environ.get("ORGSYNTH_STRUCT_LAYOUT")
    if not dump:
        pytest.skip("ORGSYNTH_STRUCT_LAYOUT is not set")
    layout = json.loads(subprocess.run([dump], check=True, capture_output=True).stdout)
    for name, struct in CTYPES_STRUCTS.items():
        fields = dict(layout[name])
        assert ctypes.sizeof(struct) == fields.pop("sizeof"), name
        declared = [field[0] for field in struct._fields_]
        assert declared == list(fields), f"{name}: fields {declared} against {list(fields)}"
        for field, offset in fields.items():
            assert getattr(struct, field).offset == offset, f"{name}.{field}"
    assert _library.TRACKS == layout["constants"]["ORGSYNTH_TRACKS"]
