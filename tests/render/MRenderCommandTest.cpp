// tonvera-render end to end, driving the fake VST 2.4 gain module of the host tests. That module
// reports a latency of round(rate / 1000) samples but does not delay its audio, so a renderer
// that compensates the reported latency must hand back the input advanced by exactly that many
// frames, followed by as many frames of silence.

#include "tools/render/MRenderCommand.h"

#include "tests/render/MRenderTestSupport.h"
#include "tools/host/MTestHostVst2.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <cmath>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;
using namespace MRenderTest;

namespace
{
// Noise at about -6 dBFS, quantised by the file's own sample type.
void WriteNoise(const fs::path& path, int format, int channels, int rate, int frames)
{
  SF_INFO info{};
  info.format = format;
  info.channels = channels;
  info.samplerate = rate;
  SNDFILE* file = sf_open(path.string().c_str(), SFM_WRITE, &info);
  ASSERT_NE(file, nullptr) << sf_strerror(nullptr);
  std::vector<double> samples(static_cast<std::size_t>(frames) * channels);
  std::uint32_t state = 12345;
  for (double& sample : samples)
  {
    state = state * 1664525u + 1013904223u;
    sample = (static_cast<double>(state >> 8) / 16777216.0 - 0.5);
  }
  sf_writef_double(file, samples.data(), frames);
  sf_close(file);
}

int ReportedLatency(double rate)
{
  MTestHostVst2 host;
  if (host.LoadModule(TONVERA_FAKE_GAIN_MODULE) != MTestHostStatus::Ok || !host.Activate(rate, 512))
    return -1;
  return host.LatencySamples();
}

class MRenderCommandTest : public ScratchFolder
{
protected:
  static Outcome Run(std::vector<std::string> arguments, bool withModule = true,
                     MRenderCommand::Progress progress = MRenderCommand::Progress::Hidden)
  {
    if (withModule)
      arguments.insert(arguments.begin(), {"--format", "vst2", "--module", TONVERA_FAKE_GAIN_MODULE});
    return MRenderTest::Render(arguments, progress);
  }

  std::vector<std::string> FilesInFolder() const
  {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(m_folder))
      names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
};
} // namespace

TEST_F(MRenderCommandTest, EveryFormatRoundTripsAdvancedByTheReportedLatencyAndKeepsItsLength)
{
  const struct
  {
    const char* name;
    int format;
    int channels;
    int rate;
    int block;
    double tolerance; // of a sample at full scale 1
  } cases[] = {
      {"in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, 512, 0.0},
      {"in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_24, 2, 48000, 100, 0.0},
      // 32-bit integers pass through 32-bit floats: 24 significant bits.
      {"in.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_32, 3, 96000, 512, std::ldexp(1.0, -24)},
      {"in.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 8, 44100, 4096, 0.0},
      {"in.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_16, 2, 22050, 1, 0.0},
      {"in.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 5, 32000, 512, 0.0},
      {"in.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2, 44100, 512, 0.0},
      {"in.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_24, 1, 88200, 777, 0.0},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(testing::Message() << std::hex << c.format << std::dec << ", " << c.channels << " ch, "
                                    << c.rate << " Hz, block " << c.block);
    const std::string input = Path(c.name);
    const std::string output = Path("out" + fs::path(c.name).extension().string());
    constexpr int kFrames = 20000;
    WriteNoise(input, c.format, c.channels, c.rate, kFrames);
    const Outcome outcome = Run({input, output, "--block", std::to_string(c.block)});
    ASSERT_EQ(outcome.status, 0) << outcome.err;

    const Audio in = ReadAudio(input);
    const Audio out = ReadAudio(output);
    EXPECT_EQ(out.info.format, c.format);
    EXPECT_EQ(out.info.channels, c.channels);
    EXPECT_EQ(out.info.samplerate, c.rate);
    ASSERT_EQ(out.info.frames, kFrames);
    const int latency = ReportedLatency(c.rate);
    ASSERT_GT(latency, 0);
    EXPECT_NE(outcome.out.find("latency " + std::to_string(latency) + " samples"), std::string::npos)
        << outcome.out;
    int mismatches = 0;
    for (int k = 0; k < kFrames; ++k)
      for (int ch = 0; ch < c.channels; ++ch)
      {
        const double expected = k + latency < kFrames ? in.samples[(k + latency) * c.channels + ch] : 0.0;
        if (std::fabs(out.samples[k * c.channels + ch] - expected) > c.tolerance)
          ++mismatches;
      }
    EXPECT_EQ(mismatches, 0);
    fs::remove(input);
    fs::remove(output);
  }
}

TEST_F(MRenderCommandTest, ParametersSetByNameAndStateBytesReachThePlugin)
{
  const std::string input = Path("in.wav");
  WriteNoise(input, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, 44100, 5000);
  // Gain shows its normalised value v and scales by 2v: "0.25" halves the signal.
  Outcome set = Run({"--set", "gain=0.25", "--save-state", Path("half.state"), input, Path("set.wav")});
  ASSERT_EQ(set.status, 0) << set.err;
  Outcome restored = Run({"--state", Path("half.state"), input, Path("state.wav")});
  ASSERT_EQ(restored.status, 0) << restored.err;

  const Audio in = ReadAudio(input);
  const int latency = ReportedLatency(44100.0);
  for (const char* name : {"set.wav", "state.wav"})
  {
    SCOPED_TRACE(name);
    const Audio out = ReadAudio(Path(name));
    ASSERT_EQ(out.samples.size(), in.samples.size());
    for (std::size_t i = 0; i + latency * 2 < in.samples.size(); i += 97)
      ASSERT_EQ(out.samples[i], 0.5 * in.samples[i + latency * 2]) << "sample " << i;
  }
  const Outcome listed = Run({"--state", Path("half.state"), "--list-params"});
  EXPECT_EQ(listed.status, 0);
  EXPECT_NE(listed.out.find("\"Gain\"                     0.250"), std::string::npos) << listed.out;
}

TEST_F(MRenderCommandTest, EveryFailureExitsNonZeroNamesTheProblemAndLeavesNoOutput)
{
  const std::string input = Path("in.wav");
  WriteNoise(input, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 44100, 5000);
  {
    std::ofstream junk(Path("junk.wav"));
    junk << "not audio at all";
    std::ofstream state(Path("bad.state"), std::ios::binary);
    state << "XXXX";
  }
  const std::vector<std::string> before = FilesInFolder();
  const std::string out = Path("out.wav");
  const std::string csv = Path("out.csv");
  const struct
  {
    const char* what;
    std::vector<std::string> arguments;
    bool withModule;
    const char* named;
  } cases[] = {
      {"missing input", {Path("missing.wav"), out}, true, "missing.wav"},
      {"unreadable input", {Path("junk.wav"), out}, true, "junk.wav"},
      {"unknown parameter",
       {"--set", "Depht=100", input, out, "--pitch-csv", csv},
       true,
       "unknown parameter \"Depht\""},
      {"value no display shows", {"--set", "Gain=loud", input, out}, true, "\"loud\""},
      {"bad scale text", {"--scale", "H major", input, out}, true, "\"H\""},
      {"scale on a plug-in without notes", {"--scale", "D major", input, out}, true, "note parameter \"C\""},
      {"module that does not exist", {"--module", Path("none.so"), input, out}, false, "none.so"},
      {"module without an entry point",
       {"--format", "vst2", "--module", TONVERA_FAKE_NOENTRY_MODULE, input, out},
       false,
       "entry point"},
      {"module with a broken record",
       {"--format", "vst2", "--module", TONVERA_FAKE_BADMAGIC_MODULE, input, out},
       false,
       "magic"},
      {"missing state file", {"--state", Path("none.state"), input, out}, true, "none.state"},
      {"state the plug-in refuses", {"--state", Path("bad.state"), input, out}, true, "refused the state"},
      {"pitch file in a missing folder",
       {input, out, "--pitch-csv", Path("no/such/dir/p.csv")},
       true,
       "p.csv"},
      {"output in a missing folder", {input, Path("no/such/out.wav")}, true, "out.wav"},
      {"plot in a missing folder", {input, out, "--plot", Path("no/such/p.png")}, true, "p.png"},
      {"editor picture in a missing folder", {"--snapshot-editor", Path("no/e.png")}, true, "e.png"},
      {"unknown option", {"--speed", "3", input, out}, true, "--speed"},
      {"VST 2.4 module loaded as VST 3", {"--format", "vst3", input, out}, true, "does not load"},
      // Fails only after the render, with the audio and the CSV written to their temporary files.
      {"state from a plug-in that has none",
       {"--pass-through", "--save-state", Path("s.state"), "--pitch-csv", csv, input, out},
       false,
       "no state"},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.what);
    const Outcome outcome = Run(c.arguments, c.withModule);
    EXPECT_NE(outcome.status, 0);
    EXPECT_NE(outcome.err.find(c.named), std::string::npos) << outcome.err;
    EXPECT_EQ(FilesInFolder(), before) << "an output or temporary file was left behind";
  }
}

TEST_F(MRenderCommandTest, DemoWritesItsThreeFilesAndReportsPitchBeforeAndAfter)
{
  // The pass-through stands in for the plug-in: the demo's own part is the same with any.
  const Outcome outcome = Run({"--demo", "--pass-through", "--out-dir", m_folder.string()}, false);
  ASSERT_EQ(outcome.status, 0) << outcome.err;
  EXPECT_EQ(FilesInFolder(),
            std::vector<std::string>({"demo-corrected.wav", "demo-input.wav", "demo-pitch.csv"}));
  EXPECT_NE(outcome.out.find("before: mean"), std::string::npos) << outcome.out;
  EXPECT_NE(outcome.out.find("after:  mean"), std::string::npos) << outcome.out;
  const Audio voice = ReadAudio(m_folder / "demo-input.wav");
  EXPECT_EQ(voice.info.samplerate, 44100);
  EXPECT_GT(voice.info.frames, 6 * 44100);
  EXPECT_LT(voice.info.frames, 8 * 44100);
}

TEST_F(MRenderCommandTest, CommandLineMistakesAreUsageErrorsAndHelpAndVersionAnswer)
{
  const std::vector<std::vector<std::string>> cases = {
      {},
      {"in.wav"},
      {"in.wav", "out.wav", "extra.wav"},
      {"--block", "0", "in.wav", "out.wav"},
      {"--block", "many", "in.wav", "out.wav"},
      {"--set", "Depth", "in.wav", "out.wav"},
      {"--format", "au", "in.wav", "out.wav"},
      {"--subtype", "pcm8", "in.wav", "out.wav"},
      {"--demo", "--measure", "x.wav"},
      {"--demo", "in.wav"},
      {"--list-params=yes"},
      {"in.wav", "out.wav", "--plot"},
      {"--plot", "in.wav", "out.wav"},
      {"--plot", "p.png"},
      {"--measure", "x.wav", "--plot", "p.png"},
      {"--snapshot-editor", "e.png", "--pass-through"},
      {"--version=1"},
  };
  for (const auto& arguments : cases)
  {
    SCOPED_TRACE(testing::PrintToString(arguments));
    const Outcome outcome = Run(arguments, false);
    EXPECT_EQ(outcome.status, MRenderCommand::kExitUsage);
    EXPECT_FALSE(outcome.err.empty());
  }
  const Outcome help = Run({"--help"}, false);
  EXPECT_EQ(help.status, 0);
  for (const char* flag :
       {"--module", "--format", "--pass-through", "--state", "--save-state", "--set", "--scale",
        "--list-params", "--block", "--format-out", "--subtype", "--pitch-csv", "--demo", "--out-dir",
        "--measure", "--write-test-tone", "--seconds", "--plot", "--snapshot-editor"})
    EXPECT_NE(help.out.find(flag), std::string::npos) << flag << " is not documented";
  const Outcome version = Run({"--version"}, false);
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "tonvera-render " TONVERA_VERSION "\n") << "the version comes from the build";
}

TEST_F(MRenderCommandTest, ProgressGoesToStandardErrorOnlyWhenShown)
{
  const std::string input = Path("in.wav");
  WriteNoise(input, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1, 44100, 20000);
  const Outcome hidden = Run({input, Path("out.wav")});
  const Outcome shown = Run({input, Path("out.wav")}, true, MRenderCommand::Progress::Shown);
  ASSERT_EQ(hidden.status, 0) << hidden.err;
  ASSERT_EQ(shown.status, 0) << shown.err;
  EXPECT_EQ(hidden.err, "");
  // Redrawn in place up to 100%, then wiped before the summary is printed.
  EXPECT_NE(shown.err.find("] 100%"), std::string::npos) << shown.err;
  EXPECT_TRUE(shown.err.ends_with("\r" + std::string(50, ' ') + "\r")) << shown.err;
}
