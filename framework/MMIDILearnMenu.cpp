#include "framework/MMIDILearnMenu.h"

#include "framework/MAudioEffectPluginToAudioPluginAdapter.h"
#include "gui/MWindow.h"
#include "gui/controls/MMenu.h"

MMIDILearnMenu::MMIDILearnMenu(MAudioEffectPluginToAudioPluginAdapter& plugin) : m_plugin(plugin) {}

MMIDILearnMenu::~MMIDILearnMenu() = default;

bool MMIDILearnMenu::Open(MControl& control, std::int32_t part, const MRect& anchor,
                          std::function<void()> enterValue)
{
  const std::int32_t parameter = m_plugin.ParameterOfControl(control, part);
  if (parameter < 0)
    return false;
  m_parameter = parameter;
  m_enterValue = std::move(enterValue);
  if (m_popup == nullptr)
    m_popup = std::make_unique<MWindowMenu>();
  MMenu& menu = m_popup->GetMenu();
  menu.Clear();
  menu.AddEntry(MString("MIDI learn"));
  menu.AddEntry(MString("Forget MIDI"));
  if (m_enterValue)
    menu.AddEntry(MString("Enter value..."));
  // No open window (tests without a display): the menu still stands, Choose picks an entry.
  m_popup->Popup(control, anchor, [this](std::int32_t index) { Choose(index); });
  return true;
}

void MMIDILearnMenu::Choose(std::int32_t entry)
{
  switch (entry)
  {
  case kLearn:
    m_plugin.StartMIDILearn(m_parameter);
    break;
  case kForget:
    if (m_plugin.GetMIDILearnParameter() == m_parameter)
      m_plugin.StartMIDILearn(-1);
    if (m_plugin.ForgetMIDI(m_parameter))
      m_plugin.ReportStateChangedToHost();
    break;
  case kEnterValue:
    if (m_enterValue)
      m_enterValue();
    break;
  default:
    break;
  }
}

bool MMIDILearnMenu::IsWaiting(const MControl& control, std::int32_t part) const
{
  const std::int32_t waiting = m_plugin.GetMIDILearnParameter();
  return waiting >= 0 && m_plugin.ParameterOfControl(control, part) == waiting;
}

bool MMIDILearnMenu::Cancel()
{
  if (m_plugin.GetMIDILearnParameter() < 0)
    return false;
  m_plugin.StartMIDILearn(-1);
  return true;
}

void MMIDILearnMenu::Idle(MWindow& window)
{
  if (m_plugin.ProcessMIDILearn())
    m_plugin.ReportStateChangedToHost();
  const std::int32_t waiting = m_plugin.GetMIDILearnParameter();
  if (waiting != m_shownWait)
  {
    // The waiting control and the one that stopped waiting may be anywhere in the editor.
    m_shownWait = waiting;
    window.Invalidate();
  }
}

void MMIDILearnMenu::Close()
{
  if (m_popup != nullptr)
    m_popup->Dismiss();
  m_plugin.StartMIDILearn(-1);
  m_shownWait = -1;
  m_enterValue = nullptr;
}
