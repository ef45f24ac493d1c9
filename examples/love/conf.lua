-- A LÖVE 11 game that plays an Org song through liborgsynth (see main.lua).
function love.conf(t)
  t.identity = "orgsynth-love"
  t.version = "11.4"
  t.window.title = "orgsynth in LÖVE"
  t.window.width = 320
  t.window.height = 240
  t.modules.joystick = false
  t.modules.physics = false
end
