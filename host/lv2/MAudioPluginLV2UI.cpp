// The LV2 UI: descriptor callbacks, the editor's window and the port protocol.

#include "host/lv2/MAudioPluginLV2UI.h"

#include "base/MHostCallShield.h"
#include "core/plugin/MAudioPlugin.h"
#include "gui/MWindow.h"
#include "host/lv2/MAudioPluginLV2Adapter.h"
#include "host/lv2/MLV2Description.h"
#include "host/module/MModule.h"
#include "host/module/TonveraModuleInterface.h"

#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/instance-access/instance-access.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace
{
MAudioPluginLV2UI* Self(LV2UI_Handle ui)
{
  return static_cast<MAudioPluginLV2UI*>(ui);
}

const void* FindFeature(const LV2_Feature* const* features, const char* uri)
{
  for (; features != nullptr && *features != nullptr; ++features)
    if ((*features)->URI != nullptr && std::strcmp((*features)->URI, uri) == 0)
      return (*features)->data;
  return nullptr;
}

bool HasFeature(const LV2_Feature* const* features, const char* uri)
{
  for (; features != nullptr && *features != nullptr; ++features)
    if ((*features)->URI != nullptr && std::strcmp((*features)->URI, uri) == 0)
      return true;
  return false;
}

LV2UI_Handle Instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*,
                         LV2UI_Write_Function write, LV2UI_Controller controller, LV2UI_Widget* widget,
                         const LV2_Feature* const* features)
{
  return MAudioPluginAdapter::RunHostCall(
      "MAudioPluginLV2UI::instantiate", static_cast<LV2UI_Handle>(nullptr), [&]() -> LV2UI_Handle {
        // ui:parent carries the X11 window id in the pointer's bits; 0 is no window.
        const auto parent = reinterpret_cast<std::uintptr_t>(FindFeature(features, LV2_UI__parent));
        if (write == nullptr || widget == nullptr || parent == 0 || !HasFeature(features, LV2_UI__parent) ||
            MLV2Description::ChannelsOf(pluginUri) == 0)
          return nullptr;
        auto* instance = static_cast<MAudioPluginLV2Adapter*>(
            const_cast<void*>(FindFeature(features, LV2_INSTANCE_ACCESS_URI)));
        auto ui = std::make_unique<MAudioPluginLV2UI>(
            write, controller, instance,
            static_cast<const LV2UI_Resize*>(FindFeature(features, LV2_UI__resize)),
            static_cast<const LV2UI_Touch*>(FindFeature(features, LV2_UI__touch)),
            static_cast<const LV2_URID_Map*>(FindFeature(features, LV2_URID__map)));
        if (!ui->Open(parent))
          return nullptr;
        *widget = reinterpret_cast<LV2UI_Widget>(ui->GetWidget());
        return ui.release();
      });
}

void Cleanup(LV2UI_Handle ui)
{
  MHostCallShield::Run("MAudioPluginLV2UI::cleanup", [&] { delete Self(ui); });
}

void PortEvent(LV2UI_Handle ui, std::uint32_t port, std::uint32_t size, std::uint32_t format,
               const void* buffer)
{
  MAudioPluginAdapter::RunHostCall("MAudioPluginLV2UI::port_event",
                                   [&] { Self(ui)->PortEvent(port, size, format, buffer); });
}

int Idle(LV2UI_Handle ui)
{
  return MHostCallShield::Run("MAudioPluginLV2UI::idle", 1, [&] { return Self(ui)->Idle(); });
}

int Resize(LV2UI_Feature_Handle ui, int width, int height)
{
  return MAudioPluginAdapter::RunHostCall("MAudioPluginLV2UI::ui_resize", 1,
                                          [&] { return Self(ui)->Resize(width, height); });
}

const void* ExtensionData(const char* uri)
{
  static const LV2UI_Idle_Interface idle = {&Idle};
  static const LV2UI_Resize resize = {nullptr, &Resize};
  if (uri != nullptr && std::strcmp(uri, LV2_UI__idleInterface) == 0)
    return &idle;
  if (uri != nullptr && std::strcmp(uri, LV2_UI__resize) == 0)
    return &resize;
  return nullptr;
}

const LV2UI_Descriptor kDescriptor = {MLV2Description::kUiUri, &Instantiate, &Cleanup, &PortEvent,
                                      &ExtensionData};
} // namespace

const LV2UI_Descriptor* MAudioPluginLV2UI::Descriptor(std::uint32_t index) noexcept
{
  return index == 0 ? &kDescriptor : nullptr;
}

MAudioPluginLV2UI::MAudioPluginLV2UI(LV2UI_Write_Function write, LV2UI_Controller controller,
                                     MAudioPluginLV2Adapter* instance, const LV2UI_Resize* resize,
                                     const LV2UI_Touch* touch, const LV2_URID_Map* map)
    : m_write(write), m_controller(controller), m_instance(instance), m_resize(resize), m_touch(touch),
      m_map(map)
{
  m_reports.BindToThisThread();
  if (map != nullptr)
    m_eventTransfer = map->map(map->handle, LV2_ATOM__eventTransfer);
  // Counted like a plug-in instance: the library and its window system stay while the UI is open,
  // whichever of the two the host ends first.
  MModuleLibrary::AdapterCreated(MModuleLibrary::AdapterKind::kLv2);
}

MAudioPluginLV2UI::~MAudioPluginLV2UI()
{
  MHostCallShield::Run("MAudioPluginLV2UI::~MAudioPluginLV2UI", [&] {
    if (m_plugin != nullptr && m_plugin->GetEditor() != nullptr)
    {
      m_plugin->DestroyEditor();
      // A control held down while the host closed the UI never sees its release.
      m_plugin->EndAllAutomationGestures();
    }
    if (m_instance != nullptr && m_showsInstance)
      m_instance->SetUserInterface(nullptr);
    delete m_mirror;
  });
  MModuleLibrary::AdapterDestroyed(MModuleLibrary::AdapterKind::kLv2);
}

bool MAudioPluginLV2UI::Open(std::uintptr_t parent)
{
  if (m_instance != nullptr)
  {
    m_plugin = &m_instance->GetPlugin();
    if (m_plugin->GetEditor() != nullptr)
      return false; // another UI shows this instance
    m_instance->SetUserInterface(this);
    m_showsInstance = true;
  }
  else
  {
    m_mirror = CreateTonveraMirror();
    if (m_mirror == nullptr)
      return false;
    m_mirror->SetHostFormat(MString("LV2"));
    m_mirror->SetHostAdapter(this);
    m_plugin = m_mirror;
  }
  m_parameters = static_cast<std::uint32_t>(std::max(0, m_plugin->GetNumParameters()));
  m_scales = MLV2Description::ControlScales(*m_plugin);
  m_scales.resize(m_parameters);
  m_written.assign(m_parameters, -1.0f);
  MWindowSystemCommon* system = MModuleLibrary::GetWindowSystem();
  if (system == nullptr || !m_plugin->OpenEditor(*system, static_cast<MNativeHandle>(parent)))
    return false;
  const MAudioPlugin::MEditor* editor = m_plugin->GetEditor();
  const MWindow* window = editor != nullptr ? editor->GetWindow() : nullptr;
  const MWindowDescriptor* descriptor = window != nullptr ? window->GetDescriptor() : nullptr;
  m_widget = descriptor != nullptr ? descriptor->GetHandle() : 0;
  if (m_resize != nullptr && editor != nullptr)
    m_resize->ui_resize(m_resize->handle, editor->GetSize().x, editor->GetSize().y);
  return m_widget != 0;
}

void MAudioPluginLV2UI::PortEvent(std::uint32_t port, std::uint32_t size, std::uint32_t format,
                                  const void* buffer)
{
  if (m_instance != nullptr || buffer == nullptr)
    return;
  if (port == m_parameters + 3 && format != 0 && format == m_eventTransfer)
  {
    ShowIndicator(buffer, size);
    return;
  }
  if (format != 0 || size != sizeof(float))
    return;
  const float value = *static_cast<const float*>(buffer);
  if (!(value == value))
    return;
  if (port < m_parameters)
  {
    const auto index = static_cast<std::int32_t>(port);
    // The host's echo of what the user is dragging would pull the control back.
    if (value == m_written[port] || m_plugin->GetOpenGestureCount(index) > 0)
      return;
    m_plugin->SetParameterIfChanged(index, m_scales[port].ToNormalised(value));
  }
  else if (port == m_parameters) // enabled
    m_plugin->SetBypassed(!(value >= 0.5f));
}

void MAudioPluginLV2UI::ShowIndicator(const void* atom, std::uint32_t size)
{
  const auto* object = static_cast<const LV2_Atom_Object*>(atom);
  if (m_mirror == nullptr || m_map == nullptr || size < sizeof(LV2_Atom_Object) ||
      object->atom.size + sizeof(LV2_Atom) > size ||
      object->atom.type != m_map->map(m_map->handle, LV2_ATOM__Object) ||
      object->body.otype != m_map->map(m_map->handle, MLV2Description::kIndicatorUri))
    return;
  const LV2_URID intType = m_map->map(m_map->handle, LV2_ATOM__Int);
  const LV2_URID doubleType = m_map->map(m_map->handle, LV2_ATOM__Double);
  const LV2_URID chosenKey = m_map->map(m_map->handle, MLV2Description::kChosenNoteUri);
  const LV2_URID inputKey = m_map->map(m_map->handle, MLV2Description::kInputNoteUri);
  const LV2_URID outputKey = m_map->map(m_map->handle, MLV2Description::kOutputNoteUri);
  MAudioPlugin::DisplaySnapshot display;
  int found = 0;
  for (const LV2_Atom_Property_Body* property = lv2_atom_object_begin(&object->body);
       !lv2_atom_object_is_end(&object->body, object->atom.size, property);
       property = lv2_atom_object_next(property))
  {
    if (property->key == chosenKey && property->value.type == intType)
      display.chosenNote = reinterpret_cast<const LV2_Atom_Int*>(&property->value)->body;
    else if (property->key == inputKey && property->value.type == doubleType)
      display.inputNote = reinterpret_cast<const LV2_Atom_Double*>(&property->value)->body;
    else if (property->key == outputKey && property->value.type == doubleType)
      display.outputNote = reinterpret_cast<const LV2_Atom_Double*>(&property->value)->body;
    else
      continue;
    ++found;
  }
  if (found == 3)
    m_mirror->ShowDisplay(display);
}

int MAudioPluginLV2UI::Idle()
{
  if (m_plugin == nullptr || m_plugin->GetEditor() == nullptr)
    return 1;
  DeliverPendingReports();
  m_plugin->IdleEditor();
  return 0;
}

int MAudioPluginLV2UI::Resize(int width, int height)
{
  MAudioPlugin::MEditor* editor = m_plugin != nullptr ? m_plugin->GetEditor() : nullptr;
  if (editor == nullptr || width < 1 || height < 1)
    return 1;
  editor->SetSize(width, height);
  return 0;
}

void MAudioPluginLV2UI::WritePort(std::uint32_t port, float value)
{
  if (port < m_parameters)
    m_written[port] = value;
  m_write(m_controller, port, sizeof(float), 0, &value);
}

void MAudioPluginLV2UI::SendAutomation(std::int32_t index, double value)
{
  MHostCallShield::Run("MAudioPluginLV2UI::SendAutomation", [&] {
    if (index < 0 || static_cast<std::uint32_t>(index) >= m_parameters)
      return;
    if (IsInsideHostCall())
      ReportStateChanged(); // not the user's gesture: the ports are written from the next idle
    else
      WritePort(static_cast<std::uint32_t>(index),
                m_scales[static_cast<std::size_t>(index)].FromNormalised(value));
  });
}

void MAudioPluginLV2UI::SendBypassAutomation(bool bypassed)
{
  MHostCallShield::Run("MAudioPluginLV2UI::SendBypassAutomation",
                       [&] { WritePort(m_parameters, bypassed ? 0.0f : 1.0f); });
}

void MAudioPluginLV2UI::BeginAutomationGesture(std::int32_t index)
{
  if (m_touch != nullptr && index >= 0 && static_cast<std::uint32_t>(index) < m_parameters &&
      !IsInsideHostCall())
    m_touch->touch(m_touch->handle, static_cast<std::uint32_t>(index), true);
}

void MAudioPluginLV2UI::EndAutomationGesture(std::int32_t index)
{
  if (m_touch != nullptr && index >= 0 && static_cast<std::uint32_t>(index) < m_parameters &&
      !IsInsideHostCall())
    m_touch->touch(m_touch->handle, static_cast<std::uint32_t>(index), false);
}

void MAudioPluginLV2UI::GenerateMIDIEvent(std::int32_t, const std::uint8_t[4]) {}

void MAudioPluginLV2UI::ReportLatency() {}

bool MAudioPluginLV2UI::ChangeEditorSize(std::int32_t width, std::int32_t height)
{
  return MHostCallShield::Run("MAudioPluginLV2UI::ChangeEditorSize", false, [&] {
    return m_resize != nullptr && m_resize->ui_resize(m_resize->handle, width, height) == 0;
  });
}

void MAudioPluginLV2UI::ReportProgramChanged()
{
  MHostCallShield::Run("MAudioPluginLV2UI::ReportProgramChanged", [&] { m_reports.ProgramChanged(); });
}

void MAudioPluginLV2UI::ReportStateChanged()
{
  MHostCallShield::Run("MAudioPluginLV2UI::ReportStateChanged", [&] { m_reports.StateChanged(); });
}

void MAudioPluginLV2UI::DeliverPendingReports()
{
  // Port writes belong to the host's UI thread, outside its calls into the UI (port_event,
  // ui:resize).
  MHostCallShield::Run("MAudioPluginLV2UI::DeliverPendingReports", [&] { m_reports.Deliver(); });
}

void MAudioPluginLV2UI::TellHost(std::uint32_t reports)
{
  if ((reports & MHostReportQueue::kStateChanged) == 0)
    return;
  for (std::uint32_t port = 0; port < m_parameters; ++port)
    WritePort(port, m_scales[port].FromNormalised(m_plugin->GetParameter(static_cast<std::int32_t>(port))));
}
