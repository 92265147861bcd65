#include "core/plugin/MAudioPluginEditorWindow.h"

#include "gui/MWindow.h"
#include "gui/MWindowSystemCommon.h"
#include "gui/controls/MContainer.h"
#include "gui/controls/MStatic.h"

MAudioPluginEditorWindow::MAudioPluginEditorWindow(MAudioPlugin& plugin, MWindowSystemCommon& system,
                                                   MNativeHandle parent, MSize size)
    : m_plugin(plugin), m_system(system), m_window(std::make_unique<MWindow>())
{
  m_window->SetSize(size);
  auto contents = std::make_unique<MContainer>();
  contents->SetSize(size);
  m_contents = contents.get();
  m_window->AddChild(std::move(contents));
  m_plugin.CreateEditorContents(*m_contents);
  m_window->Open(m_system, parent);
  // The first picture goes out at once: a host may not pump before it shows its window.
  if (MWindowDescriptor* descriptor = m_window->GetDescriptor())
    m_system.UpdateNow(*descriptor);
}

MAudioPluginEditorWindow::~MAudioPluginEditorWindow()
{
  m_window->Close();
  m_window.reset();
}

MString MAudioPluginEditorWindow::ValueId(std::int32_t index)
{
  return MString("value") + MString::FromInteger(index);
}

MString MAudioPluginEditorWindow::ValueText(const MAudioPlugin& plugin, std::int32_t index)
{
  MString text = plugin.GetParameterValueName(index);
  const MString units = plugin.GetParameterUnitsName(index);
  if (!units.IsEmpty())
    text = text + MString(" ") + units;
  return text;
}

void MAudioPluginEditorWindow::RefreshAdapters(MAudioPlugin::AutomationAdapter* const* adapters,
                                               std::int32_t count)
{
  if (adapters == nullptr)
    return;
  for (std::int32_t position = 0; position < count; ++position)
  {
    const MAudioPlugin::AutomationAdapter* adapter = adapters[position];
    if (adapter == nullptr)
      continue;
    for (std::int32_t slot = 0; slot < adapter->GetCount(); ++slot)
    {
      const std::int32_t index = adapter->GetFirstIndex() + slot;
      if (auto* row = dynamic_cast<MStatic*>(m_contents->FindChild(ValueId(index))))
        row->SetText(ValueText(m_plugin, index));
    }
  }
  m_contents->Invalidate();
}

void MAudioPluginEditorWindow::Idle()
{
  m_system.Idle();
}

void MAudioPluginEditorWindow::SetSize(std::int32_t width, std::int32_t height)
{
  if (width < 1 || height < 1)
    return;
  m_window->SetSize(MSize{width, height});
  m_contents->SetSize(MSize{width, height});
  m_contents->Invalidate();
}

MSize MAudioPluginEditorWindow::GetSize() const
{
  return m_window->GetSize();
}

bool MAudioPluginEditorWindow::OnHostKey(const MSystemEvent& event)
{
  if (!m_window->IsOpen() || m_window->GetFocusControl() == nullptr)
    return false;
  m_window->DispatchSystemEvent(event);
  return true;
}
