// A VST 2.4 module built from the real adapter around a small plug-in: three parameters (the
// first with a 30-character identifier), four inputs (main and side-chain bus) and two outputs,
// a latency of 64 samples, MIDI in and out. The plug-in copies the main input to the output.

#include "base/MException.h"
#include "base/MStorable.h"
#include "core/plugin/MAudioPlugin.h"
#include "host/module/MModule.h"
#include "host/vst2/MAudioPluginVSTAdapter.h"
#include "sdk/vst2/VstEntry.h"
#include "tests/hostvst2/MFakeAdapterProbe.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <thread>

namespace
{
constexpr std::int32_t kParams = 3;
const char* const kNames[kParams] = {"ABCDEFGHIJKLMNOPQRSTUVWXYZ1234", "Gain", "Mix"};

class FakeParameters : public MAudioPlugin::AutomationAdapter
{
public:
  FakeParameters() : AutomationAdapter(kParams) {}
  void SetValue(std::int32_t slot, double value, bool) override
  {
    m_values[slot] = value;
    ++m_setValueCalls;
  }
  double GetValue(std::int32_t slot) const override { return m_values[slot]; }
  MString GetName(std::int32_t slot) const override { return MString::FromLiteral(kNames[slot]); }
  MString GetValueName(std::int32_t slot) const override
  {
    // Longer than any host text field, so the cut is visible.
    MString text = MString::FromDouble(m_values[slot] * 100.0, 1);
    text += MString(" percent of the whole range, wet and dry");
    return text;
  }
  MString GetUnitsName(std::int32_t) const override { return MString("units of a very long label text"); }

  std::atomic<double> m_values[kParams] = {0.25, 0.5, 0.75};
  std::atomic<std::int32_t> m_setValueCalls{0};
};

// What the plug-in answers to OffersSurround (TonveraFakeOfferSurround sets it).
std::atomic<bool> s_offersSurround{true};

class FakePlugin : public MAudioPlugin
{
public:
  FakePlugin()
  {
    m_pluginName = MString("Fake adapter plug-in with a name beyond thirty-two characters");
    m_vendorName = MString("Quorvel");
    m_receivesMIDI = true;
    m_sendsMIDI = true;
    SetChannelNames({MString("L"), MString("R"), MString("Side L"), MString("Side R")},
                    {MString("L"), MString("R")});
    m_parameters = new FakeParameters;
    AddAutomationAdapter(m_parameters);
    AssignAutomationIndices();
  }

  void InitProcessing() override
  {
    ++m_initCalls;
    MAudioPlugin::InitProcessing();
  }
  std::int32_t GetEffectLatency() const override { return 64; }
  bool OffersSurround() const override { return s_offersSurround.load(); }
  void ProcessChunk(float** inputs, float** outputs, std::int32_t samples) override
  {
    for (int i = 0; i < 16; ++i)
      m_seenInputs[i] = inputs != nullptr ? inputs[i] : nullptr;
    std::copy(outputs, outputs + 8, m_seenOutputs);
    for (int channel = 0; channel < 2; ++channel)
      std::copy(inputs[channel], inputs[channel] + samples, outputs[channel]);
    // One note per chunk on the MIDI output, at its last sample.
    const std::uint8_t note[4] = {0x90, 69, 100, 0};
    if (MAudioPluginAdapter* host = GetHostAdapter())
      host->GenerateMIDIEvent(samples - 1, note);
  }
  void ProcessNote(const MMIDINote& note) override
  {
    if (note.noteOn)
      ++m_notesOn;
    MAudioPlugin::ProcessNote(note);
  }
  void Store(MStoreContext& context) override
  {
    MXmlItem& item = context.GetItem();
    if (!context.IsSaving() && !(item.GetName() == MString("settings")))
      throw MException(MString("Not a settings item."));
    for (std::int32_t i = 0; i < kParams; ++i)
    {
      double value = m_parameters->m_values[i];
      context.Store(MString("P") + MString::FromInteger(i), value);
      m_parameters->m_values[i] = value;
    }
  }

  FakeParameters* m_parameters;
  std::atomic<std::int32_t> m_initCalls{0};
  std::atomic<std::int32_t> m_notesOn{0};
  float* m_seenInputs[16] = {};
  float* m_seenOutputs[8] = {};
};

// The most recent instance (the tests drive one at a time through the probe).
std::atomic<FakePlugin*> s_plugin{nullptr};

MAudioPlugin* CreatePlugin()
{
  MModuleLibrary::Initialize();
  auto* plugin = new FakePlugin;
  s_plugin = plugin;
  return plugin;
}

Vst2::AudioEffect* CreateEffect(Vst2::audioMasterCallback hostCallback)
{
  return Vst2::MAudioPluginVSTAdapter::Create(hostCallback, &CreatePlugin);
}
} // namespace

VST2_DEFINE_ENTRY(CreateEffect);

extern "C" __attribute__((visibility("default"))) void TonveraFakeProbe(MFakeAdapterProbe* probe)
{
  *probe = MFakeAdapterProbe{};
  probe->libraryCreations = MModuleLibrary::GetCreationCount();
  probe->libraryShutdowns = MModuleLibrary::GetShutdownCount();
  probe->liveAdapters = MModuleLibrary::GetAdapterCount(MModuleLibrary::AdapterKind::kVst2);
  FakePlugin* plugin = s_plugin;
  if (plugin == nullptr || probe->liveAdapters == 0)
    return;
  probe->initProcessingCalls = plugin->m_initCalls;
  probe->setValueCalls = plugin->m_parameters->m_setValueCalls;
  probe->sampleRate = plugin->GetSampleRate();
  const MAudioPlugin::Transport& transport = plugin->GetTransport();
  probe->playing = transport.playing;
  probe->positionJumped = transport.positionJumped;
  probe->songPosition = transport.songPosition;
  probe->barPosition = transport.barPosition;
  probe->denominator = transport.denominator;
  std::copy(plugin->m_seenInputs, plugin->m_seenInputs + 16, probe->inputs);
  std::copy(plugin->m_seenOutputs, plugin->m_seenOutputs + 8, probe->outputs);
  probe->notesOn = plugin->m_notesOn;
}

extern "C" __attribute__((visibility("default"))) void TonveraFakeSendAutomation(std::int32_t index,
                                                                                 double value)
{
  if (FakePlugin* plugin = s_plugin)
    plugin->SendAutomationToHost(index, value);
}

extern "C" __attribute__((visibility("default"))) void TonveraFakeReportStateChanged(std::int32_t otherThread)
{
  FakePlugin* plugin = s_plugin;
  if (plugin == nullptr)
    return;
  if (otherThread != 0)
    std::thread([plugin] { plugin->ReportStateChangedToHost(); }).join();
  else
    plugin->ReportStateChangedToHost();
}

// The plug-in moves a value itself on another thread, as a learnt controller does on the audio
// thread.
extern "C" __attribute__((visibility("default"))) void TonveraFakeMoveParameter(std::int32_t index,
                                                                                double value)
{
  if (FakePlugin* plugin = s_plugin)
    std::thread([plugin, index, value] { plugin->SetParameter(index, value, false); }).join();
}

extern "C" __attribute__((visibility("default"))) void TonveraFakeGesture(std::int32_t index,
                                                                          std::int32_t action)
{
  FakePlugin* plugin = s_plugin;
  if (plugin == nullptr)
    return;
  if (action == kFakeGestureBegin)
    plugin->BeginAutomationGesture(index);
  else if (action == kFakeGestureEnd)
    plugin->EndAutomationGesture(index);
  else
    plugin->EndAllAutomationGestures();
}

extern "C" __attribute__((visibility("default"))) void TonveraFakeOfferSurround(std::int32_t offer)
{
  s_offersSurround = offer != 0;
}
