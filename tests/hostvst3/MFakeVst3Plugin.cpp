// The plug-in of the adapter's test module: a gain with a few read-only slots that show what the
// adapter handed over (last note, tempo, controller 7, play state, sample rate), so a test that
// only sees the module through the VST 3 interfaces can check it.
//
// Slots: 0 "Gain" (gain = 2 x value, default 0.5), 1 "Switch" (boolean), 2 "Last note"
// (note / 127), 3 "Tempo" (bpm / 1000), 4 "Controller 7" (value / 127), 5 "Playing",
// 6 "Rate" (host rate / 200000). A note-on is echoed to the MIDI output with velocity 100; a
// message on channel 16 or of controller 7 comes back as it arrived, at its offset (a note-off as
// a note-on of velocity 0), one per block. Rates above 500 kHz are refused.

#include "base/MStorable.h"
#include "core/plugin/MAudioPlugin.h"
#include "host/module/MModule.h"
#include "host/vst3/MAudioPluginVST3Factory.h"

#include <array>
#include <atomic>
#include <cmath>
#include <thread>
#include <utility>

namespace
{
class FakePlugin;

class Slots : public MAudioPlugin::AutomationAdapter
{
public:
  static constexpr int kCount = 7;
  explicit Slots(FakePlugin& plugin) : AutomationAdapter(kCount), m_fake(plugin) {}
  void SetValue(std::int32_t slot, double value, bool silent) override;
  double GetValue(std::int32_t slot) const override;
  MString GetName(std::int32_t slot) const override
  {
    static const char* const kNames[kCount] = {"Gain",         "Switch",  "Last note", "Tempo",
                                               "Controller 7", "Playing", "Rate"};
    return MString::FromLiteral(kNames[slot]);
  }
  MString GetValueNameFrom01(std::int32_t, double value) const override
  {
    return MString::FromDouble(value, 3);
  }
  std::int32_t GetType(std::int32_t slot) const override { return slot == 1 ? 4 : 1; }
  double GetDefaultValue(std::int32_t slot) const override { return slot == 0 ? 0.5 : 0.0; }

private:
  FakePlugin& m_fake;
};

class FakePlugin : public MAudioPlugin
{
public:
  FakePlugin()
  {
    SetChannelNames({MString("In L"), MString("In R")}, {MString("Out L"), MString("Out R")});
    m_receivesMIDI = true;
    m_sendsMIDI = true;
    AddAutomationAdapter(new Slots(*this));
    AssignAutomationIndices();
  }

  void InitProcessing() override
  {
    if (GetSampleRate() > 500000.0)
    {
      return RefuseSetUp();
    }
    MAudioPlugin::InitProcessing();
  }

  bool ProcessMIDIEvent(std::int32_t delta, const std::uint8_t bytes[3]) override
  {
    const bool off = (bytes[0] & 0xF0) == 0x80;
    if ((bytes[0] & 0x0F) == 0x0F || ((bytes[0] & 0xF0) == 0xB0 && bytes[1] == 7))
    {
      m_raw = {off ? std::uint8_t{0x9F} : bytes[0], bytes[1], off ? std::uint8_t{0} : bytes[2], 0};
      m_rawDelta = delta;
    }
    return (bytes[0] & 0x0F) == 0x0F || MAudioPlugin::ProcessMIDIEvent(delta, bytes);
  }

  void ProcessChunk(float** inputs, float** outputs, std::int32_t samples) override
  {
    if (m_rawDelta >= 0)
    {
      GenerateMIDIEvent(std::exchange(m_rawDelta, -1), m_raw.data());
    }
    const float gain = static_cast<float>(2.0 * m_gain.load(std::memory_order_relaxed));
    for (int channel = 0; channel < 2; ++channel)
    {
      for (std::int32_t i = 0; i < samples; ++i)
      {
        outputs[channel][i] = gain * inputs[channel][i];
      }
    }
    const int echo = m_echo.exchange(-1, std::memory_order_relaxed);
    if (echo >= 0)
    {
      const std::uint8_t bytes[4] = {0x90, static_cast<std::uint8_t>(echo), 100, 0};
      GenerateMIDIEvent(0, bytes);
    }
  }

  void ProcessNote(const MMIDINote& note) override
  {
    MAudioPlugin::ProcessNote(note);
    if (note.noteOn)
    {
      m_lastNote.store(note.note, std::memory_order_relaxed);
      m_echo.store(note.note, std::memory_order_relaxed);
    }
  }

  bool ProcessMIDIController(std::int32_t delta, double time, std::int32_t channel, std::int32_t controller,
                             double value) override
  {
    const bool handled = MAudioPlugin::ProcessMIDIController(delta, time, channel, controller, value);
    if (controller == 7)
    {
      m_controller7.store(static_cast<int>(std::lround(value * 127.0)), std::memory_order_relaxed);
    }
    return handled;
  }

  void Store(MStoreContext& context) override
  {
    double gain = m_gain.load();
    bool on = m_switch.load();
    context.Store(MString("Gain"), gain);
    context.Store(MString("Switch"), on);
    if (!context.IsSaving())
    {
      m_gain.store(gain);
      m_switch.store(on);
    }
    MAudioPlugin::Store(context);
  }

  std::atomic<double> m_gain{0.5};
  std::atomic<bool> m_switch{false};
  std::atomic<int> m_lastNote{0};
  std::atomic<int> m_controller7{0};
  std::atomic<int> m_echo{-1};
  std::array<std::uint8_t, 4> m_raw{}; // audio thread only
  std::int32_t m_rawDelta = -1;
};

void Slots::SetValue(std::int32_t slot, double value, bool /*silent*/)
{
  if (slot == 0)
  {
    m_fake.m_gain.store(value, std::memory_order_relaxed);
  }
  else if (slot == 1)
  {
    m_fake.m_switch.store(value > 0.5, std::memory_order_relaxed);
  }
}

double Slots::GetValue(std::int32_t slot) const
{
  MAudioPlugin::Transport& transport = m_fake.GetTransport();
  switch (slot)
  {
  case 0:
    return m_fake.m_gain.load(std::memory_order_relaxed);
  case 1:
    return m_fake.m_switch.load(std::memory_order_relaxed) ? 1.0 : 0.0;
  case 2:
    return m_fake.m_lastNote.load(std::memory_order_relaxed) / 127.0;
  case 3:
    return transport.tempo / 1000.0;
  case 4:
    return m_fake.m_controller7.load(std::memory_order_relaxed) / 127.0;
  case 5:
    return transport.playing ? 1.0 : 0.0;
  default:
    return m_fake.GetSampleRate() / 200000.0;
  }
}
} // namespace

namespace
{
std::atomic<FakePlugin*> s_lastPlugin{nullptr};
}

MAudioPlugin* CreateVST3HostedPlugin()
{
  MModuleLibrary::Initialize();
  auto* plugin = new FakePlugin();
  s_lastPlugin = plugin;
  return plugin;
}

// What the plug-in's editor does, for the tests (the last plug-in created; the test keeps it
// alive): action 0 sends `value` for `index`, 1 and 2 open and close a gesture on it, 3 sends a
// bypass change (value > 0.5: bypassed), 4 reports a change of the plug-in's own state (value >
// 0.5: from another thread).
TONVERA_VST3_EXPORT void TonveraFakeVst3Edit(std::int32_t index, std::int32_t action, double value)
{
  FakePlugin* plugin = s_lastPlugin;
  if (plugin == nullptr)
    return;
  if (action == 0)
    plugin->SendAutomationToHost(index, value);
  else if (action == 1)
    plugin->BeginAutomationGesture(index);
  else if (action == 2)
    plugin->EndAutomationGesture(index);
  else if (action == 4 && value > 0.5)
    std::thread([plugin] { plugin->ReportStateChangedToHost(); }).join();
  else if (action == 4)
    plugin->ReportStateChangedToHost();
  else if (action == 5)
    std::thread([plugin, index, value] { plugin->SetParameter(index, value, false); }).join();
  else if (MAudioPluginAdapter* adapter = plugin->GetHostAdapter())
    adapter->SendBypassAutomation(value > 0.5);
}
