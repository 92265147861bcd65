#include "tools/host/MTestHostLv2.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/instance-access/instance-access.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>
#include <lv2/port-groups/port-groups.h>
#include <lv2/presets/presets.h>
#include <lv2/state/state.h>
#include <lv2/ui/ui.h>
#include <lv2/units/units.h>
#include <lv2/urid/urid.h>

#include <dlfcn.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <utility>

namespace
{
constexpr std::size_t kAtomCapacity = 8192;

/// A lilv node freed when it goes out of scope.
struct Node
{
  LilvNode* node = nullptr;
  explicit Node(LilvNode* n) : node(n) {}
  ~Node() { lilv_node_free(node); }
  Node(const Node&) = delete;
  Node& operator=(const Node&) = delete;
  std::string Text() const { return node != nullptr ? lilv_node_as_string(node) : ""; }
};
} // namespace

struct MTestHostLv2::Impl
{
  LilvWorld* world = lilv_world_new();
  const LilvPlugin* plugin = nullptr;
  LilvInstance* instance = nullptr;
  bool active = false;

  // urid:map and unmap over one list of URIs (URID = position + 1).
  std::vector<std::string> uris;
  LV2_URID_Map map{this, &Map};
  LV2_URID_Unmap unmap{this, &Unmap};
  LV2_Feature mapFeature{LV2_URID__map, &map};
  LV2_Feature unmapFeature{LV2_URID__unmap, &unmap};
  LV2_Feature boundedFeature{LV2_BUF_SIZE__boundedBlockLength, nullptr};
  std::int32_t maxBlock = 0;
  std::int32_t minBlock = 0;
  std::vector<LV2_Options_Option> options;
  LV2_Feature optionsFeature{LV2_OPTIONS__options, nullptr};

  // One buffer per port: a float for control ports, a block for audio, an atom sequence.
  std::vector<float> controls;
  std::vector<int> controlInputs; // port numbers of the control inputs
  int latencyPort = -1;
  std::vector<int> audioIn;
  std::vector<int> audioOut;
  int atomIn = -1;
  int atomOut = -1;
  int midiOut = -1;
  std::vector<std::uint64_t> atomInBuffer = std::vector<std::uint64_t>(kAtomCapacity / 8);
  std::vector<std::uint64_t> atomOutBuffer = std::vector<std::uint64_t>(kAtomCapacity / 8);
  std::vector<std::uint64_t> midiOutBuffer = std::vector<std::uint64_t>(kAtomCapacity / 8);
  std::vector<MTestHostMidiEvent> midiReceived;
  std::vector<MTestHostMidiEvent> pendingMidi;

  // The UI.
  void* uiLibrary = nullptr;
  const LV2UI_Descriptor* uiDescriptor = nullptr;
  LV2UI_Handle ui = nullptr;
  LV2UI_Widget widget = nullptr;
  const LV2UI_Idle_Interface* uiIdle = nullptr;
  std::vector<MTestHostEdit> edits;
  // Events of the atom output, kept by Process (any thread) for the UI's next idle, as a host
  // hands them over to its UI thread.
  std::mutex notifyLock;
  std::vector<std::vector<std::uint8_t>> notifications;

  static LV2_URID Map(LV2_URID_Map_Handle handle, const char* uri)
  {
    auto* self = static_cast<Impl*>(handle);
    const auto found = std::find(self->uris.begin(), self->uris.end(), uri);
    if (found != self->uris.end())
      return static_cast<LV2_URID>(found - self->uris.begin() + 1);
    self->uris.emplace_back(uri);
    return static_cast<LV2_URID>(self->uris.size());
  }
  static const char* Unmap(LV2_URID_Unmap_Handle handle, LV2_URID urid)
  {
    auto* self = static_cast<Impl*>(handle);
    return urid >= 1 && urid <= self->uris.size() ? self->uris[urid - 1].c_str() : nullptr;
  }

  bool PortIs(const LilvPort* port, const char* classUri) const
  {
    const Node type(lilv_new_uri(world, classUri));
    return lilv_port_is_a(plugin, port, type.node);
  }

  void ClearAtomIn()
  {
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(atomInBuffer.data());
    sequence->atom.type = Map(this, LV2_ATOM__Sequence);
    sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
    sequence->body.unit = 0;
    sequence->body.pad = 0;
  }

  void PrepareAtomOut()
  {
    for (std::vector<std::uint64_t>* buffer : {&atomOutBuffer, &midiOutBuffer})
    {
      auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(buffer->data());
      sequence->atom.type = Map(this, LV2_ATOM__Chunk);
      sequence->atom.size = kAtomCapacity - sizeof(LV2_Atom);
    }
  }

  int PortOf(const char* symbol) const
  {
    const Node node(lilv_new_string(world, symbol));
    const LilvPort* port = lilv_plugin_get_port_by_symbol(plugin, node.node);
    return port != nullptr ? static_cast<int>(lilv_port_get_index(plugin, port)) : -1;
  }
  static void SetPortValue(const char* symbol, void* handle, const void* value, std::uint32_t size,
                           std::uint32_t type)
  {
    auto* self = static_cast<Impl*>(handle);
    const int port = self->PortOf(symbol);
    if (port < 0 || value == nullptr)
      return;
    float number = 0.0f;
    if (type == Map(self, LV2_ATOM__Float) && size == sizeof(float))
      number = *static_cast<const float*>(value);
    else if (type == Map(self, LV2_ATOM__Double) && size == sizeof(double))
      number = static_cast<float>(*static_cast<const double*>(value));
    else if ((type == Map(self, LV2_ATOM__Int) || type == Map(self, LV2_ATOM__Bool)) &&
             size == sizeof(std::int32_t))
      number = static_cast<float>(*static_cast<const std::int32_t*>(value));
    else
      return;
    self->controls[static_cast<std::size_t>(port)] = number;
  }
  static const void* GetPortValue(const char* symbol, void* handle, std::uint32_t* size, std::uint32_t* type)
  {
    auto* self = static_cast<Impl*>(handle);
    const int port = self->PortOf(symbol);
    if (port < 0 ||
        std::find(self->controlInputs.begin(), self->controlInputs.end(), port) == self->controlInputs.end())
      return nullptr;
    *size = sizeof(float);
    *type = Map(self, LV2_ATOM__Float);
    return &self->controls[static_cast<std::size_t>(port)];
  }
  bool Restore(LilvState* state, bool portsOnly)
  {
    if (state == nullptr || instance == nullptr)
    {
      lilv_state_free(state);
      return false;
    }
    const LV2_Feature* features[] = {&mapFeature, &unmapFeature, nullptr};
    lilv_state_restore(state, portsOnly ? nullptr : instance, &SetPortValue, this, 0, features);
    lilv_state_free(state);
    return true;
  }

  static void Write(LV2UI_Controller controller, std::uint32_t port, std::uint32_t size,
                    std::uint32_t protocol, const void* buffer)
  {
    auto* self = static_cast<Impl*>(controller);
    if (protocol != 0 || size != sizeof(float) || port >= self->controls.size())
      return;
    const float value = *static_cast<const float*>(buffer);
    self->controls[port] = value;
    self->edits.push_back({MTestHostEdit::Kind::Perform, static_cast<int>(port), value});
  }
  static void Touch(LV2UI_Feature_Handle handle, std::uint32_t port, bool grabbed)
  {
    static_cast<Impl*>(handle)->edits.push_back(
        {grabbed ? MTestHostEdit::Kind::Begin : MTestHostEdit::Kind::End, static_cast<int>(port), 0.0f});
  }
  static int UiResize(LV2UI_Feature_Handle, int width, int height) { return width > 0 && height > 0 ? 0 : 1; }
  LV2UI_Touch touch{this, &Touch};
  LV2UI_Resize resize{this, &UiResize};

  // State through the plug-in's interface: one property kept as bytes.
  struct StateRecord
  {
    Impl* self;
    std::vector<std::uint8_t> bytes;
    std::uint32_t key = 0;
    std::uint32_t type = 0;
    int properties = 0;
  };
  static LV2_State_Status Store(LV2_State_Handle handle, std::uint32_t key, const void* value,
                                std::size_t size, std::uint32_t type, std::uint32_t)
  {
    auto* record = static_cast<StateRecord*>(handle);
    const auto* bytes = static_cast<const std::uint8_t*>(value);
    record->bytes.assign(bytes, bytes + size);
    record->key = key;
    record->type = type;
    ++record->properties;
    return LV2_STATE_SUCCESS;
  }
  static const void* Retrieve(LV2_State_Handle handle, std::uint32_t key, std::size_t* size,
                              std::uint32_t* type, std::uint32_t* flags)
  {
    auto* record = static_cast<StateRecord*>(handle);
    if (key != record->key)
      return nullptr;
    *size = record->bytes.size();
    *type = record->type;
    *flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
    return record->bytes.data();
  }
  std::uint32_t StateKey() { return Map(this, "https://tonvera.example/lv2/tonvera#state"); }
};

MTestHostLv2::MTestHostLv2() : m_impl(std::make_unique<Impl>()) {}

MTestHostLv2::~MTestHostLv2()
{
  Close();
  lilv_world_free(m_impl->world);
}

MTestHostStatus MTestHostLv2::LoadModule(const std::string& uri)
{
  Close();
  lilv_world_load_all(m_impl->world);
  const Node node(lilv_new_uri(m_impl->world, uri.c_str()));
  m_impl->plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(m_impl->world), node.node);
  if (m_impl->plugin == nullptr)
  {
    m_lastError = "no plug-in " + uri + " in LV2_PATH";
    return MTestHostStatus::ModuleNotFound;
  }
  m_lastError.clear();
  return MTestHostStatus::Ok;
}

bool MTestHostLv2::IsLoaded() const
{
  return m_impl->plugin != nullptr;
}

bool MTestHostLv2::Activate(double sampleRateHz, int maxBlockSamples)
{
  Impl& s = *m_impl;
  if (s.plugin == nullptr || s.instance != nullptr)
    return false;
  s.maxBlock = maxBlockSamples;
  s.minBlock = 1;
  const LV2_URID intType = Impl::Map(&s, LV2_ATOM__Int);
  s.options.clear();
  if (maxBlockSamples > 0)
  {
    s.options.push_back({LV2_OPTIONS_INSTANCE, 0, Impl::Map(&s, LV2_BUF_SIZE__maxBlockLength),
                         sizeof(std::int32_t), intType, &s.maxBlock});
    s.options.push_back({LV2_OPTIONS_INSTANCE, 0, Impl::Map(&s, LV2_BUF_SIZE__minBlockLength),
                         sizeof(std::int32_t), intType, &s.minBlock});
  }
  s.options.push_back({LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr});
  s.optionsFeature.data = s.options.data();
  const LV2_Feature* features[] = {&s.mapFeature, &s.unmapFeature, &s.optionsFeature,
                                   maxBlockSamples > 0 ? &s.boundedFeature : nullptr, nullptr};
  s.instance = lilv_plugin_instantiate(s.plugin, sampleRateHz, features);
  if (s.instance == nullptr)
  {
    m_lastError = "the plug-in refused to instantiate";
    return false;
  }
  const std::uint32_t ports = lilv_plugin_get_num_ports(s.plugin);
  s.controls.assign(ports, 0.0f);
  s.controlInputs.clear();
  s.audioIn.clear();
  s.audioOut.clear();
  s.latencyPort = s.atomIn = s.atomOut = s.midiOut = -1;
  s.midiReceived.reserve(1024);
  const Node midiEvent(lilv_new_uri(s.world, LV2_MIDI__MidiEvent));
  for (std::uint32_t index = 0; index < ports; ++index)
  {
    const LilvPort* port = lilv_plugin_get_port_by_index(s.plugin, index);
    const bool input = s.PortIs(port, LV2_CORE__InputPort);
    const int number = static_cast<int>(index);
    if (s.PortIs(port, LV2_CORE__ControlPort))
    {
      LilvNode* defaultValue = nullptr;
      lilv_port_get_range(s.plugin, port, &defaultValue, nullptr, nullptr);
      s.controls[index] = defaultValue != nullptr ? lilv_node_as_float(defaultValue) : 0.0f;
      lilv_node_free(defaultValue);
      lilv_instance_connect_port(s.instance, index, &s.controls[index]);
      if (input)
        s.controlInputs.push_back(number);
      else
        s.latencyPort = number;
    }
    else if (s.PortIs(port, LV2_CORE__AudioPort))
      (input ? s.audioIn : s.audioOut).push_back(number);
    else if (s.PortIs(port, LV2_ATOM__AtomPort))
    {
      const bool midi = !input && lilv_port_supports_event(s.plugin, port, midiEvent.node);
      (input ? s.atomIn : midi ? s.midiOut : s.atomOut) = number;
      lilv_instance_connect_port(s.instance, index,
                                 input  ? s.atomInBuffer.data()
                                 : midi ? s.midiOutBuffer.data()
                                        : s.atomOutBuffer.data());
    }
  }
  lilv_instance_activate(s.instance);
  s.active = true;
  // An empty block sets the latency port.
  return Process(nullptr, nullptr, 0);
}

bool MTestHostLv2::Deactivate()
{
  if (m_impl->instance == nullptr || !m_impl->active)
    return false;
  lilv_instance_deactivate(m_impl->instance);
  m_impl->active = false;
  return true;
}

bool MTestHostLv2::Process(float** inputs, float** outputs, int samples)
{
  Impl& s = *m_impl;
  if (s.instance == nullptr || !s.active || samples < 0)
    return false;
  for (std::size_t c = 0; c < s.audioIn.size(); ++c)
    lilv_instance_connect_port(s.instance, static_cast<std::uint32_t>(s.audioIn[c]),
                               inputs != nullptr ? inputs[c] : nullptr);
  for (std::size_t c = 0; c < s.audioOut.size(); ++c)
    lilv_instance_connect_port(s.instance, static_cast<std::uint32_t>(s.audioOut[c]),
                               outputs != nullptr ? outputs[c] : nullptr);
  s.ClearAtomIn();
  auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(s.atomInBuffer.data());
  for (const MTestHostMidiEvent& midi : s.pendingMidi)
  {
    struct
    {
      LV2_Atom_Event event;
      std::uint8_t bytes[8];
    } record = {};
    record.event.time.frames = midi.sampleOffset;
    record.event.body.type = Impl::Map(&s, LV2_MIDI__MidiEvent);
    record.event.body.size = 3;
    std::memcpy(record.bytes, midi.bytes, 3);
    lv2_atom_sequence_append_event(sequence, kAtomCapacity - sizeof(LV2_Atom), &record.event);
  }
  s.pendingMidi.clear();
  s.PrepareAtomOut();
  lilv_instance_run(s.instance, static_cast<std::uint32_t>(samples));
  const auto* midi = reinterpret_cast<const LV2_Atom_Sequence*>(s.midiOutBuffer.data());
  if (s.midiOut >= 0 && midi->atom.type == Impl::Map(&s, LV2_ATOM__Sequence))
    for (const LV2_Atom_Event* event = lv2_atom_sequence_begin(&midi->body);
         !lv2_atom_sequence_is_end(&midi->body, midi->atom.size, event);
         event = lv2_atom_sequence_next(event))
    {
      MTestHostMidiEvent received{static_cast<int>(event->time.frames), {}};
      if (event->body.type == Impl::Map(&s, LV2_MIDI__MidiEvent))
        std::memcpy(received.bytes, event + 1,
                    std::min<std::size_t>(event->body.size, sizeof received.bytes));
      s.midiReceived.push_back(received);
    }
  const auto* out = reinterpret_cast<const LV2_Atom_Sequence*>(s.atomOutBuffer.data());
  // Kept only while a UI is open: without one, processing allocates nothing here either.
  if (s.ui != nullptr && s.atomOut >= 0 && out->atom.type == Impl::Map(&s, LV2_ATOM__Sequence))
  {
    const std::lock_guard<std::mutex> lock(s.notifyLock);
    for (const LV2_Atom_Event* event = lv2_atom_sequence_begin(&out->body);
         !lv2_atom_sequence_is_end(&out->body, out->atom.size, event); event = lv2_atom_sequence_next(event))
    {
      const auto* bytes = reinterpret_cast<const std::uint8_t*>(&event->body);
      s.notifications.emplace_back(bytes, bytes + sizeof(LV2_Atom) + event->body.size);
    }
  }
  return true;
}

void MTestHostLv2::Close()
{
  CloseUi();
  if (m_impl->instance != nullptr)
  {
    Deactivate();
    lilv_instance_free(m_impl->instance);
    m_impl->instance = nullptr;
  }
}

int MTestHostLv2::NumInputs() const
{
  return static_cast<int>(m_impl->audioIn.size());
}

int MTestHostLv2::NumOutputs() const
{
  return static_cast<int>(m_impl->audioOut.size());
}

int MTestHostLv2::NumParameters() const
{
  return static_cast<int>(m_impl->controlInputs.size());
}

int MTestHostLv2::LatencySamples() const
{
  return m_impl->latencyPort >= 0
             ? static_cast<int>(m_impl->controls[static_cast<std::size_t>(m_impl->latencyPort)])
             : 0;
}

float MTestHostLv2::GetParameter(int index)
{
  if (index < 0 || index >= NumParameters())
    return 0.0f;
  return m_impl->controls[static_cast<std::size_t>(m_impl->controlInputs[static_cast<std::size_t>(index)])];
}

void MTestHostLv2::SetParameter(int index, float value)
{
  if (index >= 0 && index < NumParameters())
    m_impl->controls[static_cast<std::size_t>(m_impl->controlInputs[static_cast<std::size_t>(index)])] =
        value;
}

std::string MTestHostLv2::ParameterName(int index)
{
  const std::vector<PortInfo> ports = Ports();
  if (index < 0 || index >= NumParameters())
    return "";
  return ports[static_cast<std::size_t>(m_impl->controlInputs[static_cast<std::size_t>(index)])].name;
}

std::string MTestHostLv2::ParameterDisplay(int)
{
  return ""; // LV2 hosts draw the number themselves
}

std::vector<std::uint8_t> MTestHostLv2::GetState()
{
  Impl& s = *m_impl;
  const auto* state = s.instance != nullptr
                          ? static_cast<const LV2_State_Interface*>(
                                lilv_instance_get_extension_data(s.instance, LV2_STATE__interface))
                          : nullptr;
  if (state == nullptr)
    return {};
  Impl::StateRecord record{&s, {}, 0, 0, 0};
  const LV2_Feature* features[] = {&s.mapFeature, nullptr};
  if (state->save(lilv_instance_get_handle(s.instance), &Impl::Store, &record, LV2_STATE_IS_POD, features) !=
          LV2_STATE_SUCCESS ||
      record.properties != 1 || record.key != s.StateKey() || record.type != Impl::Map(&s, LV2_ATOM__Chunk))
    return {};
  return record.bytes;
}

bool MTestHostLv2::SetState(const std::vector<std::uint8_t>& bytes)
{
  Impl& s = *m_impl;
  const auto* state = s.instance != nullptr
                          ? static_cast<const LV2_State_Interface*>(
                                lilv_instance_get_extension_data(s.instance, LV2_STATE__interface))
                          : nullptr;
  if (state == nullptr)
    return false;
  Impl::StateRecord record{&s, bytes, s.StateKey(), Impl::Map(&s, LV2_ATOM__Chunk), 1};
  const LV2_Feature* features[] = {&s.mapFeature, nullptr};
  return state->restore(lilv_instance_get_handle(s.instance), &Impl::Retrieve, &record, 0, features) ==
         LV2_STATE_SUCCESS;
}

bool MTestHostLv2::SendMidi(const std::vector<MTestHostMidiEvent>& events)
{
  m_impl->pendingMidi.insert(m_impl->pendingMidi.end(), events.begin(), events.end());
  return true;
}

std::vector<std::pair<std::string, std::string>> MTestHostLv2::Presets()
{
  Impl& s = *m_impl;
  std::vector<std::pair<std::string, std::string>> presets;
  if (s.plugin == nullptr)
    return presets;
  const Node presetClass(lilv_new_uri(s.world, LV2_PRESETS__Preset));
  const Node label(lilv_new_uri(s.world, LILV_NS_RDFS "label"));
  LilvNodes* related = lilv_plugin_get_related(s.plugin, presetClass.node);
  LILV_FOREACH(nodes, i, related)
  {
    const LilvNode* preset = lilv_nodes_get(related, i);
    lilv_world_load_resource(s.world, preset);
    presets.emplace_back(lilv_node_as_uri(preset),
                         Node(lilv_world_get(s.world, preset, label.node, nullptr)).Text());
  }
  lilv_nodes_free(related);
  return presets;
}

bool MTestHostLv2::LoadPreset(const std::string& uri, bool portsOnly)
{
  Impl& s = *m_impl;
  const Node preset(lilv_new_uri(s.world, uri.c_str()));
  lilv_world_load_resource(s.world, preset.node);
  return s.Restore(lilv_state_new_from_world(s.world, &s.map, preset.node), portsOnly);
}

bool MTestHostLv2::SaveStateFile(const std::string& folder)
{
  Impl& s = *m_impl;
  if (s.instance == nullptr)
    return false;
  const LV2_Feature* features[] = {&s.mapFeature, &s.unmapFeature, nullptr};
  LilvState* state = lilv_state_new_from_instance(s.plugin, s.instance, &s.map, nullptr, nullptr, nullptr,
                                                  nullptr, &Impl::GetPortValue, &s,
                                                  LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE, features);
  const bool saved = state != nullptr && lilv_state_save(s.world, &s.map, &s.unmap, state, nullptr,
                                                         folder.c_str(), "state.ttl") == 0;
  lilv_state_free(state);
  return saved;
}

bool MTestHostLv2::LoadStateFile(const std::string& path)
{
  Impl& s = *m_impl;
  return s.Restore(lilv_state_new_from_file(s.world, &s.map, nullptr, path.c_str()), false);
}

std::vector<MTestHostMidiEvent> MTestHostLv2::TakeMidiOutput()
{
  std::vector<MTestHostMidiEvent> events;
  events.swap(m_impl->midiReceived);
  m_impl->midiReceived.reserve(1024);
  return events;
}

std::vector<MTestHostLv2::PortInfo> MTestHostLv2::Ports() const
{
  const Impl& s = *m_impl;
  std::vector<PortInfo> result;
  if (s.plugin == nullptr)
    return result;
  const Node groupPredicate(lilv_new_uri(s.world, LV2_PORT_GROUPS__group));
  const Node designationPredicate(lilv_new_uri(s.world, LV2_CORE__designation));
  const Node symbolPredicate(lilv_new_uri(s.world, LV2_CORE__symbol));
  const Node unitPredicate(lilv_new_uri(s.world, LV2_UNITS__unit));
  auto texts = [](const LilvNodes* nodes) {
    std::vector<std::string> list;
    LILV_FOREACH(nodes, i, nodes)
    list.emplace_back(lilv_node_as_string(lilv_nodes_get(nodes, i)));
    return list;
  };
  for (std::uint32_t index = 0; index < lilv_plugin_get_num_ports(s.plugin); ++index)
  {
    const LilvPort* port = lilv_plugin_get_port_by_index(s.plugin, index);
    PortInfo info;
    info.symbol = lilv_node_as_string(lilv_port_get_symbol(s.plugin, port));
    info.name = Node(lilv_port_get_name(s.plugin, port)).Text();
    LilvNode* defaultValue = nullptr;
    LilvNode* minimum = nullptr;
    LilvNode* maximum = nullptr;
    lilv_port_get_range(s.plugin, port, &defaultValue, &minimum, &maximum);
    info.defaultValue = defaultValue != nullptr ? lilv_node_as_float(defaultValue) : 0.0f;
    info.minimum = minimum != nullptr ? lilv_node_as_float(minimum) : 0.0f;
    info.maximum = maximum != nullptr ? lilv_node_as_float(maximum) : 0.0f;
    lilv_node_free(defaultValue);
    lilv_node_free(minimum);
    lilv_node_free(maximum);
    info.classes = texts(lilv_port_get_classes(s.plugin, port));
    LilvNodes* properties = lilv_port_get_properties(s.plugin, port);
    info.properties = texts(properties);
    lilv_nodes_free(properties);
    info.designation = Node(lilv_port_get(s.plugin, port, designationPredicate.node)).Text();
    info.unit = Node(lilv_port_get(s.plugin, port, unitPredicate.node)).Text();
    LilvScalePoints* points = lilv_port_get_scale_points(s.plugin, port);
    LILV_FOREACH(scale_points, i, points)
    {
      const LilvScalePoint* point = lilv_scale_points_get(points, i);
      info.points.emplace_back(lilv_node_as_float(lilv_scale_point_get_value(point)),
                               lilv_node_as_string(lilv_scale_point_get_label(point)));
    }
    lilv_scale_points_free(points);
    // The library keeps a port's scale points in no meaningful order (it sorts them by address).
    std::sort(info.points.begin(), info.points.end());
    const Node group(lilv_port_get(s.plugin, port, groupPredicate.node));
    if (group.node != nullptr)
      info.group = Node(lilv_world_get(s.world, group.node, symbolPredicate.node, nullptr)).Text();
    result.push_back(std::move(info));
  }
  return result;
}

bool MTestHostLv2::OpenUi(unsigned long parent, bool instanceAccess)
{
  Impl& s = *m_impl;
  if (s.instance == nullptr || s.ui != nullptr)
    return false;
  LilvUIs* uis = lilv_plugin_get_uis(s.plugin);
  const LilvUI* ui =
      uis != nullptr && lilv_uis_size(uis) > 0 ? lilv_uis_get(uis, lilv_uis_begin(uis)) : nullptr;
  if (ui == nullptr)
  {
    lilv_uis_free(uis);
    m_lastError = "the plug-in has no UI";
    return false;
  }
  const std::string uiUri = lilv_node_as_uri(lilv_ui_get_uri(ui));
  char* binary = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_binary_uri(ui)), nullptr);
  char* bundle = lilv_file_uri_parse(lilv_node_as_uri(lilv_ui_get_bundle_uri(ui)), nullptr);
  const std::string bundlePath = bundle != nullptr ? bundle : "";
  s.uiLibrary = binary != nullptr ? dlopen(binary, RTLD_NOW | RTLD_LOCAL) : nullptr;
  lilv_free(binary);
  lilv_free(bundle);
  lilv_uis_free(uis);
  using Entry = const LV2UI_Descriptor* (*)(std::uint32_t);
  auto entry =
      s.uiLibrary != nullptr ? reinterpret_cast<Entry>(dlsym(s.uiLibrary, "lv2ui_descriptor")) : nullptr;
  for (std::uint32_t index = 0; entry != nullptr; ++index)
  {
    const LV2UI_Descriptor* descriptor = entry(index);
    if (descriptor == nullptr || uiUri == descriptor->URI)
    {
      s.uiDescriptor = descriptor;
      break;
    }
  }
  if (s.uiDescriptor == nullptr)
  {
    m_lastError = "the UI's binary has no descriptor " + uiUri;
    CloseUi();
    return false;
  }
  LV2_Feature parentFeature{LV2_UI__parent, reinterpret_cast<void*>(static_cast<std::uintptr_t>(parent))};
  LV2_Feature idleFeature{LV2_UI__idleInterface, nullptr};
  LV2_Feature touchFeature{LV2_UI__touch, &s.touch};
  LV2_Feature resizeFeature{LV2_UI__resize, &s.resize};
  LV2_Feature instanceFeature{LV2_INSTANCE_ACCESS_URI, lilv_instance_get_handle(s.instance)};
  const LV2_Feature* features[] = {&s.mapFeature,
                                   &s.unmapFeature,
                                   &parentFeature,
                                   &idleFeature,
                                   &touchFeature,
                                   &resizeFeature,
                                   instanceAccess ? &instanceFeature : nullptr,
                                   nullptr};
  s.ui = s.uiDescriptor->instantiate(s.uiDescriptor, lilv_node_as_uri(lilv_plugin_get_uri(s.plugin)),
                                     bundlePath.c_str(), &Impl::Write, &s, &s.widget, features);
  if (s.ui == nullptr)
  {
    m_lastError = "the UI refused to instantiate";
    CloseUi();
    return false;
  }
  s.uiIdle = static_cast<const LV2UI_Idle_Interface*>(
      s.uiDescriptor->extension_data != nullptr ? s.uiDescriptor->extension_data(LV2_UI__idleInterface)
                                                : nullptr);
  // A host tells a new UI every control port's value.
  for (std::size_t index = 0; index < s.controls.size(); ++index)
    NotifyUi(static_cast<int>(index));
  return true;
}

bool MTestHostLv2::IdleUi()
{
  Impl& s = *m_impl;
  std::vector<std::vector<std::uint8_t>> notifications;
  {
    const std::lock_guard<std::mutex> lock(s.notifyLock);
    notifications.swap(s.notifications);
  }
  const LV2_URID eventTransfer = Impl::Map(&s, LV2_ATOM__eventTransfer);
  for (const std::vector<std::uint8_t>& atom : notifications)
    if (s.ui != nullptr && s.uiDescriptor->port_event != nullptr)
      s.uiDescriptor->port_event(s.ui, static_cast<std::uint32_t>(s.atomOut),
                                 static_cast<std::uint32_t>(atom.size()), eventTransfer, atom.data());
  return s.ui != nullptr && s.uiIdle != nullptr && s.uiIdle->idle(s.ui) == 0;
}

void MTestHostLv2::CloseUi()
{
  Impl& s = *m_impl;
  if (s.ui != nullptr && s.uiDescriptor != nullptr)
    s.uiDescriptor->cleanup(s.ui);
  s.ui = nullptr;
  s.widget = nullptr;
  s.uiIdle = nullptr;
  s.uiDescriptor = nullptr;
  if (s.uiLibrary != nullptr)
    dlclose(s.uiLibrary);
  s.uiLibrary = nullptr;
}

unsigned long MTestHostLv2::UiWidget() const
{
  return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(m_impl->widget));
}

std::vector<MTestHostEdit> MTestHostLv2::TakeEdits()
{
  return std::exchange(m_impl->edits, {});
}

void MTestHostLv2::NotifyUi(int index)
{
  Impl& s = *m_impl;
  if (s.ui != nullptr && s.uiDescriptor->port_event != nullptr && index >= 0 &&
      static_cast<std::size_t>(index) < s.controls.size())
    s.uiDescriptor->port_event(s.ui, static_cast<std::uint32_t>(index), sizeof(float), 0,
                               &s.controls[static_cast<std::size_t>(index)]);
}
