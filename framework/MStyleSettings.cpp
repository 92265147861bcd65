#include "framework/MStyleSettings.h"

#include "base/MXmlItem.h"
#include "framework/MGeneralSettings.h"
#include "gui/MWindow.h"
#include "gui/MWindowSystemCommon.h"
#include "gui/styles/MTexturedStyle.h"

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
