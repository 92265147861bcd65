#include "tools/render/MRenderOptions.h"

#include "tools/render/MAudioFile.h"
#include "tools/render/MRenderer.h"

#include <cctype>
#include <charconv>
#include <cstdlib>

namespace
{
bool ParseInt(const std::string& text, int& value)
{
  const char* end = text.data() + text.size();
  const auto [ptr, code] = std::from_chars(text.data(), end, value);
  return code == std::errc() && ptr == end;
}

bool ParseDouble(const std::string& text, double& value)
{
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return !text.empty() && end == text.c_str() + text.size();
}

bool IsPngName(const std::string& name)
{
  if (name.size() < 5)
    return false;
  std::string extension = name.substr(name.size() - 4);
  for (char& c : extension)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return extension == ".png";
}
} // namespace

bool MRenderOptionsParser::Parse(const std::vector<std::string>& arguments, MRenderOptions& options,
                                 std::string& error)
{
  std::vector<std::string> positional;
  for (std::size_t i = 0; i < arguments.size(); ++i)
  {
    std::string flag = arguments[i];
    std::string value;
    bool hasValue = false;
    if (flag.starts_with("--") && flag.find('=') != std::string::npos)
    {
      value = flag.substr(flag.find('=') + 1);
      flag = flag.substr(0, flag.find('='));
      hasValue = true;
    }
    // Fetches the flag's value from "=..." or the next argument.
    const auto next = [&](std::string& into) {
      if (hasValue)
      {
        into = value;
        return true;
      }
      if (i + 1 >= arguments.size())
      {
        error = flag + " needs a value";
        return false;
      }
      into = arguments[++i];
      return true;
    };
    const auto noValue = [&]() {
      if (hasValue)
        error = flag + " takes no value";
      return !hasValue;
    };

    std::string text;
    if (flag == "--help" || flag == "-h")
    {
      if (!noValue())
        return false;
      options.help = true;
    }
    else if (flag == "--version")
    {
      if (!noValue())
        return false;
      options.version = true;
    }
    else if (flag == "--module")
    {
      if (!next(options.modulePath))
        return false;
    }
    else if (flag == "--format")
    {
      if (!next(text))
        return false;
      if (!MRenderHost::ParseFormat(text, options.format))
      {
        error = "--format: unknown plug-in interface \"" + text + "\" (vst2 or vst3)";
        return false;
      }
    }
    else if (flag == "--pass-through")
    {
      if (!noValue())
        return false;
      options.passThrough = true;
    }
    else if (flag == "--set")
    {
      if (!next(text))
        return false;
      const std::size_t equals = text.find('=');
      if (equals == std::string::npos || equals == 0)
      {
        error = "--set needs NAME=VALUE, not \"" + text + "\"";
        return false;
      }
      options.sets.emplace_back(text.substr(0, equals), text.substr(equals + 1));
    }
    else if (flag == "--scale")
    {
      if (!next(options.scale))
        return false;
      if (options.scale.empty())
      {
        error = "--scale needs a scale";
        return false;
      }
    }
    else if (flag == "--state")
    {
      if (!next(options.stateIn))
        return false;
    }
    else if (flag == "--save-state")
    {
      if (!next(options.stateOut))
        return false;
    }
    else if (flag == "--list-params")
    {
      if (!noValue())
        return false;
      options.listParams = true;
    }
    else if (flag == "--block")
    {
      if (!next(text))
        return false;
      if (!ParseInt(text, options.blockSamples) || options.blockSamples < 1 ||
          options.blockSamples > MRenderer::kMaxBlockSamples)
      {
        error = "--block: \"" + text + "\" is not a block size from 1 to " +
                std::to_string(MRenderer::kMaxBlockSamples);
        return false;
      }
    }
    else if (flag == "--format-out")
    {
      if (!next(options.fileFormat))
        return false;
      if (MAudioFormat::MajorFromName(options.fileFormat) == 0)
      {
        error = "--format-out: unknown file format \"" + options.fileFormat + "\" (wav, aiff, flac)";
        return false;
      }
    }
    else if (flag == "--subtype")
    {
      if (!next(options.subtype))
        return false;
      if (MAudioFormat::SubtypeFromName(options.subtype) == 0)
      {
        error = "--subtype: unknown sample type \"" + options.subtype + "\" (pcm16, pcm24, pcm32, float)";
        return false;
      }
    }
    else if (flag == "--pitch-csv")
    {
      if (!next(options.pitchCsv))
        return false;
    }
    else if (flag == "--plot" || flag == "--snapshot-editor")
    {
      std::string& file = flag == "--plot" ? options.plot : options.snapshotEditor;
      if (!next(file))
        return false;
      if (!IsPngName(file))
      {
        error = flag + " writes a PNG picture: give a file name ending in .png, not \"" + file + "\"";
        return false;
      }
    }
    else if (flag == "--demo")
    {
      if (!noValue())
        return false;
      options.demo = true;
    }
    else if (flag == "--out-dir")
    {
      if (!next(options.outDir))
        return false;
    }
    else if (flag == "--measure")
    {
      if (!next(options.measure))
        return false;
    }
    else if (flag == "--write-test-tone")
    {
      if (!next(options.testTone))
        return false;
    }
    else if (flag == "--seconds")
    {
      if (!next(text))
        return false;
      if (!ParseDouble(text, options.seconds) || !(options.seconds > 0.0 && options.seconds <= 24.0 * 3600.0))
      {
        error = "--seconds: \"" + text + "\" is not a length in seconds";
        return false;
      }
    }
    else if (flag.size() > 1 && flag[0] == '-')
    {
      error = "unknown option \"" + flag + "\" (see --help)";
      return false;
    }
    else
    {
      positional.push_back(flag);
    }
  }

  if (positional.size() > 2)
  {
    error = "too many file names (give INPUT and OUTPUT)";
    return false;
  }
  if (!positional.empty())
    options.input = positional[0];
  if (positional.size() > 1)
    options.output = positional[1];
  if (options.help || options.version)
    return true;
  const int modes = !options.measure.empty() + !options.testTone.empty() + options.demo;
  if (modes > 1)
  {
    error = "--demo, --measure and --write-test-tone cannot be combined";
    return false;
  }
  if (modes == 1 && !positional.empty())
  {
    error = "file names are not taken together with --demo, --measure or --write-test-tone";
    return false;
  }
  const bool otherJob = !options.measure.empty() || !options.testTone.empty();
  if (!options.plot.empty() && (otherJob || (!options.demo && options.input.empty())))
  {
    error = "--plot draws a render: give INPUT and OUTPUT, or --demo";
    return false;
  }
  if (!options.snapshotEditor.empty() && (otherJob || options.passThrough))
  {
    error = "--snapshot-editor needs the plug-in: not with --pass-through, --measure or --write-test-tone";
    return false;
  }
  if (modes == 0)
  {
    if (options.input.empty() && !options.listParams && options.stateOut.empty() &&
        options.snapshotEditor.empty())
    {
      error = "give INPUT and OUTPUT files (see --help)";
      return false;
    }
    if (!options.input.empty() && options.output.empty())
    {
      error = "give an OUTPUT file after \"" + options.input + "\"";
      return false;
    }
  }
  return true;
}

std::string MRenderOptionsParser::HelpText()
{
  return R"(Usage: tonvera-render [options] INPUT OUTPUT
       tonvera-render --demo [--out-dir DIR] [options]
       tonvera-render --list-params [options]
       tonvera-render --snapshot-editor FILE.png [options]
       tonvera-render --measure FILE [--scale SCALE]
       tonvera-render --write-test-tone FILE [--seconds S]

Renders an audio file through the Tonvera plug-in module as a host would: in blocks, with the
plug-in's latency compensated (OUTPUT is as long as INPUT and aligned with it), then prints a
one-line summary: length, speed (real-time factor), latency, and how far the pitch of input and
output lies from the nearest enabled note (mean and 90th percentile, in cents).

Files (read and written through libsndfile): WAV, AIFF, FLAC; 16-, 24-, 32-bit integer or 32-bit
float samples; any sample rate; 1 to 8 channels. OUTPUT gets the input's sample type, and the file
type its name's extension gives (else the input's). Outputs are written to a temporary file and
renamed only when complete: a failed run leaves no output behind.

Plug-in:
  --module PATH        the plug-in module (default: the Tonvera.vst3 bundle next to this
                       program, or one folder up, or in ../lib/vst3 or ~/.vst3 where it is
                       installed; for VST 2.4 Tonvera.so there, in ../lib/vst or ~/.vst). For
                       VST 3 either the bundle folder or the library inside it
  --format vst3|vst2   the plug-in interface to load it through (default vst3)
  --pass-through       no plug-in: copy input to output (measures this program's own cost)
  --state FILE         load plug-in state bytes from FILE before rendering
  --save-state FILE    write the plug-in's state bytes to FILE (after --state, --set, --scale)
  --set NAME=VALUE     set a parameter by its name as the plug-in reports it (the part after
                       " - " of a group-qualified name is enough; case is ignored) to a value
                       typed as the plug-in shows it: --set Depth=100 --set Speed=80
                       --set "Dry/wet=100% wet, 0% dry". Through VST 3 the plug-in reads the
                       text itself; through VST 2.4 (or when a VST 3 plug-in refuses the text)
                       the value is searched by the plug-in's display text; where several
                       values show it, the end of the range wins when the run reaches it
                       (Dry/wet=100 is fully wet). A value beyond the range is clamped, with a
                       warning. Repeatable; applied in order.
  --scale SCALE        the notes the plug-in may choose: "D major", "F# minor", "A pentatonic",
                       "chromatic", or a list "C,D,E,G,A" (sharps or flats). Sets the plug-in's
                       twelve note parameters (named C, C#, ... B); the pitch figures then
                       measure against these notes.
  --list-params        print every parameter: index, name, range and current display text
                       (with no INPUT, only that; also possible with --save-state alone)

Rendering:
  --block N            block size in samples, 1 to 65536 (default 512)
  --format-out TYPE    output file type: wav, aiff or flac
  --subtype TYPE       output sample type: pcm16, pcm24, pcm32 or float
  --pitch-csv FILE     write per analysis frame: time_s, input_hz, output_hz, target_note
                       (nearest enabled note to the input), target_hz, input_error_cents and
                       output_error_cents (each from its nearest enabled note); empty where
                       unvoiced

Pictures:
  --plot FILE.png      draw input and output pitch over time against the scale's note lines
                       (solid: notes of the scale; dotted: a cents grid) into a 960x420 PNG,
                       titled with the input's name, the scale, Depth and Speed (and Note hold
                       when it is on). The pitches are measured by this program's own
                       detector, as for the figures above
  --snapshot-editor FILE.png
                       draw the plug-in's editor, as a host would show it, into a PNG at the
                       editor's own size, after --state, --set and --scale (with INPUT and
                       OUTPUT or --demo as well, the editor shows that render's settings; a
                       scale typed as ROOT TYPE is also chosen in the tuning panel; with
                       --demo the phrase is played through it first, so that the tuning
                       indicator shows where the phrase ends). The editor is the plug-in's
                       own code built into this program, so --module and --format do not
                       change it

Other jobs:
  --demo               synthesise a sung phrase (about 7 s, 44.1 kHz, notes sung off pitch,
                       scoops, vibrato) and render it with Depth=100, Speed=80 and the scale
                       D major (--set and --scale override them): writes DIR/demo-input.wav,
                       DIR/demo-corrected.wav and DIR/demo-pitch.csv and prints the pitch
                       figures before and after
  --out-dir DIR        folder for --demo (default "out", created if missing)
  --measure FILE       print the pitch figures of FILE alone (against --scale, else all notes)
  --write-test-tone FILE
                       write the benchmark input: a vocal-like tone with glides, held notes
                       35 cents sharp and vibrato, 44.1 kHz stereo
  --seconds S          length of the test tone (default 30)
  --help, -h           this text
  --version            print the program's version

Exit status: 0 on success, 1 when the job failed (the message names the problem), 2 for a
command-line error.
)";
}

std::string MRenderOptionsParser::VersionText()
{
  return "tonvera-render " TONVERA_VERSION "\n";
}
