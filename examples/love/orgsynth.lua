-- liborgsynth through LuaJIT's FFI: the functions this game uses, declared as the library's
-- header (orgsynth.h) declares them. The library is ORGSYNTH_LIBRARY's path, else the system's
-- liborgsynth.so.1.
local ffi = require("ffi")

ffi.cdef [[
typedef struct orgsynth_song orgsynth_song;
typedef struct orgsynth_options orgsynth_options;
typedef struct orgsynth_error { int code; char message[256]; } orgsynth_error;
const char* orgsynth_version(void);
orgsynth_song* orgsynth_open_memory(const void* data, size_t size, const orgsynth_options* options,
                                    orgsynth_error* error);
void orgsynth_close(orgsynth_song* song);
size_t orgsynth_render_s16(orgsynth_song* song, int16_t* stereo, size_t frames);
int orgsynth_seek(orgsynth_song* song, uint64_t frame);
uint64_t orgsynth_position(const orgsynth_song* song);
int orgsynth_set_track_gain(orgsynth_song* song, int track, double gain, uint32_t fade_ms);
int orgsynth_set_tempo_factor(orgsynth_song* song, double factor);
int orgsynth_set_transpose(orgsynth_song* song, int semitones, int cents);
int orgsynth_get_loop_pass(const orgsynth_song* song);
int64_t orgsynth_next_loop_frame(const orgsynth_song* song);
]]

local lib = ffi.load(os.getenv("ORGSYNTH_LIBRARY") or "liborgsynth.so.1")

local M = { lib = lib }

-- Opens a song from its bytes (a Lua string); the song, or nil and the reason.
function M.open(bytes)
  local error = ffi.new("orgsynth_error")
  local song = lib.orgsynth_open_memory(bytes, #bytes, nil, error)
  if song == nil then return nil, ffi.string(error.message) end
  return ffi.gc(song, lib.orgsynth_close)
end

return M
