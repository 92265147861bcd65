#pragma once
// MRenderCommand: what tonvera-render does with its parsed options: render a file, run the demo,
// measure a file, write the test tone, or list and store the plug-in's parameters.
//
// Messages go to err ("tonvera-render: " and what failed, naming the file, parameter or module),
// the summary and listings to out. Outputs appear only when the whole job succeeded.
// Main thread only.

#include "tools/render/MRenderOptions.h"

#include <ostream>

class MRenderCommand
{
public:
  static constexpr int kExitOk = 0;
  static constexpr int kExitFailed = 1;
  static constexpr int kExitUsage = 2;

  /// Whether a render may draw a progress line on err (only when err is a terminal).
  enum class Progress
  {
    Hidden,
    Shown,
  };

  /// Parses arguments (without the program name) and runs the job; answers the exit status.
  static int Main(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err,
                  Progress progress = Progress::Hidden);
  /// Runs the job the options describe; answers the exit status.
  static int Run(const MRenderOptions& options, std::ostream& out, std::ostream& err);
};
