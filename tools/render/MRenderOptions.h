#pragma once
// The command line of tonvera-render: the options it takes, their parsing and the help text.
// Every flag accepts its value as the next argument or after "=" ("--block 256", "--block=256").

#include "tools/render/MRenderHost.h"

#include <string>
#include <utility>
#include <vector>

struct MRenderOptions
{
  std::string input;
  std::string output;
  std::string modulePath; ///< empty: the module next to the executable
  MPluginFormat format = MRenderHost::kDefaultFormat;
  bool passThrough = false;
  std::vector<std::pair<std::string, std::string>> sets; ///< name, typed text, in command-line order
  std::string scale;                                     ///< empty: leave the plug-in's scale
  std::string stateIn;
  std::string stateOut;
  bool listParams = false;
  int blockSamples = 512;
  std::string fileFormat; ///< "wav", "aiff", "flac"; empty: from the output name, else the input's
  std::string subtype;    ///< "pcm16", "pcm24", "pcm32", "float"; empty: the input's
  std::string pitchCsv;
  std::string plot;           ///< PNG of input and output pitch over time (with a render)
  std::string snapshotEditor; ///< PNG of the plug-in's editor with the settings applied
  bool demo = false;
  std::string outDir = "out";
  std::string measure;
  std::string testTone;
  double seconds = 30.0;
  bool help = false;
  bool version = false;
  /// Not a flag: the caller says whether a progress line may go to standard error (a terminal).
  bool showProgress = false;
};

namespace MRenderOptionsParser
{
/// Parses the arguments after the program name; false with a message on a usage error.
bool Parse(const std::vector<std::string>& arguments, MRenderOptions& options, std::string& error);
/// The --help text.
std::string HelpText();
/// The --version line: the program's name and the version the build was given.
std::string VersionText();
} // namespace MRenderOptionsParser
