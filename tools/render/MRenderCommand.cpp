#include "tools/render/MRenderCommand.h"

#include "tools/render/MAudioFile.h"
#include "tools/render/MDemoVoice.h"
#include "tools/render/MEditorSnapshot.h"
#include "tools/render/MPitchMeter.h"
#include "tools/render/MPitchPlot.h"
#include "tools/render/MRenderPlatform.h"
#include "tools/render/MRenderer.h"
#include "tools/render/MScaleText.h"

#include <sndfile.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

namespace fs = std::filesystem;

namespace
{
constexpr int kMaxChannels = 8;
constexpr double kDemoRateHz = 44100.0;
constexpr int kTestToneChannels = 2;

std::string Format(const char* format, double a, double b = 0.0, double c = 0.0, double d = 0.0)
{
  char text[256];
  std::snprintf(text, sizeof text, format, a, b, c, d);
  return text;
}

class FileSource : public MSampleSource
{
public:
  explicit FileSource(MAudioFileReader& reader) : m_reader(reader) {}
  int Read(float* interleaved, int frames, std::string& error) override
  {
    return m_reader.Read(interleaved, frames, error);
  }

private:
  MAudioFileReader& m_reader;
};

class FileSink : public MSampleSink
{
public:
  explicit FileSink(MAudioFileWriter& writer) : m_writer(writer) {}
  bool Write(const float* interleaved, int frames, std::string& error) override
  {
    return m_writer.Write(interleaved, frames, error);
  }

private:
  MAudioFileWriter& m_writer;
};

// A bar on standard error, redrawn when the whole percentage changes; only on a terminal, so that
// scripts and logs get no carriage returns.
class ProgressBar
{
public:
  ProgressBar(std::ostream& err, bool enabled) : m_err(err), m_enabled(enabled) {}
  ~ProgressBar() { Finish(); }

  void Update(std::int64_t done, std::int64_t total)
  {
    if (!m_enabled || total <= 0)
      return;
    const int percent = static_cast<int>(done * 100 / total);
    if (percent == m_percent)
      return;
    m_percent = percent;
    constexpr int kWidth = 40;
    const int filled = percent * kWidth / 100;
    m_err << "\r[" << std::string(filled, '#') << std::string(kWidth - filled, '.') << "] " << percent << "% "
          << std::flush;
  }
  void Finish()
  {
    if (m_enabled && m_percent >= 0)
      m_err << "\r" << std::string(50, ' ') << "\r" << std::flush;
    m_percent = -1;
  }

private:
  std::ostream& m_err;
  bool m_enabled;
  int m_percent = -1;
};

std::string DescribeStats(const MPitchErrorStats& stats)
{
  if (stats.Count() == 0)
    return "no pitch found";
  return Format("mean %.1f p90 %.1f cents", stats.MeanCents(), stats.Percentile90Cents());
}

// Everything one render needs beyond the options: the paths and the settings the demo adds.
struct RenderPlan
{
  std::string input;
  std::string output;
  std::string pitchCsv;
  std::string plot;
  std::string snapshot;
  std::vector<std::pair<std::string, std::string>> sets;
  std::string scale;
  bool printBeforeAfter = false;
  /// The demo's voice (at kDemoRateHz), played through the editor's plug-in before its picture.
  const std::vector<float>* playback = nullptr;
};

// Whether a file can be created at path, tried under its temporary name (removed again), so that
// an unwritable picture is reported before a long render rather than after it.
bool CanCreate(const std::string& path, std::string& error)
{
  const std::string temporary = MOutputFile::TemporaryPathFor(path);
  bool created = false;
  int reason = 0;
  {
    errno = 0;
    std::ofstream probe(temporary, std::ios::trunc | std::ios::binary);
    created = static_cast<bool>(probe);
    reason = errno; // the failed open's, where the library keeps it
  }
  MOutputFile::Discard(temporary);
  if (!created)
    error = "cannot create \"" + path + "\"" +
            (reason != 0 ? ": " + std::generic_category().message(reason) : std::string());
  return created;
}

class Job
{
public:
  Job(const MRenderOptions& options, std::ostream& out, std::ostream& err)
      : m_options(options), m_out(out), m_err(err)
  {}

  int Fail(const std::string& message)
  {
    m_err << "tonvera-render: " << message << "\n";
    return MRenderCommand::kExitFailed;
  }

  int Render(const RenderPlan& plan);
  int Demo();
  int Measure();
  int WriteTestTone();

private:
  bool LoadInstance(MRenderHost& host, std::string& error);
  bool ApplySettings(MRenderHost& host, const RenderPlan& plan, const std::vector<std::uint8_t>& state,
                     const MScaleText::Notes* scale, std::string& error);
  MScaleText::Notes EnabledNotes(MRenderHost& host);
  void ListParameters(MRenderHost& host);
  bool SnapshotEditor(MRenderHost& host, const RenderPlan& plan, const MScaleText::Choice& scale,
                      std::vector<std::uint8_t>& png, std::string& error);
  std::string PlotTitle(MRenderHost& host, const RenderPlan& plan, const MScaleText::Notes& notes);
  bool WritePicture(const std::string& path, const std::vector<std::uint8_t>& png, const char* what,
                    std::string& error);
  std::string ModulePath(std::string& error) const;

  const MRenderOptions& m_options;
  std::ostream& m_out;
  std::ostream& m_err;
};

std::string Job::ModulePath(std::string& error) const
{
  if (!m_options.modulePath.empty())
    return m_options.modulePath;
  const fs::path here = MRenderPlatform::ExecutableDirectory();
  const std::string file = MRenderPlatform::ModuleFileName();
  const bool vst3 = m_options.format == MPluginFormat::Vst3;
  const fs::path installed = vst3 ? fs::path("Tonvera.vst3") : fs::path(file);
  // The build tree (the program in build/bin), then an installed program's own prefix
  // (PREFIX/bin and PREFIX/lib/vst3), then the per-user folders `cmake --install` fills.
  std::vector<fs::path> candidates = {here / installed, here.parent_path() / installed,
                                      here.parent_path() / "lib" / (vst3 ? "vst3" : "vst") / installed};
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0')
    candidates.push_back(fs::path(home) / (vst3 ? ".vst3" : ".vst") / installed);
  std::string tried;
  for (const fs::path& candidate : candidates)
  {
    std::error_code code;
    if (fs::exists(candidate, code))
      return candidate.string();
    tried += (tried.empty() ? "" : ", ") + candidate.string();
  }
  error = "the plug-in module was not found (looked for " + tried + "); build it or give --module PATH";
  return {};
}

bool Job::LoadInstance(MRenderHost& host, std::string& error)
{
  if (m_options.passThrough)
    return host.Load(MPluginFormat::PassThrough, "", error) && host.Open(error);
  const std::string path = ModulePath(error);
  if (path.empty())
    return false;
  return host.Load(m_options.format, path, error) && host.Open(error);
}

bool Job::ApplySettings(MRenderHost& host, const RenderPlan& plan, const std::vector<std::uint8_t>& state,
                        const MScaleText::Notes* scale, std::string& error)
{
  if (!m_options.stateIn.empty() && !host.Host().SetState(state))
  {
    error = "the plug-in refused the state in \"" + m_options.stateIn + "\"";
    return false;
  }
  for (const auto& [name, text] : plan.sets)
  {
    const int index = host.FindParameter(name, error);
    if (index < 0)
      return false;
    std::string shown;
    std::string warning;
    if (!host.SetParameterText(index, text, shown, warning, error))
      return false;
    if (!warning.empty())
      m_err << "tonvera-render: warning: " << warning << "\n";
  }
  if (scale != nullptr && !m_options.passThrough)
    for (int pitchClass = 0; pitchClass < 12; ++pitchClass)
    {
      const int index = host.FindParameter(MScaleText::kNoteNames[pitchClass], error);
      if (index < 0)
      {
        error = "--scale: the plug-in has no note parameter \"" +
                std::string(MScaleText::kNoteNames[pitchClass]) + "\" (see --list-params)";
        return false;
      }
      host.SetParameter(index, (*scale)[pitchClass] ? 1.0f : 0.0f);
    }
  return true;
}

MScaleText::Notes Job::EnabledNotes(MRenderHost& host)
{
  // The plug-in's own scale when it has the twelve note parameters, else every note.
  MScaleText::Notes notes = MScaleText::Chromatic();
  std::string ignored;
  for (int pitchClass = 0; pitchClass < 12; ++pitchClass)
  {
    const int index = host.FindParameter(MScaleText::kNoteNames[pitchClass], ignored);
    if (index < 0)
      return MScaleText::Chromatic();
    notes[pitchClass] = host.Host().GetParameter(index) > 0.5f;
  }
  return notes;
}

void Job::ListParameters(MRenderHost& host)
{
  const std::vector<std::string>& names = host.ParameterNames();
  m_out << "parameters of the plug-in (" << names.size() << "):\n";
  for (int i = 0; i < static_cast<int>(names.size()); ++i)
  {
    const auto [low, high] = host.RangeTexts(i);
    char line[512];
    std::snprintf(line, sizeof line, "%4d  %-26s %-22s range %s .. %s  (normalised %.4f)\n", i,
                  ("\"" + names[i] + "\"").c_str(), host.Host().ParameterDisplay(i).c_str(), low.c_str(),
                  high.c_str(), static_cast<double>(host.Host().GetParameter(i)));
    m_out << line;
  }
}

bool Job::SnapshotEditor(MRenderHost& host, const RenderPlan& plan, const MScaleText::Choice& scale,
                         std::vector<std::uint8_t>& png, std::string& error)
{
  // The module's state carries --state, --set and --scale over to the editor's own instance.
  MEditorSnapshot::Setup setup;
  setup.state = host.SaveState(error);
  if (setup.state.empty())
  {
    error = "--snapshot-editor: cannot take the plug-in's state: " + error;
    return false;
  }
  setup.scale = scale;
  if (plan.playback != nullptr)
  {
    setup.playback = *plan.playback;
    setup.playbackRateHz = kDemoRateHz;
  }
  MBitmap picture;
  if (!MEditorSnapshot::Render(setup, picture, error))
  {
    error = "--snapshot-editor: " + error;
    return false;
  }
  png = picture.SavePNG();
  return true;
}

std::string Job::PlotTitle(MRenderHost& host, const RenderPlan& plan, const MScaleText::Notes& notes)
{
  const std::string separator = "   \u00B7   ";
  std::string title = fs::path(plan.input).filename().string() + separator;
  // The scale as the user typed it; else the plug-in's own notes.
  if (!plan.scale.empty())
    title += plan.scale;
  else
    title += notes == MScaleText::Chromatic() ? "all notes" : "scale " + MScaleText::Describe(notes);
  if (m_options.passThrough)
    return title + separator + "pass-through, no plug-in";
  std::string ignored;
  for (const char* name : {"Depth", "Speed"})
  {
    const int index = host.FindParameter(name, ignored);
    if (index >= 0)
      title += separator + name + " " + host.Host().ParameterDisplay(index);
  }
  // Note hold only when it holds: at 0 the title reads as it always did.
  const int hold = host.FindParameter("Note hold", ignored);
  if (hold >= 0 && host.Host().GetParameter(hold) > 0.0f)
    title += separator + "Note hold " + host.Host().ParameterDisplay(hold);
  // Live likewise only when on, with the latency it reports.
  const int live = host.FindParameter("Live", ignored);
  if (live >= 0 && host.Host().GetParameter(live) > 0.5f)
    title += separator + "Live (" + std::to_string(host.Host().LatencySamples()) + " samples)";
  return title;
}

bool Job::WritePicture(const std::string& path, const std::vector<std::uint8_t>& png, const char* what,
                       std::string& error)
{
  if (path.empty())
    return true;
  if (!MOutputFile::WriteWhole(path, png.data(), png.size(), error))
    return false;
  m_out << "wrote " << path << " (" << what << ", " << png.size() / 1024 + 1 << " KiB)\n";
  return true;
}

int Job::Render(const RenderPlan& plan)
{
  std::string error;

  // Everything that can be checked without the plug-in comes first.
  MAudioFileReader reader;
  int outFormat = 0;
  if (!plan.input.empty())
  {
    if (!reader.Open(plan.input, error))
      return Fail(error);
    const MAudioFileInfo& info = reader.Info();
    if (info.channels > kMaxChannels)
      return Fail("input file \"" + plan.input + "\" has " + std::to_string(info.channels) +
                  " channels; at most 8 are supported");
    int major = MAudioFormat::MajorFromName(m_options.fileFormat);
    if (major == 0)
      major = MAudioFormat::MajorFromExtension(plan.output);
    outFormat = MAudioFormat::Combine(info.format, major, MAudioFormat::SubtypeFromName(m_options.subtype));
    if (outFormat == 0)
      return Fail("cannot write \"" + plan.output + "\" in the requested file and sample type");
  }
  MScaleText::Notes scale{};
  MScaleText::Choice choice;
  const bool hasScale = !plan.scale.empty();
  if (hasScale && !MScaleText::Parse(plan.scale, scale, error, &choice))
    return Fail("--scale: " + error);
  std::vector<std::uint8_t> state;
  if (!m_options.stateIn.empty())
  {
    std::ifstream in(m_options.stateIn, std::ios::binary);
    if (!in)
      return Fail("cannot read state file \"" + m_options.stateIn + "\"");
    state.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  for (const std::string* picture : {&plan.plot, &plan.snapshot})
    if (!picture->empty() && !CanCreate(*picture, error))
      return Fail(error);

  std::vector<std::unique_ptr<MRenderHost>> instances;
  instances.push_back(std::make_unique<MRenderHost>());
  MRenderHost& first = *instances.front();
  if (!LoadInstance(first, error) || !ApplySettings(first, plan, state, hasScale ? &scale : nullptr, error))
    return Fail(error);
  const MScaleText::Notes notes = hasScale ? scale : EnabledNotes(first);
  if (m_options.listParams)
    ListParameters(first);
  std::vector<std::uint8_t> editorPng;
  if (!plan.snapshot.empty() && !SnapshotEditor(first, plan, choice, editorPng, error))
    return Fail(error);

  std::vector<std::uint8_t> savedState;
  const auto takeState = [&]() {
    savedState = first.SaveState(error);
    if (savedState.empty())
      error = "cannot save the state in \"" + m_options.stateOut + "\": " + error;
    return !savedState.empty();
  };
  if (plan.input.empty())
  {
    if (!m_options.stateOut.empty() &&
        (!takeState() ||
         !MOutputFile::WriteWhole(m_options.stateOut, savedState.data(), savedState.size(), error)))
      return Fail(error);
    if (!WritePicture(plan.snapshot, editorPng, "the editor", error))
      return Fail(error);
    return MRenderCommand::kExitOk;
  }

  // One instance per group of channels the plug-in takes at a time, all set alike.
  const MAudioFileInfo& info = reader.Info();
  const int width = std::min(first.Host().NumInputs(), first.Host().NumOutputs());
  if (width < 1)
    return Fail("the plug-in has no audio inputs or outputs");
  const int count = MRenderer::InstancesFor(info.channels, width);
  for (int g = 1; g < count; ++g)
  {
    instances.push_back(std::make_unique<MRenderHost>());
    MRenderHost& other = *instances.back();
    if (!LoadInstance(other, error) || (!m_options.stateIn.empty() && !other.Host().SetState(state)))
      return Fail(error.empty() ? "the plug-in refused the state in \"" + m_options.stateIn + "\"" : error);
    for (int i = 0; i < first.Host().NumParameters(); ++i)
      other.SetParameter(i, first.Host().GetParameter(i));
  }
  std::vector<MTestHost*> hosts;
  for (int g = 0; g < count; ++g)
  {
    const int channels = std::min(width, info.channels - g * width);
    if (!instances[g]->Prepare(info.sampleRateHz, m_options.blockSamples, channels, error))
      return Fail(error);
    hosts.push_back(&instances[g]->Host());
  }

  MAudioFileWriter writer;
  if (!writer.Open(plan.output, info.channels, info.sampleRateHz, outFormat, error))
    return Fail(error);
  std::string csvTemporary;
  std::ofstream csv;
  if (!plan.pitchCsv.empty())
  {
    csvTemporary = MOutputFile::TemporaryPathFor(plan.pitchCsv);
    csv.open(csvTemporary, std::ios::trunc);
    if (!csv)
      return Fail("cannot create \"" + plan.pitchCsv + "\"");
  }
  // From here on a failure must also remove the CSV's temporary file (the writer cleans up itself).
  const auto failAfterOpen = [&](const std::string& message) {
    csv.close();
    if (!csvTemporary.empty())
      MOutputFile::Discard(csvTemporary);
    return Fail(message);
  };

  MPitchComparison comparison(info.sampleRateHz, notes, plan.pitchCsv.empty() ? nullptr : &csv);
  if (!plan.plot.empty())
    comparison.KeepFrames();
  ProgressBar bar(m_err, m_options.showProgress);
  MRenderJob job;
  job.channels = info.channels;
  job.frames = info.frames;
  job.blockSamples = m_options.blockSamples;
  job.channelsPerInstance = width;
  job.observer = &comparison;
  job.progress = [&bar](std::int64_t done, std::int64_t total) { bar.Update(done, total); };
  FileSource source(reader);
  FileSink sink(writer);
  MRenderResult result;
  const auto start = std::chrono::steady_clock::now();
  const bool rendered = MRenderer::Render(hosts, source, sink, job, result, error);
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  bar.Finish();
  if (!rendered)
    return failAfterOpen(error);
  if (!m_options.stateOut.empty() && !takeState())
    return failAfterOpen(error);
  std::vector<std::uint8_t> plotPng;
  if (!plan.plot.empty())
  {
    try
    {
      plotPng = MPitchPlot::Draw(comparison.Frames(), notes, PlotTitle(first, plan, notes)).SavePNG();
    }
    catch (const std::exception& exception)
    {
      return failAfterOpen("cannot draw the pitch plot: " + std::string(exception.what()));
    }
  }
  if (!csvTemporary.empty())
  {
    csv.close();
    if (!csv)
      return failAfterOpen("writing \"" + plan.pitchCsv + "\" failed");
  }
  if (!writer.Commit(error))
    return failAfterOpen(error);
  if (!csvTemporary.empty() && !MOutputFile::Commit(csvTemporary, plan.pitchCsv, error))
    return Fail(error);
  if (!m_options.stateOut.empty() &&
      !MOutputFile::WriteWhole(m_options.stateOut, savedState.data(), savedState.size(), error))
    return Fail(error);
  if (!WritePicture(plan.plot, plotPng, "pitch plot", error) ||
      !WritePicture(plan.snapshot, editorPng, "the editor", error))
    return Fail(error);

  const double seconds = static_cast<double>(result.framesWritten) / info.sampleRateHz;
  const std::string scaleText = notes == MScaleText::Chromatic() ? "all notes" : MScaleText::Describe(notes);
  m_out << plan.input << " -> " << plan.output << ": "
        << Format("%.2f s at %.0f Hz, %.0f ch, ", seconds, info.sampleRateHz, info.channels)
        << Format("rendered in %.2f s (%.1fx real time), ", elapsed, elapsed > 0.0 ? seconds / elapsed : 0.0)
        << "latency " << result.latencySamples << " samples; pitch distance from nearest note (" << scaleText
        << "): input " << DescribeStats(comparison.InputStats()) << ", output "
        << DescribeStats(comparison.OutputStats()) << "\n";
  if (plan.printBeforeAfter)
  {
    m_out << "before: " << DescribeStats(comparison.InputStats()) << " (" << comparison.InputStats().Count()
          << " voiced frames)\n"
          << "after:  " << DescribeStats(comparison.OutputStats()) << " (" << comparison.OutputStats().Count()
          << " voiced frames)\n";
  }
  return MRenderCommand::kExitOk;
}

int Job::Demo()
{
  std::error_code code;
  fs::create_directories(m_options.outDir, code);
  if (code)
    return Fail("cannot create folder \"" + m_options.outDir + "\": " + code.message());
  const fs::path folder(m_options.outDir);
  RenderPlan plan;
  plan.input = (folder / "demo-input.wav").string();
  plan.output = (folder / "demo-corrected.wav").string();
  plan.pitchCsv = (folder / "demo-pitch.csv").string();
  plan.plot = m_options.plot;
  plan.snapshot = m_options.snapshotEditor;
  plan.sets = {{"Depth", "100"}, {"Speed", "80"}};
  plan.sets.insert(plan.sets.end(), m_options.sets.begin(), m_options.sets.end());
  plan.scale = m_options.scale.empty() ? "D major" : m_options.scale;
  plan.printBeforeAfter = true;
  if (m_options.passThrough)
    plan.sets.clear(); // nothing to set: the pass-through has no parameters

  const std::vector<float> voice = MDemoVoice::Sing(MDemoVoice::DemoPhrase(), kDemoRateHz);
  plan.playback = &voice;
  std::string error;
  MAudioFileWriter writer;
  if (!writer.Open(plan.input, 1, static_cast<int>(kDemoRateHz), SF_FORMAT_WAV | SF_FORMAT_PCM_24, error) ||
      !writer.Write(voice.data(), static_cast<int>(voice.size()), error) || !writer.Commit(error))
    return Fail(error);
  m_out << "wrote " << plan.input << " (" << Format("%.2f", static_cast<double>(voice.size()) / kDemoRateHz)
        << " s synthetic voice, scale " << plan.scale << ")\n";
  const int status = Render(plan);
  if (status == MRenderCommand::kExitOk)
    m_out << "wrote " << plan.output << " and " << plan.pitchCsv << "\n";
  return status;
}

int Job::Measure()
{
  std::string error;
  MScaleText::Notes notes = MScaleText::Chromatic();
  if (!m_options.scale.empty() && !MScaleText::Parse(m_options.scale, notes, error))
    return Fail("--scale: " + error);
  MAudioFileReader reader;
  if (!reader.Open(m_options.measure, error))
    return Fail(error);
  FileSource source(reader);
  MPitchErrorStats stats(notes);
  const MAudioFileInfo info = reader.Info();
  if (!MeasurePitch(source, info.channels, info.sampleRateHz, stats, error))
    return Fail(error);
  m_out << "measure " << m_options.measure << ": "
        << Format("%.2f s, ", static_cast<double>(info.frames) / info.sampleRateHz) << stats.Count()
        << " voiced frames, pitch distance from nearest note ("
        << (notes == MScaleText::Chromatic() ? "all notes" : MScaleText::Describe(notes))
        << "): " << DescribeStats(stats) << "\n";
  return stats.Count() > 0 ? MRenderCommand::kExitOk
                           : Fail("no pitch found in \"" + m_options.measure + "\"");
}

int Job::WriteTestTone()
{
  const std::vector<float> voice = MDemoVoice::Sing(MDemoVoice::TestPattern(m_options.seconds), kDemoRateHz);
  std::vector<float> stereo(voice.size() * kTestToneChannels);
  for (std::size_t i = 0; i < voice.size(); ++i)
    for (int c = 0; c < kTestToneChannels; ++c)
      stereo[i * kTestToneChannels + c] = voice[i];
  int major = MAudioFormat::MajorFromName(m_options.fileFormat);
  if (major == 0)
    major = MAudioFormat::MajorFromExtension(m_options.testTone);
  const int format = MAudioFormat::Combine(SF_FORMAT_WAV | SF_FORMAT_PCM_24, major,
                                           MAudioFormat::SubtypeFromName(m_options.subtype));
  std::string error;
  MAudioFileWriter writer;
  if (format == 0 ||
      !writer.Open(m_options.testTone, kTestToneChannels, static_cast<int>(kDemoRateHz), format, error) ||
      !writer.Write(stereo.data(), static_cast<int>(voice.size()), error) || !writer.Commit(error))
    return Fail(error.empty() ? "cannot write the test tone in that format" : error);
  m_out << "wrote " << m_options.testTone
        << Format(" (%.2f s, 44100 Hz stereo)\n", static_cast<double>(voice.size()) / kDemoRateHz);
  return MRenderCommand::kExitOk;
}
} // namespace

int MRenderCommand::Run(const MRenderOptions& options, std::ostream& out, std::ostream& err)
{
  Job job(options, out, err);
  if (options.help)
  {
    out << MRenderOptionsParser::HelpText();
    return kExitOk;
  }
  if (options.version)
  {
    out << MRenderOptionsParser::VersionText();
    return kExitOk;
  }
  if (!options.testTone.empty())
    return job.WriteTestTone();
  if (!options.measure.empty())
    return job.Measure();
  if (options.demo)
    return job.Demo();
  RenderPlan plan;
  plan.input = options.input;
  plan.output = options.output;
  plan.pitchCsv = options.pitchCsv;
  plan.plot = options.plot;
  plan.snapshot = options.snapshotEditor;
  plan.sets = options.sets;
  plan.scale = options.scale;
  return job.Render(plan);
}

int MRenderCommand::Main(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                         Progress progress)
{
  MRenderOptions options;
  options.showProgress = progress == Progress::Shown;
  std::string error;
  if (!MRenderOptionsParser::Parse(arguments, options, error))
  {
    err << "tonvera-render: " << error << "\n";
    return kExitUsage;
  }
  try
  {
    return Run(options, out, err);
  }
  catch (const std::exception& exception)
  {
    err << "tonvera-render: " << exception.what() << "\n";
    return kExitFailed;
  }
}
