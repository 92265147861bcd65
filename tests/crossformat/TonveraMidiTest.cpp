// MIDI into the built Tonvera module through VST 2.4 and VST 3, as a DAW sends it: the module
// asks for MIDI and stays an effect, and a controller, a note and a program change reach the
// controller assignments, the note controllers and the preset tree.

#include "base/MMemoryStream.h"
#include "base/MStdFileStream.h"
#include "base/MXmlItem.h"
#include "base/MXmlReader.h"
#include "base/MXmlWriter.h"
#include "tests/dsp/MCorrectorTestSupport.h"
#include "tests/support/MPrivateSettingsFolder.h"
#include "tools/host/MTestHostVst2.h"
#include "tools/host/MTestHostVst3.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <numbers>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace
{
constexpr double kRate = 44100.0;
constexpr int kBlock = 256;

/// Presets and settings of this process only: the program change walks the factory tree.
class PrivateSettings : public ::testing::Environment
{
public:
  void SetUp() override { MTestSupport::UsePrivateSettingsFolder("tonvera-midi-settings"); }
};
[[maybe_unused]] ::testing::Environment* const kSettings =
    ::testing::AddGlobalTestEnvironment(new PrivateSettings);

enum class Interface
{
  Vst2,
  Vst3,
};

std::string InterfaceName(const ::testing::TestParamInfo<Interface>& info)
{
  return info.param == Interface::Vst2 ? "Vst2" : "Vst3";
}

MXmlItem Decode(const std::vector<std::uint8_t>& bytes)
{
  MXmlItem item;
  MMemoryStream stream(bytes.data(), bytes.size());
  MXmlReader::ReadCompressed(stream, item);
  return item;
}

std::vector<std::uint8_t> Encode(const MXmlItem& item)
{
  MMemoryStream encoded;
  MXmlWriter::WriteCompressed(item, encoded);
  const auto& buffer = *encoded.GetBuffer();
  return {buffer.GetData(), buffer.GetData() + buffer.GetSize()};
}

std::unique_ptr<MTestHost> LoadActivated(Interface format)
{
  std::unique_ptr<MTestHost> host;
  if (format == Interface::Vst2)
    host = std::make_unique<MTestHostVst2>();
  else
    host = std::make_unique<MTestHostVst3>();
  const char* path = format == Interface::Vst2 ? TONVERA_MODULE : TONVERA_VST3_BUNDLE;
  EXPECT_EQ(host->LoadModule(path), MTestHostStatus::Ok) << host->LastError();
  EXPECT_TRUE(host->Activate(kRate, kBlock));
  return host;
}

class TonveraMidi : public ::testing::TestWithParam<Interface>
{
protected:
  void SetUp() override
  {
    m_host = LoadActivated(GetParam());
    ASSERT_TRUE(m_host->IsLoaded());
  }

  /// The name an assignment stores: the host's name without its group ("Scale - E" -> "E").
  MString StoredName(int index) const
  {
    const std::string name = m_host->ParameterName(index);
    const std::size_t dash = name.rfind(" - ");
    return MString::FromUTF8(dash == std::string::npos ? name : name.substr(dash + 3));
  }

  /// MIDI with the next block, as hosts hand it over.
  void Send(std::uint8_t status, std::uint8_t data1, std::uint8_t data2)
  {
    ASSERT_TRUE(m_host->SendMidi({MTestHostMidiEvent{0, {status, data1, data2}}}));
    Block();
  }

  /// One block of silence (VST 3 parameter changes and MIDI travel with it).
  void Block()
  {
    std::vector<float> in(kBlock), out(2 * kBlock);
    float* inputs[2] = {in.data(), in.data()};
    float* outputs[2] = {out.data(), out.data() + kBlock};
    ASSERT_TRUE(m_host->Process(inputs, outputs, kBlock));
  }

  /// The module's state with `controllers` and `noteControllers` as its lists, switched on, and
  /// the scale's twelve notes ("1" on, from C).
  void LoadControllers(const MXmlItem& controllers, const MXmlItem& noteControllers, const char* scale)
  {
    MXmlItem state = Decode(m_host->GetState());
    for (int i = state.GetSubItemCount() - 1; i >= 0; --i)
    {
      const MString name = state.GetSubItemAt(i).GetName();
      if (name.EqualsName(MString("Controllers")) || name.EqualsName(MString("NoteControllers")))
        state.RemoveSubItemAt(i);
    }
    state.SetAttribute("ControllersEnabled", "1");
    state.SetAttribute("NoteControllersEnabled", "1");
    state.SetAttribute("Scale", MString::FromUTF8(scale));
    state.AddSubItem(controllers);
    state.AddSubItem(noteControllers);
    ASSERT_TRUE(m_host->SetState(Encode(state)));
  }

  /// A controller assignment of CC 74 on `parameter` with the given attributes.
  MXmlItem Cc74(int parameter, std::vector<std::pair<const char*, const char*>> attributes) const
  {
    MXmlItem controllers(MString("Controllers"));
    MXmlItem& controller = controllers.AddSubItem(MString("Controller"));
    controller.SetAttribute("Enabled", "1");
    controller.SetAttribute("ParameterName", StoredName(parameter));
    controller.SetAttribute("Controller", "74");
    for (const auto& [name, value] : attributes)
      controller.SetAttribute(MString::FromUTF8(name), MString::FromUTF8(value));
    return controllers;
  }

  /// One note controller on `parameter` in `mode` for `note`.
  MXmlItem NoteController(int parameter, const char* mode, const char* note) const
  {
    MXmlItem notes(MString("NoteControllers"));
    MXmlItem& entry = notes.AddSubItem(MString("NoteController"));
    entry.SetAttribute("Enabled", "1");
    entry.SetAttribute("ParameterName", StoredName(parameter));
    entry.SetAttribute("Mode", MString::FromUTF8(mode));
    entry.SetAttribute("Note", MString::FromUTF8(note));
    return notes;
  }

  std::unique_ptr<MTestHost> m_host;
};

TEST(TonveraMidiTest, BothInterfacesAskForMidiAndTheModuleStaysAnEffect)
{
  MTestHostVst2 vst2;
  ASSERT_EQ(vst2.LoadModule(TONVERA_MODULE), MTestHostStatus::Ok) << vst2.LastError();
  ASSERT_TRUE(vst2.Activate(kRate, kBlock));
  EXPECT_EQ(vst2.CanDo("receiveVstMidiEvent"), 1);
  EXPECT_EQ(vst2.CanDo("receiveVstEvents"), 1);
  EXPECT_TRUE(vst2.WantsMidi()) << "no wantEvents after resume";
  EXPECT_EQ(vst2.Effect()->flags & Vst2::effFlagsIsSynth, 0);
  EXPECT_EQ(vst2.NumInputs(), 2);

  using namespace Steinberg::Vst;
  MTestHostVst3 vst3;
  ASSERT_EQ(vst3.LoadModule(TONVERA_VST3_BUNDLE), MTestHostStatus::Ok) << vst3.LastError();
  IComponent* component = vst3.Component();
  ASSERT_EQ(component->getBusCount(kEvent, kInput), 1);
  BusInfo info = {};
  ASSERT_EQ(component->getBusInfo(kEvent, kInput, 0, info), Steinberg::kResultOk);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(info.name)), u"Midi In");
  EXPECT_EQ(info.busType, kMain);
  EXPECT_EQ(info.channelCount, 16);
  EXPECT_EQ(component->getBusCount(kAudio, kInput), 1) << "an effect keeps its audio input";
  EXPECT_EQ(std::string(vst3.ClassInfo().subCategories).rfind("Fx", 0), 0u) << vst3.ClassInfo().subCategories;
}

// CC 74 drives Depth through an assignment, a note switches a scale note through a note
// controller, and program change 2 selects the third preset of the tree.
TEST_P(TonveraMidi, ControllerNoteAndProgramChangeReachTheirHandlers)
{
  const int depth = m_host->FindParameter("Depth");
  const int scaleE = m_host->FindParameter("- E");
  ASSERT_GE(depth, 0);
  ASSERT_GE(scaleE, 0);
  LoadControllers(Cc74(depth, {{"FullRange", "4"}, {"MaxValue", "1"}}), NoteController(scaleE, "2", "64"),
                  "111101111111"); // E off

  Send(0xB0, 74, 127);
  EXPECT_NEAR(m_host->GetParameter(depth), 1.0f, 1e-6f);
  Send(0xB3, 74, 0);
  EXPECT_NEAR(m_host->GetParameter(depth), 0.0f, 1e-6f);
  Send(0x90, 64, 100);
  EXPECT_EQ(m_host->GetParameter(scaleE), 1.0f);
  Send(0x80, 64, 0);
  EXPECT_EQ(m_host->GetParameter(scaleE), 0.0f);

  Send(0xC0, 2, 0);
  // The preset is applied off the audio thread (no editor is open: the update thread's tick).
  std::string index;
  for (int tries = 0; tries < 500 && index != "2"; ++tries)
  {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    index = Decode(m_host->GetState()).GetAttribute("CurrentPresetIndex", "").ToUTF8();
  }
  EXPECT_EQ(index, "2");
}

// The factory set "Scale from held MIDI notes" on a tone at A3 + 40 cents, fully corrected: the
// user's chromatic scale corrects to A3 until the first note; then the held pitch classes from any
// octave are the scale (A#2 with G4 gives A#3, G4 alone G3), and with no key down the tone
// passes as it came in.
TEST_P(TonveraMidi, HeldNotesOfTheFactorySetAreTheScaleAndNoneHeldLeavesTheToneAlone)
{
  MXmlItem sets;
  MStdFileStream file(MString::FromUTF8(TONVERA_CONTROLLER_SETS), MStdFileStream::Mode::Read);
  MXmlReader::Read(file, sets);
  ASSERT_TRUE(sets.HasSubItem("preset"));
  MXmlItem& set = sets.GetSubItem();
  EXPECT_EQ(set.GetAttribute("name", "").ToUTF8(), "Scale from held MIDI notes");
  ASSERT_TRUE(set.HasSubItem("NoteControllers"));
  LoadControllers(MXmlItem(MString("Controllers")), set.GetSubItem(), "111111111111");
  m_host->SetParameter(m_host->FindParameter("Depth"), 1.0f);
  m_host->SetParameter(m_host->FindParameter("Speed"), 1.0f);

  const double input = 220.0 * std::exp2(40.0 / 1200.0);
  std::int64_t sample = 0;
  // Cents of the output from `expected` over the second half of a second of the tone.
  const auto centsAfterASecond = [&](double expected) {
    const int blocks = static_cast<int>(kRate) / kBlock;
    std::vector<float> out(static_cast<std::size_t>(blocks * kBlock)), in(kBlock), right(kBlock);
    for (int block = 0; block < blocks; ++block)
    {
      for (int i = 0; i < kBlock; ++i, ++sample)
        in[static_cast<std::size_t>(i)] = static_cast<float>(
            0.5 * std::sin(2.0 * std::numbers::pi * input * static_cast<double>(sample) / kRate));
      float* inputs[2] = {in.data(), in.data()};
      float* outputs[2] = {out.data() + block * kBlock, right.data()};
      EXPECT_TRUE(m_host->Process(inputs, outputs, kBlock));
    }
    const double measured =
        MCorrectorTest::MeasureFrequency(out, out.size() / 2, out.size() / 3, expected, kRate, 8);
    return MCorrectorTest::Cents(measured, expected);
  };
  const auto midi = [&](std::vector<MTestHostMidiEvent> events) { EXPECT_TRUE(m_host->SendMidi(events)); };

  EXPECT_NEAR(centsAfterASecond(220.0), 0.0, 5.0) << "the user's scale before any note";
  midi({{0, {0x90, 46, 100}}, {0, {0x90, 67, 100}}}); // A#2 and G4
  EXPECT_NEAR(centsAfterASecond(220.0 * std::exp2(1.0 / 12.0)), 0.0, 5.0) << "G and A# held";
  midi({{0, {0x80, 46, 0}}});
  EXPECT_NEAR(centsAfterASecond(220.0 * std::exp2(-2.0 / 12.0)), 0.0, 5.0) << "G held";
  midi({{0, {0x80, 67, 0}}});
  EXPECT_NEAR(centsAfterASecond(input), 0.0, 5.0) << "no note held";
}

INSTANTIATE_TEST_SUITE_P(BothInterfaces, TonveraMidi, ::testing::Values(Interface::Vst2, Interface::Vst3),
                         InterfaceName);
} // namespace
