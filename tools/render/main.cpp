// tonvera-render: renders audio files through the Tonvera plug-in module (see --help).

#include "tools/render/MRenderCommand.h"
#include "tools/render/MRenderPlatform.h"

#include <iostream>

int main(int argc, char** argv)
{
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return MRenderCommand::Main(arguments, std::cout, std::cerr,
                              MRenderPlatform::StandardErrorIsTerminal() ? MRenderCommand::Progress::Shown
                                                                         : MRenderCommand::Progress::Hidden);
}
