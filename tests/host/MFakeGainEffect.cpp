// A small stereo gain plug-in written directly on the VST 2.4 wrapper classes, built as a module
// and loaded by the host tests through the test host.
//
// Parameters: 0 gain (value v scales both channels by 2v), 1 and 2 only hold their values.
// State chunk: the tag "FGn1" and the three values as floats (16 bytes); other sizes or tags are
// refused. MIDI: every well-formed MIDI event is echoed to the host after the next block. Some
// texts are deliberately longer than the interface allows, so the tests can see the wrapper cut
// them.
// Probes for the tests go through effVendorSpecific (index: four-character code, see Probe).

#include "sdk/vst2/AudioEffectX.h"
#include "sdk/vst2/VstEntry.h"

#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>

using namespace Vst2;

namespace
{
constexpr VstInt32 kNumParams = 3;
constexpr char kChunkTag[4] = {'F', 'G', 'n', '1'};
constexpr std::size_t kChunkBytes = sizeof kChunkTag + kNumParams * sizeof(float);
constexpr int kEchoCapacity = 64;

const char* const kParamNames[kNumParams] = {"Gain", "Balance", "PolarityInversionOfAllChannels"};
const char* const kParamLabels[kNumParams] = {"x", "percent left of centre, then some more", ""};

class MFakeGainEffect;

class MFakeGainEditor : public AEffEditor
{
public:
  explicit MFakeGainEditor(AudioEffectX* effect) : AEffEditor(effect), m_effectX(effect) {}

  bool getRect(ERect** rect) override
  {
    m_rect = ERect{0, 0, 200, 300};
    *rect = &m_rect;
    return true;
  }
  bool open(void* parent) override
  {
    AEffEditor::open(parent);
    // Ask for a larger window straight away, as editors with a remembered size do.
    m_effectX->sizeWindow(320, 240);
    return true;
  }
  bool onKeyDown(VstKeyCode& key) override
  {
    m_lastModifier.store(key.modifier);
    return key.character == 'a';
  }

  std::atomic<int> m_lastModifier{-1};

private:
  AudioEffectX* m_effectX;
  ERect m_rect{};
};

class MFakeGainEffect : public AudioEffectX
{
public:
  explicit MFakeGainEffect(audioMasterCallback host) : AudioEffectX(host, 0, kNumParams)
  {
    setNumInputs(2);
    setNumOutputs(2);
    setUniqueID(FourCharCode('F', 'k', 'G', 'n'));
    setVersion(3);
    canProcessReplacing();
    programsAreChunks();
    setEditor(m_fakeEditor = new MFakeGainEditor(this));
    m_values[0].store(0.5f);
    m_values[1].store(0.5f);
    m_values[2].store(0.0f);
    m_stereo.type = kSpeakerArrStereo;
    m_stereo.numChannels = 2;
  }

  void resume() override
  {
    wantEvents(1);
    m_hostRate.store(updateSampleRate());
    m_hostBlock.store(updateBlockSize());
  }
  void setSampleRate(float rate) override
  {
    setInitialDelay(static_cast<VstInt32>(std::lround(rate / 1000.0f)));
    ioChanged();
  }

  void setParameter(VstInt32 index, float value) override { m_values[index].store(value); }
  float getParameter(VstInt32 index) override { return m_values[index].load(); }
  void getParameterName(VstInt32 index, char* text) override
  {
    CopyText(text, kParamNames[index], kTextCapacity - 1);
  }
  void getParameterLabel(VstInt32 index, char* text) override
  {
    CopyText(text, kParamLabels[index], kTextCapacity - 1);
  }
  void getParameterDisplay(VstInt32 index, char* text) override
  {
    std::snprintf(text, kTextCapacity, "%.3f", static_cast<double>(m_values[index].load()));
  }
  bool canParameterBeAutomated(VstInt32) override { return true; }

  VstInt32 getChunk(void** data, bool) override
  {
    std::memcpy(m_chunk, kChunkTag, sizeof kChunkTag);
    for (int i = 0; i < kNumParams; ++i)
    {
      float value = m_values[i].load();
      std::memcpy(m_chunk + sizeof kChunkTag + i * sizeof(float), &value, sizeof value);
    }
    *data = m_chunk;
    return static_cast<VstInt32>(kChunkBytes);
  }
  VstInt32 setChunk(void* data, VstInt32 byteSize, bool) override
  {
    const auto* bytes = static_cast<const unsigned char*>(data);
    if (byteSize != static_cast<VstInt32>(kChunkBytes) ||
        std::memcmp(bytes, kChunkTag, sizeof kChunkTag) != 0)
      return 0;
    float values[kNumParams];
    std::memcpy(values, bytes + sizeof kChunkTag, sizeof values);
    for (int i = 0; i < kNumParams; ++i)
      m_values[i].store(values[i]);
    return 1;
  }

  void processReplacing(float** inputs, float** outputs, VstInt32 sampleFrames) override
  {
    m_processCalls.fetch_add(1);
    m_processLevel.store(getCurrentProcessLevel());
    if (VstTimeInfo* time = getTimeInfo(kVstTempoValid | kVstPpqPosValid))
    {
      m_tempo.store(time->tempo);
      m_ppq.store(time->ppqPos);
    }
    const float gain = 2.0f * m_values[0].load();
    for (int c = 0; c < 2; ++c)
    {
      if (outputs[c] == nullptr)
        continue;
      for (VstInt32 i = 0; i < sampleFrames; ++i)
        outputs[c][i] = (inputs[c] != nullptr ? inputs[c][i] : 0.0f) * gain;
    }
    SendEchoes();
  }

  VstInt32 processEvents(VstEvents* events) override
  {
    for (VstInt32 i = 0; i < events->numEvents; ++i)
    {
      const VstMidiEvent* midi = MidiEventAt(events, i);
      if (midi == nullptr)
        continue;
      m_eventsSeen.fetch_add(1);
      if (m_echoCount < kEchoCapacity)
        m_echo[m_echoCount++] = *midi;
    }
    return 1;
  }

  bool getInputProperties(VstInt32 index, VstPinProperties* pin) override
  {
    CopyText(pin->label, index == 0 ? "Left In" : "Right In", kVstMaxLabelLen - 1);
    pin->flags = kVstPinIsActive | (index == 0 ? kVstPinIsStereo : 0);
    pin->arrangementType = kSpeakerArrStereo;
    return true;
  }
  bool getOutputProperties(VstInt32 index, VstPinProperties* pin) override
  {
    // Deliberately unterminated: the wrapper must close the texts inside their arrays.
    std::memset(pin->label, index == 0 ? 'L' : 'R', sizeof pin->label);
    std::memset(pin->shortLabel, 'S', sizeof pin->shortLabel);
    pin->flags = kVstPinIsActive;
    return true;
  }
  bool setSpeakerArrangement(VstSpeakerArrangement* input, VstSpeakerArrangement* output) override
  {
    return (input == nullptr || input->numChannels <= 2) && (output == nullptr || output->numChannels <= 2);
  }
  bool getSpeakerArrangement(VstSpeakerArrangement** input, VstSpeakerArrangement** output) override
  {
    *input = &m_stereo;
    *output = &m_stereo;
    return true;
  }

  bool getEffectName(char* name) override
  {
    CopyText(name, "Fake Gain, a name much longer than thirty-two characters", kTextCapacity - 1);
    return true;
  }
  bool getVendorString(char* text) override
  {
    CopyText(text, "Tonvera Tests", kTextCapacity - 1);
    return true;
  }
  bool getProductString(char* text) override
  {
    std::memset(text, 'P', 100); // longer than any product name may be
    return true;
  }
  VstInt32 getVendorVersion() override { return 3; }
  VstPlugCategory getPlugCategory() override { return kPlugCategEffect; }
  VstInt32 canDo(const char* text) override
  {
    static const char* const kYes[] = {"receiveVstEvents", "receiveVstMidiEvent", "sendVstEvents",
                                       "sendVstMidiEvent", "receiveVstTimeInfo"};
    for (const char* yes : kYes)
      if (std::strcmp(text, yes) == 0)
        return 1;
    return std::strcmp(text, "bypass") == 0 ? -1 : 0;
  }
  VstIntPtr vendorSpecific(VstInt32 index, VstIntPtr, void* ptr, float) override
  {
    if (index == FourCharCode('t', 'm', 'p', 'o'))
      return static_cast<VstIntPtr>(std::lround(m_tempo.load() * 1000.0));
    if (index == FourCharCode('p', 'p', 'q', ' '))
      return static_cast<VstIntPtr>(std::lround(m_ppq.load() * 1000.0));
    if (index == FourCharCode('p', 'c', 'n', 't'))
      return m_processCalls.load();
    if (index == FourCharCode('e', 'v', 't', 's'))
      return m_eventsSeen.load();
    if (index == FourCharCode('m', 'o', 'd', 's'))
      return m_fakeEditor->m_lastModifier.load();
    if (index == FourCharCode('h', 's', 'r', ' '))
      return static_cast<VstIntPtr>(std::lround(m_hostRate.load()));
    if (index == FourCharCode('h', 'b', 's', ' '))
      return m_hostBlock.load();
    if (index == FourCharCode('p', 'l', 'v', 'l'))
      return m_processLevel.load();
    if (index == FourCharCode('h', 'v', 'e', 'r'))
      return getMasterVersion();
    if (index == FourCharCode('h', 'c', 'a', 'n'))
      return ptr != nullptr ? canHostDo(static_cast<const char*>(ptr)) : 0;
    if (index == FourCharCode('h', 'v', 'n', 'd') || index == FourCharCode('h', 'p', 'r', 'd'))
    {
      // ptr: the test's buffer of kVstMaxProductStrLen + 1 bytes.
      bool known = index == FourCharCode('h', 'v', 'n', 'd') ? getHostVendorString(static_cast<char*>(ptr))
                                                             : getHostProductString(static_cast<char*>(ptr));
      return known ? 1 : 0;
    }
    if (index == FourCharCode('e', 'd', 'i', 't'))
    {
      // A user gesture in the editor: begin, move, end.
      beginEdit(1);
      setParameterAutomated(1, 0.75f);
      endEdit(1);
      return 1;
    }
    if (index == FourCharCode('t', 'h', 'r', 'o'))
      throw 42; // an escaping exception must stop at the entry trampoline
    return 0;
  }

private:
  void SendEchoes()
  {
    if (m_echoCount == 0)
      return;
    alignas(VstEvents) unsigned char block[VstEventsBytes(kEchoCapacity)] = {};
    auto* list = reinterpret_cast<VstEvents*>(block);
    list->numEvents = m_echoCount;
    VstEvent** slots = EventPointers(list);
    for (int i = 0; i < m_echoCount; ++i)
      slots[i] = reinterpret_cast<VstEvent*>(&m_echo[i]);
    sendVstEventsToHost(list);
    m_echoCount = 0;
  }

  std::atomic<float> m_values[kNumParams];
  unsigned char m_chunk[kChunkBytes] = {};
  VstMidiEvent m_echo[kEchoCapacity] = {};
  int m_echoCount = 0;
  std::atomic<double> m_tempo{0.0};
  std::atomic<double> m_ppq{0.0};
  std::atomic<int> m_processCalls{0};
  std::atomic<int> m_eventsSeen{0};
  std::atomic<double> m_hostRate{0.0};
  std::atomic<VstInt32> m_hostBlock{0};
  std::atomic<VstInt32> m_processLevel{0};
  VstSpeakerArrangement m_stereo{};
  MFakeGainEditor* m_fakeEditor = nullptr;
};

AudioEffect* CreateFakeGain(audioMasterCallback host)
{
  // A caller that is not a host (version 0) gets nothing, as the real module does.
  if (!IsVstHost(host))
    return nullptr;
  return new MFakeGainEffect(host);
}
} // namespace

VST2_DEFINE_ENTRY(CreateFakeGain);

// Default visibility on purpose: only the module's version script keeps this symbol inside.
extern "C" __attribute__((visibility("default"))) int FakeGainInternalProbe()
{
  return 1;
}
