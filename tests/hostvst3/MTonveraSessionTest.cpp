// A DAW session with three Tonvera instances, each with its editor open in a window of its own on a
// private Xvfb: the host plays automation of one scale note per instance on its audio thread,
// while the user drags the Depth knob and clicks piano keys in every editor (XTest, at controls
// found in-process through the probe copy of the module). The host's edit log must hold only the
// user's edits, inside their gestures; the automated lanes end where the host put them; and the
// plug-ins' process calls allocate nothing and wait on no lock.

#include "tests/core/MLockWaitCounter.h"
#include "tests/hosteditor/MEditorProbe.h"
#include "tests/hosteditor/MHostEditorDisplay.h"
#include "tests/support/MAllocationCounter.h"
#include "tests/support/MPrivateSettingsFolder.h"
#include "tools/host/MSharedLibrary.h"
#include "tools/host/MTestHostPlugFrame.h"
#include "tools/host/MTestHostVst3.h"
#include "tools/host/MTestHostWindow.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace Steinberg;
using namespace Steinberg::Vst;

namespace
{
constexpr int kInstances = 3;
constexpr int kBlockSamples = 256;
constexpr int kWarmUpBlocks = 8; // per instance, before anything is measured

using MHostEditorTest::Display;

// The probe copy of the module stays loaded for the whole process, as hosts keep their modules.
MEditorProbeFind ProbeFind()
{
  return MHostEditorTest::ProbeSymbol<MEditorProbeFind>(TONVERA_PROBE_MODULE, "TonveraEditorProbeFind");
}

struct Instance
{
  MTestHostVst3 host;
  MTestHostWindow window;
  MTestHostPlugFrame* frame = nullptr;
  IPlugView* view = nullptr;
  int depth = -1;
  int scale = -1; // the lane of pitch class C; the twelve notes follow
  // Audio thread only, then read after it stopped.
  std::vector<float> hostWrites; // the automated lane's values, in order
  long blocks = 0;
  std::size_t allocations = 0;
  std::size_t lockWaits = 0;
  std::size_t allocationMark = 0;
  std::size_t lockMark = 0;
};

} // namespace

TEST(TonveraSession, ThreeInstancesKeepEveryLaneToWhatTheHostWroteOrTheUserChanged)
{
  if (Display().empty())
    GTEST_SKIP() << "Xvfb is not available";
  MTestSupport::UsePrivateSettingsFolder("tonvera-session-settings");
  const MEditorProbeFind find = ProbeFind();
  ASSERT_NE(find, nullptr);

  std::array<std::unique_ptr<Instance>, kInstances> instances;
  for (int k = 0; k < kInstances; ++k)
  {
    instances[k] = std::make_unique<Instance>();
    Instance& in = *instances[k];
    ASSERT_EQ(in.host.LoadModule(TONVERA_PROBE_MODULE), MTestHostStatus::Ok) << in.host.LastError();
    std::string error;
    ASSERT_TRUE(in.window.Open(Display(), 760, 560, error)) << error;
    in.depth = in.host.FindParameter("Depth");
    in.scale = in.host.FindParameter("- C"); // "Scale - C", before "Scale - C#"
    ASSERT_GE(in.depth, 0);
    ASSERT_GE(in.scale, 0);
    ASSERT_EQ(in.host.ParameterName(in.scale + 2).substr(in.host.ParameterName(in.scale + 2).size() - 3),
              "- D");
    ASSERT_TRUE(in.host.Activate(44100.0, kBlockSamples));
    in.view = in.host.Controller()->createView(ViewType::kEditor);
    ASSERT_NE(in.view, nullptr);
    in.frame = new MTestHostPlugFrame(true, &in.window);
    ASSERT_EQ(in.view->setFrame(in.frame), kResultOk);
    ASSERT_EQ(in.view->attached(reinterpret_cast<void*>(in.window.Handle()), kPlatformTypeX11EmbedWindowID),
              kResultOk);
    in.frame->RunFor(100);
    in.hostWrites.reserve(1 << 16);
    in.host.TakeEdits();
    in.host.SetProcessCallHandler([&in](bool entering) {
      if (entering)
      {
        in.allocationMark = MAllocationCounter::ThreadCount();
        in.lockMark = MLockWaitCounter::ThreadCount();
      }
      else if (++in.blocks > kWarmUpBlocks)
      {
        in.allocations += MAllocationCounter::ThreadCount() - in.allocationMark;
        in.lockWaits += MLockWaitCounter::ThreadCount() - in.lockMark;
      }
    });
  }

  // The host's audio thread: every instance in turn; every fourth block the automation of note D
  // flips (the point reaches the processor only, as automation playback does).
  std::atomic<bool> stop{false};
  std::thread audio([&] {
    MAllocationCounter::Scope allocationScope;
    MLockWaitCounter::Scope lockScope;
    std::vector<float> left(kBlockSamples, 0.1f), right(kBlockSamples, 0.1f), outLeft(kBlockSamples),
        outRight(kBlockSamples);
    float* inputs[2] = {left.data(), right.data()};
    float* outputs[2] = {outLeft.data(), outRight.data()};
    for (long round = 0; !stop.load(); ++round)
    {
      for (auto& instance : instances)
      {
        if (round % 4 == 0 && instance->hostWrites.size() < instance->hostWrites.capacity())
        {
          const float value = (round / 4) % 2 == 0 ? 0.0f : 1.0f;
          instance->host.QueueProcessorChange(static_cast<ParamID>(instance->scale + 2), value);
          instance->hostWrites.push_back(value);
        }
        instance->host.Process(inputs, outputs, kBlockSamples);
      }
      std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
  });

  // The user, editor after editor: a drag on Depth, then the keys E and G.
  const auto runAll = [&](int milliseconds) {
    for (auto& instance : instances)
      instance->frame->RunFor(milliseconds);
  };
  for (int k = 0; k < kInstances; ++k)
  {
    Instance& in = *instances[k];
    in.window.Raise();
    MEditorProbeControl control;
    const std::string knob = "Parameter" + std::to_string(in.depth);
    ASSERT_EQ(find(3, in.host.Controller(), knob.c_str(), -1, &control), 1) << knob;
    const int x = control.x + control.width / 2;
    const int y = control.y + control.height / 2;
    ASSERT_TRUE(in.window.Drag(x, y, x, y - 40, 8, [&] { runAll(10); }));
    runAll(30);
    ASSERT_EQ(find(3, in.host.Controller(), "piano", -1, &control), 1);
    const int first = control.first;
    for (int note : {4, 7})
    {
      ASSERT_EQ(find(3, in.host.Controller(), "piano", first + note, &control), 1);
      ASSERT_TRUE(in.window.Click(control.x + control.width / 2, control.y + control.height * 9 / 10));
      runAll(40);
    }
  }
  runAll(100);
  stop = true;
  audio.join();

  for (int k = 0; k < kInstances; ++k)
  {
    Instance& in = *instances[k];
    in.host.SetProcessCallHandler(nullptr);
    const std::vector<MTestHostEdit> edits = in.host.TakeEdits();
    const std::string log = MTestHostEditText(edits);
    SCOPED_TRACE("instance " + std::to_string(k) + ": " + log);
    const int e = in.scale + 4, g = in.scale + 7;
    // Every value sent belongs to a lane the user changed, inside an open gesture of its own.
    std::map<int, int> open;
    std::map<int, float> last;
    for (const MTestHostEdit& edit : edits)
    {
      if (edit.kind == MTestHostEdit::Kind::Begin)
        ++open[edit.index];
      else if (edit.kind == MTestHostEdit::Kind::End)
        --open[edit.index];
      else
      {
        EXPECT_TRUE(edit.index == in.depth || edit.index == e || edit.index == g)
            << "an edit on lane " << edit.index << ", which only the host changed or nobody";
        EXPECT_GT(open[edit.index], 0) << "a value outside a gesture on lane " << edit.index;
        last[edit.index] = edit.value;
      }
    }
    for (const auto& [index, depth] : open)
      EXPECT_EQ(depth, 0) << "gesture left open on lane " << index;
    EXPECT_EQ(last.count(in.depth), 1u) << "the drag reached the host";
    EXPECT_EQ(last[e], 0.0f);
    EXPECT_EQ(last[g], 0.0f);
    // The host's automation stands: the plug-in ends on its last value.
    ASSERT_FALSE(in.hostWrites.empty());
    EXPECT_DOUBLE_EQ(in.host.Controller()->getParamNormalized(static_cast<ParamID>(in.scale + 2)),
                     in.hostWrites.back());
    EXPECT_GT(in.blocks, kWarmUpBlocks);
    EXPECT_EQ(in.allocations, 0u) << "allocations in the plug-in's process calls";
    if (MLockWaitCounter::IsCounting())
    {
      EXPECT_EQ(in.lockWaits, 0u) << "lock waits in the plug-in's process calls";
    }
  }

  for (auto& instance : instances)
  {
    instance->view->removed();
    instance->view->setFrame(nullptr);
    instance->view->release();
    instance->frame->release();
    instance->host.Close();
  }
}
