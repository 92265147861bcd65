// The adapter's side of MIDI learn and of the controller editor: which parameter an editor
// control stands for, learn notifications turned into assignments, and the lists edited from the
// GUI thread. Everything here runs on the GUI thread; the lists change under the processing lock,
// held only for a copy, which the MIDI handlers of the audio thread merely try.

#include "framework/MAudioEffectPluginToAudioPluginAdapter.h"

#include <algorithm>

void MAudioEffectPluginToAudioPluginAdapter::StartMIDILearn(std::int32_t parameter)
{
  MMIDIControllers::LearnRecord stale;
  while (m_learnQueue.Pop(stale))
  {}
  m_learnParameter = parameter >= 0 && parameter < GetNumParameters() ? parameter : -1;
}

bool MAudioEffectPluginToAudioPluginAdapter::ProcessMIDILearn()
{
  MMIDIControllers::LearnRecord latest;
  bool heard = false;
  for (MMIDIControllers::LearnRecord record; m_learnQueue.Pop(record);)
  {
    latest = record;
    heard = true;
  }
  const std::int32_t parameter = m_learnParameter;
  if (!heard || parameter < 0 || parameter >= GetNumParameters())
    return false;
  m_learnParameter = -1;
  const std::int32_t channel = std::clamp(latest.channel, 0, 16);
  const std::int32_t type = GetParameterType(parameter);
  const bool isSwitch = type == MParameterInfo::kEnumeration || type == MParameterInfo::kBoolean;
  MLockGuard lists(m_processingLock);
  if (latest.controller == MMIDIControllers::kVelocityOn && latest.note >= 0 && isSwitch)
  {
    auto found = std::find_if(m_noteControllers.begin(), m_noteControllers.end(),
                              [&](const MNoteControllerAssignment& c) { return c.parameter == parameter; });
    if (found == m_noteControllers.end())
    {
      if (m_noteControllers.size() >= static_cast<std::size_t>(MControllerSettings::kMaxAssignments))
        return false;
      found = m_noteControllers.insert(m_noteControllers.end(), MNoteControllerAssignment{});
    }
    *found = MNoteControllerAssignment{};
    found->enabled = true;
    found->parameter = parameter;
    found->mode = kNoteSwitch;
    found->channel = channel;
    found->note = std::clamp(latest.note, 0, 127);
    m_noteControllersEnabled = true;
    return true;
  }
  auto found = std::find_if(m_controllers.begin(), m_controllers.end(),
                            [&](const MControllerAssignment& a) { return a.parameter == parameter; });
  if (found == m_controllers.end())
  {
    if (m_controllers.size() >= static_cast<std::size_t>(MControllerSettings::kMaxAssignments))
      return false;
    found = m_controllers.insert(m_controllers.end(), MControllerAssignment{});
  }
  *found = MControllerAssignment{};
  found->enabled = true;
  found->parameter = parameter;
  found->channel = channel;
  found->controller = std::clamp(latest.controller, 0, MMIDIControllers::kVelocityOn);
  found->rangeMode = kRangeInterval;
  found->value = 0.0;
  found->maxValue = 1.0;
  m_controllersEnabled = true;
  return true;
}

bool MAudioEffectPluginToAudioPluginAdapter::HasMIDIAssignment(std::int32_t parameter) const
{
  MLockGuard lists(m_processingLock);
  return std::any_of(m_controllers.begin(), m_controllers.end(),
                     [&](const MControllerAssignment& a) { return a.parameter == parameter; }) ||
         std::any_of(m_noteControllers.begin(), m_noteControllers.end(),
                     [&](const MNoteControllerAssignment& c) { return c.parameter == parameter; });
}

bool MAudioEffectPluginToAudioPluginAdapter::ForgetMIDI(std::int32_t parameter)
{
  MLockGuard lists(m_processingLock);
  const std::size_t before = m_controllers.size() + m_noteControllers.size();
  std::erase_if(m_controllers, [&](const MControllerAssignment& a) { return a.parameter == parameter; });
  std::erase_if(m_noteControllers,
                [&](const MNoteControllerAssignment& c) { return c.parameter == parameter; });
  return m_controllers.size() + m_noteControllers.size() != before;
}

std::vector<MControllerAssignment> MAudioEffectPluginToAudioPluginAdapter::GetControllerAssignments() const
{
  MLockGuard lists(m_processingLock);
  return m_controllers;
}

std::vector<MNoteControllerAssignment>
MAudioEffectPluginToAudioPluginAdapter::GetNoteControllerAssignments() const
{
  MLockGuard lists(m_processingLock);
  return m_noteControllers;
}

void MAudioEffectPluginToAudioPluginAdapter::SetControllerLists(
    std::vector<MControllerAssignment> controllers, std::vector<MNoteControllerAssignment> noteControllers)
{
  const auto cap = static_cast<std::size_t>(MControllerSettings::kMaxAssignments);
  controllers.resize(std::min(controllers.size(), cap));
  noteControllers.resize(std::min(noteControllers.size(), cap));
  MLockGuard lists(m_processingLock);
  m_controllers.swap(controllers);
  m_noteControllers.swap(noteControllers);
}

std::atomic<const MAudioEffectPluginToAudioPluginAdapter::EditorPart*>
    MAudioEffectPluginToAudioPluginAdapter::s_editorPart{nullptr};

void MAudioEffectPluginToAudioPluginAdapter::AttachLearnMenu()
{
  if (const EditorPart* part = s_editorPart.load(std::memory_order_acquire))
    part->AttachLearnMenu(*this);
}

void MAudioEffectPluginToAudioPluginAdapter::DetachLearnMenu()
{
  if (const EditorPart* part = s_editorPart.load(std::memory_order_acquire))
    part->DetachLearnMenu(*this);
}
