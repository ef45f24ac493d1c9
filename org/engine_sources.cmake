# The sources of the engine (org_engine) and of the mixer under it (rt_mixer), as absolute paths:
# the native build and the WebAssembly build (web/CMakeLists.txt) compile the very same files.
set(ORG_ENGINE_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/drum_kit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/drum_slot_set.cpp
  ${CMAKE_CURRENT_LIST_DIR}/engine.cpp
  ${CMAKE_CURRENT_LIST_DIR}/melody_voice_set.cpp
  ${CMAKE_CURRENT_LIST_DIR}/note_voices.cpp
  ${CMAKE_CURRENT_LIST_DIR}/org_format.cpp
  ${CMAKE_CURRENT_LIST_DIR}/org_writer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/settling_replay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/song_loop.cpp
  ${CMAKE_CURRENT_LIST_DIR}/song_renderer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/step_replay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/step_sequencer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tick_clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/wave_bank.cpp
)
set(RT_MIXER_SOURCES
  ${CMAKE_CURRENT_LIST_DIR}/../runtime/platform/gain_ramp.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../runtime/platform/mixing_sound_device.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../runtime/platform/offline_audio_output.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../runtime/platform/platform_clock.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../runtime/platform/sound_mixer.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../runtime/platform/sound_mixer_simd.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../runtime/platform/voice_orbit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/../runtime/platform/voice_samples.cpp
)
