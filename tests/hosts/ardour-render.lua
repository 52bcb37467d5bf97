-- Renders a take through Kalvo in Ardour's headless Lua session, as a user would in the
-- mixer: a track with three inputs and six outputs, the plug-in on it, a 5.1 master bus.
--   KALVO_PLUGIN_TYPE  LV2 or VST3
--   KALVO_PLUGIN_ID    the plug-in's URI (LV2) or name (VST3)
--   KALVO_SESSION      folder for the session (made anew)
--   KALVO_EXPORT       folder the render goes to (export.wav)
--   KALVO_PRESET_ID    id of the export preset (32-bit float WAV) in the user's config
--   KALVO_OUTPUTS      the plug-in's outputs: 6 (default, to a 5.1 master) or 2 (headphones)
--   KALVO_CONTROL_OFFSET  LV2 controls before the thirteen parameters (the headphone build's head)
--   KALVO_HEAD_YAW     the head's yaw in degrees, when set, on control KALVO_YAW_CONTROL (0: the
--                      LV2 plug-in's first control)
-- The take is two seconds of the dummy audio backend's white noise on the three inputs,
-- recorded with the plug-in switched off; the render plays it back through the plug-in.
local kind = os.getenv("KALVO_PLUGIN_TYPE")
local id = os.getenv("KALVO_PLUGIN_ID")
local session_dir = os.getenv("KALVO_SESSION")
local export_dir = os.getenv("KALVO_EXPORT")
local preset_id = os.getenv("KALVO_PRESET_ID")
local outputs = tonumber(os.getenv("KALVO_OUTPUTS") or "6")
local offset = tonumber(os.getenv("KALVO_CONTROL_OFFSET") or "0")
local yaw = os.getenv("KALVO_HEAD_YAW")
local yaw_control = tonumber(os.getenv("KALVO_YAW_CONTROL") or "0")

local function say(message)
  print("ardour-render: " .. message)
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

local tracks = s:new_audio_track(3, outputs, nil, 1, "Decode", ARDOUR.PresentationInfo.max_order,
                                 ARDOUR.TrackMode.Normal, true)
local t = tracks:front()
local p = ARDOUR.LuaAPI.new_plugin(s, id, ARDOUR.PluginType[kind], "")
if p:isnil() then fail("Ardour does not know the plug-in " .. id) end
if t:add_processor_by_index(p, 0, nil, true) ~= 0 then fail("the plug-in does not fit the track") end

-- A setting off the defaults, in the units the host shows (control numbers in port order):
-- front angle 60 degrees, surround delay 12 ms, surround low-pass at 8 kHz, surrounds at -6 dB.
if kind == "LV2" then
  local settings = {{offset + 3, 60}, {offset + 5, 12}, {offset + 6, 8}, {offset + 8, -6}}
  for _, setting in ipairs(settings) do
    if not ARDOUR.LuaAPI.set_processor_param(p, setting[1], setting[2]) then
      fail("cannot set control " .. setting[1])
    end
  end
end
if yaw and not ARDOUR.LuaAPI.set_processor_param(p, yaw_control, tonumber(yaw)) then
  fail("cannot set the head's yaw")
end
-- The host hands the values over in its next cycles; the delay glides to its new length
-- for a quarter of a second. Let it settle, as it has long settled when a user exports.
ARDOUR.LuaAPI.usleep(500000)

-- A master as wide as the plug-in's output (5.1, or the stereo master as it comes for
-- headphones), fed channel for channel; speakers stay speakers, with no panner between.
local audio = ARDOUR.DataType("audio")
local m = s:master_out()
for k = 1, outputs - 2 do
  m:input():add_port("", nil, audio)
  m:output():add_port("", nil, audio)
end
t:output():disconnect_all(nil)
for c = 0, outputs - 1 do
  t:output():audio(c):connect(m:input():audio(c):name())
end
t:panner_shell():set_bypassed(true)
m:panner_shell():set_bypassed(true)

p:deactivate()
t:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
s:maybe_enable_record(false)
s:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(2000000)
s:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(500000)
s:disable_record(false, false)
t:rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup)
p:activate()
-- The take plays back as it was recorded: no fades at the region's ends.
for r in t:playlist():region_list():iter() do
  local ar = r:to_audioregion()
  ar:set_fade_in_active(false)
  ar:set_fade_out_active(false)
end
s:save_state("", false, false, false, false, false)

ARDOUR.config():set_export_preroll(0)
local e = s:simple_export()
e:set_folder(export_dir)
e:set_range(s:current_start_sample(), s:current_end_sample())
if not e:set_preset(preset_id) then fail("no export preset " .. preset_id) end
if not e:check_outputs() then fail("nothing to export") end
if not e:run_export() then fail("the export failed") end
say("rendered through " .. id)
-- The session's routes must go before the session does: a route still held by Lua when
-- the interpreter ends would be destroyed after its session (a use after free in the host).
tracks, t, m, p, e, s = nil, nil, nil, nil, nil, nil
collectgarbage()
close_session()
