-- Run by scripts/ardour-check.sh through ardour7-lua: a session with one stereo track per
-- interface, the plug-in inserted on each, every program loaded through the host's preset call
-- (the path its preset menus take), the transport rolled over the input for two seconds, the
-- session saved and closed. Prints "ardour-check: ok" at the end; a hang never gets there.
io.stdout:setvbuf("no")
local dir = os.getenv("TONVERA_ARDOUR_SESSION")
ARDOUR.config():set_hide_dummy_backend(false)
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

session:request_roll(ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(2000000)
print("ardour-check: rolled to sample " .. tostring(session:transport_sample()))
assert(session:transport_sample() > 0, "the transport did not roll")
session:request_stop(false, false, ARDOUR.TransportRequestSource.TRS_UI)
ARDOUR.LuaAPI.usleep(200000)
session:save_state("", false, false, false, false, false)
close_session()
print("ardour-check: ok, programs loaded: " .. loaded)
