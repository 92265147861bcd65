#include "core/plugin/MAudioPluginEditorWindow.h"

#include "base/MException.h"
#include "base/MLockGuard.h"
#include "core/plugin/MPluginParameters.h"
#include "gui/MWindow.h"
#include "gui/MWindowSystemCommon.h"
#include "gui/controls/MContainer.h"
#include "gui/controls/MSheet.h"
#include "gui/controls/MStatic.h"
#include "gui/stml/MSTMLControl.h"

#include <algorithm>

namespace
{
// The window's contents: arranges its parts again after every size change.
class MEditorContents : public MContainer
{
public:
  void Arrange() override { MAudioPluginEditorWindow::ArrangeContents(*this); }
};

// A shared hold of the window's tree lock around a change that takes it itself: the inner release
// then does not free the lock, and this one gives no yield (a yield on a busy machine lets every
// other process run first). GUI thread.
class MTreeHold
{
public:
  explicit MTreeHold(MWindow& window)
      : m_guard(window.GetTreeLock(),
                MSynchronizationObject::kModeShared | MSynchronizationObject::kNoYieldAfterRelease)
  {}

private:
  MSynchronizationObjectGuard m_guard;
};

void Place(MControl* control, const MRect& bounds)
{
  if (control != nullptr)
    control->SetBounds(bounds);
}
} // namespace

MAudioPluginEditorWindow::MAudioPluginEditorWindow(MAudioPlugin& plugin, MWindowSystemCommon& system,
                                                   MNativeHandle parent, MSize size)
    : m_plugin(plugin), m_system(system), m_window(std::make_unique<MWindow>())
{
  // The zoom is known before the window opens: the first picture already has it.
  m_plugin.SetSystemContentScale(m_system.GetContentScale(parent));
  {
    const MTreeHold hold(*m_window);
    m_window->SetScale(m_plugin.ChooseEditorScale());
    m_window->SetSize(size);
  }
  m_size = m_window->ToDevice(size);
  m_window->SetContentScaleHandler([this, parent] {
    m_plugin.SetSystemContentScale(m_system.GetContentScale(parent));
    m_plugin.ApplyEditorScale();
  });
  auto contents = std::make_unique<MEditorContents>();
  contents->SetSize(size);
  m_contents = contents.get();
  m_window->AddChild(std::move(contents));
  m_plugin.CreateEditorContents(*m_contents);
  ArrangeContents(*m_contents);
  m_helpText = DefaultHelp();
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
  return MPluginParameters::ControlId(index);
}

MString MAudioPluginEditorWindow::ValueText(const MAudioPlugin& plugin, std::int32_t index)
{
  MString text = plugin.GetParameterValueName(index);
  const MString units = plugin.GetParameterUnitsName(index);
  if (!units.IsEmpty())
    text = text + MString(" ") + units;
  return text;
}

MString MAudioPluginEditorWindow::DefaultHelp()
{
  return MString("Point at a control to read what it does. Drag a knob up or down (<value>Shift</value> for "
                 "fine steps), double-click it to restore its default, or right-click it for MIDI learn or "
                 "to type a value.");
}

void MAudioPluginEditorWindow::SetHelpText(MSTMLControl& line, const MString& help)
{
  line.SetSTML(MString("<s>") + help + MString("</s>"), true);
}

MString MAudioPluginEditorWindow::HelpFor(const MControl* control)
{
  for (; control != nullptr; control = control->GetParent())
  {
    const MString help = control->GetHelp();
    if (!help.IsEmpty())
      return help;
  }
  return MString();
}

void MAudioPluginEditorWindow::ArrangeContents(MContainer& contents)
{
  // The whole rectangle, not the style's client rectangle: the contents are built before the
  // window opens, when no style reaches them yet, so the first arrangement has no frame; a later
  // one (after a resize) inset by the panel's frame would move every part 5 px in from each edge.
  const MRect area = contents.GetRect();
  const std::int32_t width = area.Width();
  const std::int32_t inner = std::max(1, width - 2 * kMargin);

  MControl* header = contents.FindChild(MString(kHeaderId));
  Place(header, MRect::FromSize(area.left, area.top, width, kHeaderHeight));
  if (header != nullptr)
  {
    Place(header->FindChild(MString("Title")), MRect::FromSize(kMargin + 4, 0, inner / 2, kHeaderHeight));
    Place(header->FindChild(MString("Version")),
          MRect::FromSize(kMargin + inner / 2, 0, inner - inner / 2 - 4, kHeaderHeight));
  }

  std::int32_t bottom = area.bottom;
  if (MControl* help = contents.FindChild(MString(kHelpId)))
  {
    bottom -= kHelpHeight;
    Place(help, MRect::FromSize(area.left + kMargin, bottom + 4, inner, kHelpHeight - 8));
    bottom -= 4;
  }
  MControl* parameters = contents.FindChild(MString(kParametersContainerId));
  if (parameters != nullptr && parameters->IsVisible())
  {
    bottom -= kParametersHeight;
    Place(parameters, MRect::FromSize(area.left + kMargin, bottom, inner, kParametersHeight));
  }
  std::int32_t top = area.top + (header != nullptr ? kHeaderHeight : 0) + kMargin;
  // The preset bar keeps the height its plug-in gave it; the plug-in's controls start below it.
  if (MControl* bar = contents.FindChild(MString(kPresetBarId)); bar != nullptr && bar->IsVisible())
  {
    const std::int32_t height = std::max(1, bar->GetSize().y);
    Place(bar, MRect::FromSize(area.left + kMargin, top, inner, height));
    top += height + 8;
  }
  Place(contents.FindChild(MString(kUserControlsId)),
        MRect::FromSize(area.left + kMargin, top, inner, std::max(1, bottom - top - 6)));
}

void MAudioPluginEditorWindow::RefreshAdapters(MAudioPlugin::AutomationAdapter* const* adapters,
                                               std::int32_t count)
{
  // The adapters' own UpdateEditorControls already brought their controls up to date; the
  // controls invalidate themselves when their text or position changed.
  (void)adapters;
  (void)count;
}

void MAudioPluginEditorWindow::ShowHelpFor(const MControl* control)
{
  m_helpSource = control;
  MString text = HelpFor(control);
  if (text.IsEmpty())
    text = DefaultHelp();
  if (text == m_helpText)
    return;
  auto* help = dynamic_cast<MSTMLControl*>(m_contents->FindChild(MString(kHelpId)));
  if (help == nullptr)
    return;
  m_helpText = text;
  try
  {
    SetHelpText(*help, text);
  }
  catch (const MException&)
  {
    // A malformed help text leaves the line as it was.
  }
}

void MAudioPluginEditorWindow::Idle()
{
  const MControl* hovered = m_window->GetHighlightControl();
  if (hovered != m_helpSource)
    ShowHelpFor(hovered);
  m_system.Idle();
}

void MAudioPluginEditorWindow::SetSize(std::int32_t width, std::int32_t height)
{
  if (width < 1 || height < 1)
    return;
  auto* user = dynamic_cast<MContainer*>(m_contents->FindChild(MString(kUserControlsId)));
  const MSize before = user != nullptr ? user->GetSize() : MSize{};
  m_size = MSize{width, height};
  // The host speaks device pixels; the tree is laid out in logical ones.
  const MSize logical = m_window->FromDevice(m_size);
  {
    const MTreeHold hold(*m_window);
    m_window->SetSize(logical);
  }
  m_contents->SetSize(logical);
  // The plug-in lays its own controls out for their area once: a new area gets new controls.
  if (user != nullptr && user->GetSize() != before)
  {
    m_plugin.ReleaseUserControls();
    user->DeleteChildren();
    m_plugin.CreateUserControls(*user);
  }
  m_contents->Invalidate();
}

MSize MAudioPluginEditorWindow::GetSize() const
{
  return m_size;
}

void MAudioPluginEditorWindow::SetScale(double scale)
{
  const MSize logical = m_window->GetSize();
  {
    const MTreeHold hold(*m_window);
    m_window->SetScale(scale);
  }
  m_size = m_window->ToDevice(logical);
  m_contents->Invalidate();
}

double MAudioPluginEditorWindow::GetScale() const
{
  return m_window->GetScale();
}

bool MAudioPluginEditorWindow::OnHostKey(const MSystemEvent& event)
{
  if (!m_window->IsOpen())
    return false;
  if (m_window->GetFocusControl() == nullptr)
  {
    // An open sheet takes the keys even before anything in it has the focus (Escape closes it).
    const std::vector<MSheet*> sheets = MSheet::SheetsOf(*m_window);
    if (sheets.empty())
      return false;
    MSheet& top = *sheets.back();
    if (event.code == MSystemEvent::KeyDown)
      top.OnKeyDown(event.value, event.modifiers);
    else if (event.code == MSystemEvent::KeyUp)
      top.OnKeyUp(event.value, event.modifiers);
    else if (event.code == MSystemEvent::Character)
      top.OnCharacter(event.value, event.modifiers);
    return true;
  }
  m_window->DispatchSystemEvent(event);
  return true;
}
