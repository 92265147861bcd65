#pragma once
// A settings folder of this test process's own, for the suites that load the module: the
// plug-in writes presets, default settings and general settings there. A folder shared by name
// between runs let one run's saved default settings change the next run's pictures.
//
// UsePrivateSettingsFolder(name) empties <temp>/<name>-<pid>, points XDG_CONFIG_HOME at it and
// removes it when the process ends; later calls answer the same folder.
// MScopedSettingsFolder does the same for one test (or one suite object): the previous
// XDG_CONFIG_HOME comes back and the folder goes when it ends. On Windows APPDATA follows too. It
// needs nothing of the test framework, so the fuzz targets that share the fake effect use it too.
// ChooseDefaultStyle() makes a new folder hold the user's choice of the "Default" style: a folder
// without a choice draws the editor in "Silver", and the editor pictures of the tests show "Default".

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>

#ifdef _WIN32
#include <process.h>
#else
#include <unistd.h>
#endif

namespace MTestSupport
{
inline void SetSettingsHome(const std::string& folder)
{
#ifdef _WIN32
  _putenv_s("XDG_CONFIG_HOME", folder.c_str());
  _putenv_s("APPDATA", folder.c_str());
#else
  setenv("XDG_CONFIG_HOME", folder.c_str(), 1);
#endif
}

class MScopedSettingsFolder
{
public:
  explicit MScopedSettingsFolder(const std::string& name)
      : m_previous(std::getenv("XDG_CONFIG_HOME") != nullptr ? std::getenv("XDG_CONFIG_HOME") : ""),
#ifdef _WIN32
        m_folder((std::filesystem::temp_directory_path() / (name + "-" + std::to_string(_getpid()))).string())
#else
        m_folder((std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid()))).string())
#endif
  {
    std::error_code error;
    std::filesystem::remove_all(m_folder, error);
    SetSettingsHome(m_folder);
  }
  ~MScopedSettingsFolder()
  {
    SetSettingsHome(m_previous);
    std::error_code error;
    std::filesystem::remove_all(m_folder, error);
  }
  MScopedSettingsFolder(const MScopedSettingsFolder&) = delete;
  MScopedSettingsFolder& operator=(const MScopedSettingsFolder&) = delete;
  const std::string& Folder() const
  {
    return m_folder;
  }

private:
  std::string m_previous;
  std::string m_folder;
};

inline const std::string& UsePrivateSettingsFolder(const char* name)
{
  // Pointed at for the rest of the process; removed at its end.
  static const MScopedSettingsFolder folder(name);
  return folder.Folder();
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
