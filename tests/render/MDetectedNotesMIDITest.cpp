// The built module sending the notes it detects as MIDI, through both plug-in interfaces (and the
// LV2 bundle's MIDI output, with the very events and offsets of VST 3): the demo phrase in D major
// comes out as the notes sung, each note-on ended by one note-off, and nothing is sent while the
// option is off.

#include "base/MMemoryStream.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"
#include "tools/host/MTestHostVst2.h"
#include "tools/host/MTestHostVst3.h"
#ifdef TONVERA_LV2_DIR
#include "tools/host/MTestHostLv2.h"
#endif
#include "tools/render/MDemoVoice.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr double kRate = 44100.0;
constexpr int kBlock = 512;

struct Note
{
  int pitch = 0;
  bool on = false;
  int time = 0; // samples from the start of the render
  bool operator==(const Note&) const = default;
};

std::unique_ptr<MTestHost> Load(const char* format)
{
  std::unique_ptr<MTestHost> host;
#ifdef TONVERA_LV2_DIR
  if (std::string(format) == "lv2")
  {
    setenv("LV2_PATH", TONVERA_LV2_DIR, 1);
    host = std::make_unique<MTestHostLv2>();
    return host->LoadModule("https://tonvera.example/lv2/tonvera") == MTestHostStatus::Ok ? std::move(host)
                                                                                          : nullptr;
  }
#endif
  if (std::string(format) == "vst3")
    host = std::make_unique<MTestHostVst3>();
  else
    host = std::make_unique<MTestHostVst2>();
  if (host->LoadModule(std::string(format) == "vst3" ? TONVERA_VST3_BUNDLE : TONVERA_MODULE) !=
      MTestHostStatus::Ok)
    return nullptr;
  return host;
}

// D major through the twelve note parameters, and the option as a saved project would hold it.
bool Configure(MTestHost& host, bool sendNotes)
{
  const char* names[] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};
  const bool dMajor[] = {false, true, true, false, true, false, true, true, false, true, false, true};
  for (int index = 0; index < host.NumParameters(); ++index)
    for (int note = 0; note < 12; ++note)
      if (host.ParameterName(index) == std::string("Scale - ") + names[note] ||
          host.ParameterName(index) == names[note])
        host.SetParameter(index, dMajor[note] ? 1.0f : 0.0f);
#ifdef TONVERA_LV2_DIR
  // LV2 ports reach the plug-in when it runs.
  if (auto* lv2 = dynamic_cast<MTestHostLv2*>(&host); lv2 != nullptr && !lv2->Process(nullptr, nullptr, 0))
    return false;
#endif
  const std::vector<std::uint8_t> state = host.GetState();
  MMemoryStream in(state.data(), state.size());
  MXmlItem settings;
  MXmlReader::ReadCompressed(in, settings);
  settings.SetAttribute(MString("SendDetectedNotes"), MString::FromInteger(sendNotes ? 1 : 0));
  MMemoryStream out;
  MXmlWriter::WriteCompressed(settings, out);
  const auto& buffer = out.GetBuffer();
  return host.SetState(std::vector<std::uint8_t>(buffer->GetData(), buffer->GetData() + buffer->GetSize()));
}

// The demo phrase, then half a second of silence, in host blocks; answers the notes sent.
std::vector<Note> SingDemo(const char* format, bool sendNotes)
{
  std::unique_ptr<MTestHost> host = Load(format);
  if (host == nullptr || !host->Activate(kRate, kBlock) || !Configure(*host, sendNotes))
    return {};
  std::vector<float> voice = MDemoVoice::Sing(MDemoVoice::DemoPhrase(), kRate);
  voice.resize(voice.size() + static_cast<std::size_t>(kRate / 2) / kBlock * kBlock + kBlock);
  std::vector<float> left(kBlock);
  std::vector<float> right(kBlock);
  std::vector<Note> notes;
  auto* vst2 = dynamic_cast<MTestHostVst2*>(host.get());
  auto* vst3 = dynamic_cast<MTestHostVst3*>(host.get());
  std::size_t seen = 0;
  for (std::size_t start = 0; start + kBlock <= voice.size(); start += kBlock)
  {
    float* inputs[2] = {voice.data() + start, voice.data() + start};
    float* outputs[2] = {left.data(), right.data()};
    if (!host->Process(inputs, outputs, kBlock))
      return {};
    const int at = static_cast<int>(start);
    const auto take = [&](const std::vector<MTestHostMidiEvent>& events) {
      for (const MTestHostMidiEvent& event : events)
        if ((event.bytes[0] & 0xE0) == 0x80)
          notes.push_back({event.bytes[1], (event.bytes[0] & 0xF0) == 0x90 && event.bytes[2] > 0,
                           at + event.sampleOffset});
    };
#ifdef TONVERA_LV2_DIR
    if (auto* lv2 = dynamic_cast<MTestHostLv2*>(host.get()))
      take(lv2->TakeMidiOutput());
#endif
    if (vst2 != nullptr)
    {
      take(vst2->MidiReceived());
      vst2->ClearRecords();
    }
    else if (vst3 != nullptr)
    {
      for (; seen < vst3->OutputEvents().size(); ++seen)
      {
        const Steinberg::Vst::Event& event = vst3->OutputEvents()[seen];
        if (event.type == Steinberg::Vst::Event::kNoteOnEvent)
          notes.push_back({event.noteOn.pitch, true, at + event.sampleOffset});
        else if (event.type == Steinberg::Vst::Event::kNoteOffEvent)
          notes.push_back({event.noteOff.pitch, false, at + event.sampleOffset});
      }
    }
  }
  return notes;
}

TEST(MDetectedNotesMIDITest, DemoPhraseComesOutAsTheNotesSungInBalancedPairsThroughBothInterfaces)
{
  const std::vector<int> sung = {62, 64, 66, 69, 67, 66, 64, 71, 69, 66, 62};
  for (const char* format : {"vst3", "vst2"})
  {
    SCOPED_TRACE(format);
    const std::vector<Note> notes = SingDemo(format, true);
    ASSERT_FALSE(notes.empty());
    std::vector<int> started;
    int sounding = -1;
    int previousTime = 0;
    for (const Note& note : notes)
    {
      EXPECT_GE(note.time, previousTime) << "events out of order";
      previousTime = note.time;
      if (note.on)
      {
        EXPECT_EQ(sounding, -1) << "note-on " << note.pitch << " while " << sounding << " sounds";
        sounding = note.pitch;
        started.push_back(note.pitch);
      }
      else
      {
        EXPECT_EQ(note.pitch, sounding) << "note-off of a note that does not sound";
        sounding = -1;
      }
    }
    EXPECT_EQ(sounding, -1) << "the last note did not end in the silence";
    EXPECT_EQ(started, sung);
  }
  EXPECT_TRUE(SingDemo("vst3", false).empty()) << "the option is off by default and sends nothing";
#ifdef TONVERA_LV2_DIR
  const std::vector<Note> lv2 = SingDemo("lv2", true);
  EXPECT_FALSE(lv2.empty());
  const std::vector<Note> vst3 = SingDemo("vst3", true);
  EXPECT_EQ(lv2.size(), vst3.size()) << "LV2's MIDI output holds other events than VST 3's";
  for (std::size_t i = 0; i < std::min(lv2.size(), vst3.size()); ++i)
    if (!(lv2[i] == vst3[i]))
    {
      ADD_FAILURE() << "event " << i << ": LV2 note " << lv2[i].pitch << " at " << lv2[i].time
                    << ", VST 3 note " << vst3[i].pitch << " at " << vst3[i].time;
      break;
    }
  EXPECT_TRUE(SingDemo("lv2", false).empty());
#endif
  // A VST 2.4 host asks before it listens to a plug-in's events.
  MTestHostVst2 host;
  ASSERT_EQ(host.LoadModule(TONVERA_MODULE), MTestHostStatus::Ok);
  EXPECT_EQ(host.CanDo("sendVstEvents"), 1);
  EXPECT_EQ(host.CanDo("sendVstMidiEvent"), 1);
}
} // namespace
