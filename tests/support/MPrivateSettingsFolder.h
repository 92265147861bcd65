#pragma once
// A settings folder of this test process's own, for the suites that load the module: the
// plug-in writes presets, default settings and general settings there. A folder shared by name
// between runs let one run's saved default settings change the next run's pictures.
//
// UsePrivateSettingsFolder(name) empties <temp>/<name>-<pid>, points XDG_CONFIG_HOME at it and
// removes it when the process ends; later calls answer the same folder. Linux test hosts only.
// ChooseDefaultStyle() makes a new folder hold the user's choice of the "Default" style: a folder
// without a choice draws the editor in "Silver", and the editor pictures of the tests show "Default".

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#include <unistd.h>

namespace MTestSupport
{
inline const std::string& UsePrivateSettingsFolder(const char* name)
{
  struct Folder
  {
    explicit Folder(const char* name) : path(testing::TempDir() + name + "-" + std::to_string(getpid()))
    {
      std::error_code error;
      std::filesystem::remove_all(path, error);
      setenv("XDG_CONFIG_HOME", path.c_str(), 1);
    }
    ~Folder()
    {
      std::error_code error;
      std::filesystem::remove_all(path, error);
    }
    std::string path;
  };
  static const Folder folder(name);
  return folder.path;
}

inline void ChooseDefaultStyle()
{
  const char* home = std::getenv("XDG_CONFIG_HOME");
  if (home == nullptr)
    return;
  const std::filesystem::path file = std::filesystem::path(home) / "Tonvera" / "GeneralSettings.xml";
  if (std::filesystem::exists(file))
    return;
  std::filesystem::create_directories(file.parent_path());
  std::ofstream(file) << "<GeneralSettings><StyleConfiguration Style=\"Default\"/></GeneralSettings>\n";
}
} // namespace MTestSupport
