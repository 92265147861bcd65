-- Run by scripts/ardour-check.sh through ardour7-lua: a session with one stereo track per
-- interface, the plug-in inserted on each, every program loaded through the host's preset call
-- (the path its preset menus take), a region recorded on each track from the dummy back end's
-- sine input and played back through the plug-ins (their output must carry it), the session saved
-- and closed. Prints "ardour-check: ok" at the end; a hang never gets there.
io.stdout:setvbuf("no")
local dir = os.getenv("TONVERA_ARDOUR_SESSION")
ARDOUR.config():set_hide_dummy_backend(false)
-- The dummy back end's inputs play the signal its device names: a sine to record regions from.
assert(not AudioEngine:set_backend("None (Dummy)", "", ""):isnil(), "no dummy back end")
assert(AudioEngine:set_device_name("Sine Wave") == 0, "the dummy back end has no sine input")
local session = create_session(dir, "check", 48000)
assert(session, "no session")

local found = {}
for info in ARDOUR.LuaAPI.list_plugins():iter() do
  if info.name == "Tonvera" then
    found[#found + 1] = info
  end
end
print("ardour-check: Tonvera plug-ins found: " .. #found)
assert(#found >= 2, "the VST 3 and the VST 2.4 plug-in were not both found")

local loaded = 0
for _, info in ipairs(found) do
  local tracks = session:new_audio_track(2, 2, nil, 1, "t", ARDOUR.PresentationInfo.max_order,
                                         ARDOUR.TrackMode.Normal, true)
  for track in tracks:iter() do
    local processor = ARDOUR.LuaAPI.new_plugin(session, info.unique_id, info.type, "")
    assert(not processor:isnil(), "the plug-in could not be made")
    assert(track:add_processor_by_index(processor, 0, nil, true), "the plug-in could not be inserted")
    local plugin = processor:to_insert():plugin(0)
    -- The programs as the preset menus list them (a VST 3 instance names its program list's
    -- entries; the VST 2.4 index lists "n - name").
    local count = 0
    for _, name in ipairs({"Slot A", "Slot B", "Slot C", "Slot D", "Slot E", "Slot F", "Slot G", "Slot H"}) do
      local preset = plugin:preset_by_label(name)
      if not (preset and preset.valid) then
        preset = plugin:preset_by_label(tostring(count) .. " - " .. name)
      end
      assert(preset and preset.valid, "no program " .. name)
      print("ardour-check: " .. tostring(info.type) .. " loads " .. preset.label)
      assert(plugin:load_preset(preset), "load_preset failed: " .. preset.label)
      count = count + 1
      loaded = loaded + 1
    end
  end
end

-- Record a region of the sine on every track, then play it back through the plug-ins.
local tracks = {}
for route in session:get_tracks():iter() do
  local track = route:to_track()
  track:input():disconnect_all(nil)
  track:input():audio(0):connect("system:capture_1")
  track:rec_enable_control():set_value(1, PBD.GroupControlDisposition.NoGroup)
  tracks[#tracks + 1] = track
end
session:maybe_enable_record(false)
session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(2000000)
session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(500000)
session:disable_record(false, false)
for _, track in ipairs(tracks) do
  track:rec_enable_control():set_value(0, PBD.GroupControlDisposition.NoGroup)
  local regions = track:playlist():region_list()
  assert(regions:size() == 1, "no region was recorded on " .. track:name())
  local region
  for r in regions:iter() do
    region = r:to_audioregion()
  end
  print("ardour-check: " .. track:name() .. " region of " .. tostring(region:length():samples()) ..
        " samples, peak " .. string.format("%.3f", region:maximum_amplitude(nil)))
end

session:request_locate(0, false, ARDOUR.LocateTransportDisposition.MustStop, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(300000)
session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(1000000)
for _, track in ipairs(tracks) do
  -- The track's meter after the plug-in: the region came through it. The meter counts the MIDI
  -- channels (the plug-in's MIDI out) before the audio ones.
  local meter = track:peak_meter()
  local level = meter:meter_level(meter:input_streams():n_midi(), ARDOUR.MeterType.MeterPeak)
  print("ardour-check: " .. track:name() .. " plays the region at " .. string.format("%.1f", level) .. " dBFS")
  assert(level > -40, "the region did not come through the plug-in on " .. track:name())
end
ARDOUR.LuaAPI.usleep(500000)
print("ardour-check: rolled to sample " .. tostring(session:transport_sample()))
assert(session:transport_sample() > 0, "the transport did not roll")
session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(200000)
session:save_state("", false, false, false, false, false)
close_session()
print("ardour-check: ok, programs loaded: " .. loaded)
