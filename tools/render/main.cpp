// tonvera-render: renders audio files through the Tonvera plug-in module (see --help).

#include "tools/render/MRenderCommand.h"

#include <iostream>

int main(int argc, char** argv)
{
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return MRenderCommand::Main(arguments, std::cout, std::cerr);
}
