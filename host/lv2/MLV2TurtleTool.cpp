// The build's generator of the bundle's Turtle: tonvera-lv2-turtle DIR writes DIR/manifest.ttl and
// DIR/Tonvera.ttl from the parameters of a plug-in it creates, so the bundle describes exactly the
// ports the binary has. Exit status 1 with a message on failure.

#include "core/plugin/MAudioPlugin.h"
#include "host/lv2/MLV2Description.h"
#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

namespace
{
bool WriteFile(const std::string& path, const std::string& text)
{
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  file << text;
  file.close();
  return file.good();
}
} // namespace

int main(int argc, char** argv)
{
  if (argc != 2)
  {
    std::fprintf(stderr, "usage: tonvera-lv2-turtle BUNDLE_DIR\n");
    return 1;
  }
  const std::string folder = argv[1];
  std::unique_ptr<MAudioPlugin> plugin(CreateTonveraPlugin());
  if (plugin == nullptr)
  {
    std::fprintf(stderr, "tonvera-lv2-turtle: the plug-in could not be created\n");
    return 1;
  }
  const bool written = WriteFile(folder + "/manifest.ttl", MLV2Description::Manifest()) &&
                       WriteFile(folder + "/Tonvera.ttl", MLV2Description::Plugins(*plugin));
  plugin.reset();
  MModuleLibrary::Shutdown();
  if (!written)
  {
    std::fprintf(stderr, "tonvera-lv2-turtle: cannot write into %s\n", folder.c_str());
    return 1;
  }
  return 0;
}
