#include "core/plugin/MSettingsFolder.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace
{
#ifdef _WIN32
constexpr char16_t kSeparator = u'\\';
#else
constexpr char16_t kSeparator = u'/';
#endif

MString Environment(const char* name)
{
#ifdef _WIN32
  std::wstring wide(name, name + std::char_traits<char>::length(name));
  const wchar_t* value = _wgetenv(wide.c_str());
  return value != nullptr ? MString::FromWide(value) : MString();
#else
  const char* value = std::getenv(name);
  return value != nullptr ? MString::FromUTF8(value) : MString();
#endif
}

MString Join(MString folder, const MString& name)
{
  folder += kSeparator;
  folder += name;
  return folder;
}
} // namespace

MString MSettingsFolder::Get()
{
  try
  {
#ifdef _WIN32
    const MString base = Environment("APPDATA");
    return base.IsEmpty() ? MString() : Join(base, MString("Tonvera"));
#else
    const MString xdg = Environment("XDG_CONFIG_HOME");
    if (!xdg.IsEmpty())
      return Join(xdg, MString("Tonvera"));
    const MString home = Environment("HOME");
    if (home.IsEmpty())
      return MString();
    return Join(Join(home, MString(".config")), MString("Tonvera"));
#endif
  }
  catch (...)
  {
    return MString();
  }
}

MString MSettingsFolder::FilePath(const MString& fileName)
{
  const MString folder = Get();
  try
  {
    return folder.IsEmpty() ? MString() : Join(folder, fileName);
  }
  catch (...)
  {
    return MString();
  }
}

bool MSettingsFolder::Ensure()
{
  try
  {
    const MString folder = Get();
    if (folder.IsEmpty())
      return false;
    std::error_code error;
    const std::filesystem::path path = MSettingsFolder::ToPath(folder);
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error);
  }
  catch (...)
  {
    return false;
  }
}

std::filesystem::path MSettingsFolder::ToPath(const MString& text)
{
#ifdef _WIN32
  return std::filesystem::path(text.ToWide());
#else
  return std::filesystem::path(text.ToUTF8());
#endif
}

MString MSettingsFolder::MoveAside(const MString& path)
{
  try
  {
    std::error_code error;
    MString aside = path + MString(".unreadable");
    for (std::int32_t number = 2; std::filesystem::exists(ToPath(aside), error); ++number)
      aside = path + MString(".unreadable") + MString::FromInteger(number);
    std::filesystem::rename(ToPath(path), ToPath(aside), error);
    return error ? MString() : aside;
  }
  catch (...)
  {
    return MString();
  }
}
