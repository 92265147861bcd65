// The module's window system: started on the first editor's use, in the stored style. The editor
// part of the module (tonvera_module_editor); the rest of the module links no GUI library.

#include "base/MDiagnosticLog.h"
#include "framework/MStyleSettings.h"
#include "gui/MWindowSystemCommon.h"
#include "gui/styles/MTexturedStyle.h"
#include "host/module/MModule.h"

#include <exception>
#include <memory>

#ifdef _WIN32
#ifndef TONVERA_NO_EDITOR // without an editor the Win32 back end is not built
#include "gui/win32/MWindowSystemMSWindows.h"
#define TONVERA_WIN32_WINDOW_SYSTEM 1
#endif
#endif
#if defined(__linux__)
#include "gui/x11/MWindowSystemX11.h"
#endif

MWindowSystemCommon* MWindowsModule::GetWindowSystem()
{
  if (m_windowSystem != nullptr)
    return m_windowSystem.get();
#if defined(TONVERA_WIN32_WINDOW_SYSTEM) || defined(__linux__)
  try
  {
#ifdef TONVERA_WIN32_WINDOW_SYSTEM
    auto system = std::make_unique<MWindowSystemMSWindows>();
#else
    auto system = std::make_unique<MWindowSystemX11>();
#endif
    system->Initialize();
    // The style as the user set it up: the first editor then loads the package's images once,
    // rather than the default style's first and the stored one's when it opens.
    if (m_style == nullptr)
    {
      try
      {
        m_style = std::make_unique<MTexturedStyle>(MStyleSettings::Load(MStyleSettings::FreshItem::Keep));
      }
      catch (const std::exception&)
      {
        m_style = std::make_unique<MTexturedStyle>(); // the package's default style
      }
    }
    system->SetDefaultStyle(m_style.get());
    m_windowSystem = std::move(system);
  }
  catch (const std::exception& error)
  {
    MDiagnosticLog::Write(MString("The editor cannot open: the window system did not start (") +
                          MString::FromUTF8(error.what()) + MString(")."));
  }
#else
  MDiagnosticLog::Write("The editor cannot open: no window system on this platform yet.");
#endif
  return m_windowSystem.get();
}

namespace MModuleLibrary
{

MWindowSystemCommon* GetWindowSystem()
{
  Module* library = Initialize();
  return library != nullptr ? library->GetWindowSystem() : nullptr;
}

} // namespace MModuleLibrary
