-- A LÖVE 11 game whose music is an Org song streamed through a QueueableSource: liborgsynth
-- renders each block straight into a SoundData (through LuaJIT's FFI), the intro plays once and
-- the loop repeats seamlessly. The music has two sections: "calm" (no drums) and "battle" (the
-- drums in, a little faster). S asks for the other section; the switch waits for the loop to come
-- round and happens on that very frame, in the middle of a block if it falls there.
--
--   love examples/love [SONG] [--start FRAME] [--record FILE] [--blocks N]
--
-- --start begins at that frame (exactly: a seek); --record writes every block queued to FILE (raw 16-bit stereo) and each section switch, with
-- the frame it happened on, to FILE.sections; --blocks quits after N blocks queued.
local ffi = require("ffi")
local orgsynth = require("orgsynth")

local RATE, BLOCK, BUFFERS = 44100, 1024, 4
local DRUMS = { 8, 9, 10, 11, 12, 13, 14, 15 }

local song, source
local section, wanted = "calm", "calm"
local record, sections
local queued, limit = 0, 0

local function apply(name)
  for _, track in ipairs(DRUMS) do
    orgsynth.lib.orgsynth_set_track_gain(song, track, name == "battle" and 1 or 0, 0)
  end
  orgsynth.lib.orgsynth_set_tempo_factor(song, name == "battle" and 1.25 or 1)
  section = name
end

local function parse(args)
  local options = { song = "data/Org/Sakura.org", start = 0 }
  local i = 1
  while i <= #args do
    local a = args[i]
    if a == "--start" then options.start = tonumber(args[i + 1]); i = i + 1
    elseif a == "--record" then options.record = args[i + 1]; i = i + 1
    elseif a == "--blocks" then options.blocks = tonumber(args[i + 1]); i = i + 1
    else options.song = a end
    i = i + 1
  end
  return options
end

function love.load(args)
  local options = parse(args)
  local file = assert(io.open(options.song, "rb"), options.song .. ": cannot be read")
  local bytes = file:read("*a")
  file:close()
  local reason
  song, reason = orgsynth.open(bytes)
  if not song then error(options.song .. ": " .. reason) end
  orgsynth.lib.orgsynth_seek(song, options.start)
  apply("calm")
  if options.record then
    record = assert(io.open(options.record, "wb"))
    sections = assert(io.open(options.record .. ".sections", "w"))
  end
  limit = options.blocks or 0
  source = love.audio.newQueueableSource(RATE, 16, 2, BUFFERS)
end

-- Renders `frames` frames into `out` (int16_t*), switching section on the loop's frame.
local function render(out, frames)
  local done = 0
  while done < frames do
    local at = orgsynth.lib.orgsynth_position(song)
    local loop = orgsynth.lib.orgsynth_next_loop_frame(song)
    if loop == at and wanted ~= section then
      apply(wanted)
      if sections then sections:write(tostring(tonumber(at)), " ", section, "\n") end
    end
    local run = frames - done
    if wanted ~= section and loop > at and loop - at < run then run = tonumber(loop - at) end
    local got = tonumber(orgsynth.lib.orgsynth_render_s16(song, out + 2 * done, run))
    if got < run then ffi.fill(out + 2 * (done + got), 4 * (frames - done - got)) ; break end
    done = done + run
  end
end

local function queue_block()
  local data = love.sound.newSoundData(BLOCK, RATE, 16, 2)
  render(ffi.cast("int16_t*", data:getFFIPointer()), BLOCK)
  if record then record:write(data:getString()) end
  source:queue(data)
  queued = queued + 1
end

function love.update()
  while source:getFreeBufferCount() > 0 and (limit == 0 or queued < limit) do queue_block() end
  if not source:isPlaying() then source:play() end
  if limit > 0 and queued >= limit then
    if record then record:close(); sections:close() end
    love.event.quit(0)
  end
end

function love.keypressed(key)
  if key == "s" then wanted = section == "calm" and "battle" or "calm" end
  if key == "escape" then love.event.quit(0) end
end

function love.draw()
  love.graphics.clear(0.06, 0.06, 0.16)
  love.graphics.print("section: " .. section .. (wanted ~= section and " (next loop: " .. wanted .. ")" or ""), 10, 10)
  love.graphics.print("loop pass " .. orgsynth.lib.orgsynth_get_loop_pass(song), 10, 30)
  love.graphics.print("S: the other section   Esc: quit", 10, 210)
end
