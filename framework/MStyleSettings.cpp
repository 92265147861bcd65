#include "framework/MStyleSettings.h"

#include "base/MXmlItem.h"
#include "core/plugin/MSettingsFolder.h"
#include "framework/MGeneralSettings.h"
#include "gui/MWindow.h"
#include "gui/MWindowSystemCommon.h"
#include "gui/styles/MTexturedStyle.h"

#include <filesystem>
#include <system_error>

MTexturedStyleConfiguration MStyleSettings::Load(FreshItem freshItem)
{
  MXmlItem section;
  if (MGeneralSettings::LoadSection(MString::FromLiteral(kSectionName), section))
  {
    MTexturedStyleConfiguration configuration;
    configuration.Load(section);
    return configuration;
  }
  // Written only beside readable (or no) general settings: an unreadable file is the user's, and
  // only their own change of a setting moves it aside (and says so).
  const MTexturedStyleConfiguration fresh = MTexturedStyleConfiguration::Fresh();
  MGeneralSettings::Values values;
  MString ignored;
  if (freshItem == FreshItem::Write && MGeneralSettings::Load(values, ignored))
    Save(fresh, ignored);
  return fresh;
}

bool MStyleSettings::Save(const MTexturedStyleConfiguration& configuration, MString& error)
{
  MXmlItem section(MString::FromLiteral(kSectionName));
  configuration.Save(section);
  return MGeneralSettings::SaveSection(section, error);
}

MTexturedStyle* MStyleSettings::SharedStyle(const MWindowSystemCommon& system)
{
  return dynamic_cast<MTexturedStyle*>(system.GetDefaultStyle());
}

bool MStyleSettings::Apply(MWindowSystemCommon& system, const MTexturedStyleConfiguration& configuration)
{
  MTexturedStyle* style = SharedStyle(system);
  if (style == nullptr)
    return false;
  if (style->GetConfiguration() == configuration)
    return true;
  try
  {
    style->SetConfiguration(configuration);
  }
  catch (...)
  {
    return false; // a damaged package: the previous style stays in use
  }
  for (MWindow* window : system.GetWindows())
    window->Invalidate();
  return true;
}

bool MStyleSettings::ApplyStored(MWindowSystemCommon& system)
{
  return SharedStyle(system) != nullptr && Apply(system, Load());
}

bool MStyleSettings::FollowStored(MWindowSystemCommon& system)
{
  // One window system per module, used on its GUI thread only: plain statics suffice.
  static std::uint64_t s_nextLook = 0;
  static bool s_looked = false;
  static std::filesystem::file_time_type s_seen{};
  const std::uint64_t now = system.GetTickMs();
  if (now < s_nextLook || SharedStyle(system) == nullptr)
    return false;
  s_nextLook = now + kFollowMs;
  std::error_code error;
  auto time = std::filesystem::last_write_time(MSettingsFolder::ToPath(MGeneralSettings::GetPath()), error);
  if (error)
    time = std::filesystem::file_time_type{}; // no file (yet)
  const bool first = !s_looked;
  s_looked = true;
  if (time == s_seen)
    return false;
  s_seen = time;
  // The first look only notes the time: the editor opened with the stored configuration.
  return !first && ApplyStored(system);
}
