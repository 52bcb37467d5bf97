-- Chooses each of Kalvo's five factory presets from Ardour's own preset list, as a user does
-- in the plug-in window's preset box, and renders a take with each.
--   KALVO_PLUGIN_TYPE  LV2 or VST3
--   KALVO_PLUGIN_ID    the plug-in's URI (LV2) or name (VST3)
--   KALVO_SESSION      folder for the session (made anew)
--   KALVO_EXPORT       folder the renders go to (preset1.wav .. preset5.wav)
--   KALVO_PRESET_ID    id of the export preset (32-bit float WAV) in the user's config
-- Prints "loading N" before and "loaded N" after each choice: the calling script gives the
-- host a few seconds in between, so that a host that hangs fails the check.
local kind = os.getenv("KALVO_PLUGIN_TYPE")
local id = os.getenv("KALVO_PLUGIN_ID")
local session_dir = os.getenv("KALVO_SESSION")
local export_dir = os.getenv("KALVO_EXPORT")
local preset_id = os.getenv("KALVO_PRESET_ID")
-- In the order of kalvo-render --preset 1..5.
local labels = {"5-Channel", "4-Channel optimized", "XY Stereo 90°", "XY Stereo 60°", "5-Channel Musical"}
-- Front angle (control 3) is set to this before each choice; every preset has another.
local off_preset_angle = 33

local function say(message)
  print("ardour-presets: " .. message)
  io.stdout:flush()
end

local function fail(message)
  say(message)
  quit()
end

AudioEngine:set_backend("None (Dummy)", "", "")
AudioEngine:set_device_name("Uniform White Noise")
local s = create_session(session_dir, "kalvo", 48000)
if not s then fail("no session") end

local tracks = s:new_audio_track(3, 6, nil, 1, "Decode", ARDOUR.PresentationInfo.max_order,
                                 ARDOUR.TrackMode.Normal, true)
local t = tracks:front()
local p = ARDOUR.LuaAPI.new_plugin(s, id, ARDOUR.PluginType[kind], "")
if p:isnil() then fail("Ardour does not know the plug-in " .. id) end
if t:add_processor_by_index(p, 0, nil, true) ~= 0 then fail("the plug-in does not fit the track") end
local plugin = p:to_insert():plugin(0)

-- A 5.1 master, fed channel for channel, no panners (as ardour-render.lua).
local audio = ARDOUR.DataType("audio")
local m = s:master_out()
for k = 1, 4 do
  m:input():add_port("", nil, audio)
  m:output():add_port("", nil, audio)
end
t:output():disconnect_all(nil)
for c = 0, 5 do
  t:output():audio(c):connect(m:input():audio(c):name())
end
t:panner_shell():set_bypassed(true)
m:panner_shell():set_bypassed(true)

-- Half a second of the dummy backend's white noise, recorded with the plug-in off.
p:deactivate()
t:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
s:maybe_enable_record(false)
s:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(500000)
s:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(300000)
s:disable_record(false, false)
t:rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup)
p:activate()
for r in t:playlist():region_list():iter() do
  local ar = r:to_audioregion()
  ar:set_fade_in_active(false)
  ar:set_fade_out_active(false)
end
s:save_state("", false, false, false, false, false)
ARDOUR.config():set_export_preroll(0)

for n, label in ipairs(labels) do
  local preset = plugin:preset_by_label(label)
  if not preset or not preset.valid then fail("Ardour lists no preset " .. label) end
  if not ARDOUR.LuaAPI.set_processor_param(p, 3, off_preset_angle) then fail("cannot set control 3") end
  ARDOUR.LuaAPI.usleep(100000)

  say("loading " .. n)
  local start = ARDOUR.LuaAPI.monotonic_time()
  if not plugin:load_preset(preset) then fail("Ardour could not load " .. label) end
  say(string.format("loaded %d (%s) in %.2f ms", n, label, (ARDOUR.LuaAPI.monotonic_time() - start) / 1000))

  -- The host's own controls must follow the preset (a VST 3 processor reports the values
  -- within a cycle or two).
  local waited = 0
  while ARDOUR.LuaAPI.get_processor_param(p, 3, true) == off_preset_angle and waited < 2000 do
    ARDOUR.LuaAPI.usleep(10000)
    waited = waited + 10
  end
  local values = {}
  for c = 0, 12 do
    values[#values + 1] = string.format("%.4g", ARDOUR.LuaAPI.get_processor_param(p, c, true))
  end
  if ARDOUR.LuaAPI.get_processor_param(p, 3, true) == off_preset_angle then
    fail("the host's controls still show the old values: " .. table.concat(values, " "))
  end
  say(string.format("host's controls after %d ms: %s", waited, table.concat(values, " ")))

  -- The delay glides to its new length for a quarter of a second.
  ARDOUR.LuaAPI.usleep(500000)
  local e = s:simple_export()
  e:set_folder(export_dir)
  e:set_range(s:current_start_sample(), s:current_end_sample())
  if not e:set_preset(preset_id) then fail("no export preset " .. preset_id) end
  if not e:check_outputs() then fail("nothing to export") end
  if not e:run_export() then fail("the export failed") end
  e = nil
  if not os.rename(export_dir .. "/export.wav", export_dir .. "/preset" .. n .. ".wav") then
    fail("no render for preset " .. n)
  end
  say("rendered " .. n)
end
-- The session's routes must go before the session does (see ardour-render.lua).
tracks, t, m, p, plugin, s = nil, nil, nil, nil, nil, nil
collectgarbage()
close_session()
