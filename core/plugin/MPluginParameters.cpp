#include "core/plugin/MPluginParameters.h"

#include "base/MValue.h"
#include "core/parameters/MParameterInfo.h"
#include "gui/controls/MControlUtility.h"
#include "gui/controls/MKnob.h"
#include "gui/controls/MStatic.h"
#include "gui/controls/MSwitcher.h"

#include <algorithm>
#include <cmath>

namespace
{
// The value a parameter control edits: a normalised position that mirrors host slot `index`.
// Texts come from the plug-in (display text and units of the slot), so the knob shows exactly
// what a host shows. The control writes the position; the panel hands it to the plug-in.
class MSlotValue : public MValue
{
public:
  MSlotValue(MAudioPlugin& plugin, std::int32_t index, std::int32_t steps)
      : m_plugin(plugin), m_index(index), m_steps(steps >= 2 ? steps : 0)
  {
    Sync();
  }

  /// Takes the slot's current value.
  void Sync() { m_position = Snap(m_plugin.GetParameter(m_index)); }

  MString ToString() const override { return MString::FromDouble(m_position, 6); }
  void FromString(const MString& text) override { Write(text.ToDouble()); }
  bool SetDefault() override { return Write(m_plugin.GetParameterDefaultValue(m_index)); }
  bool Save(MXmlItem&) const override { return false; }
  void Load(const MXmlItem&) override {}
  void LoadDefinition(const MXmlItem&) override {}
  const MValueTypeInfo& GetTypeInfo() const override
  {
    return m_steps > 0 ? MValueTypeInfo::Integer() : MValueTypeInfo::Floating();
  }
  MString FormatText() const override { return TextAt(m_position); }
  MContentDataPtr GetContentForNormalised(double x) const override
  {
    return MContentData::MakeText(TextAt(std::clamp(std::isnan(x) ? 0.0 : x, 0.0, 1.0)));
  }
  bool ParseText(const MString& text) override
  {
    const double x = m_plugin.ParseParameterValueName(m_index, text);
    return std::isfinite(x) && Write(x);
  }
  void Clamp() override { m_position = Snap(m_position); }
  bool Increment(int steps, int level) override
  {
    const double step = m_steps > 0 ? 1.0 / (m_steps - 1) : 0.01;
    return Write(m_position + steps * step * std::ldexp(1.0, std::clamp(level, 0, 4)));
  }
  bool IncrementFine(int steps) override
  {
    return Write(m_position + steps * (m_steps > 0 ? 1.0 / (m_steps - 1) : 0.001));
  }
  double GetNormalised() const override { return m_position; }
  bool SetNormalised(double x) override { return Write(std::isnan(x) ? 0.0 : x); }
  int GetStepCount() const override { return m_steps; }

private:
  double Snap(double x) const
  {
    x = std::clamp(std::isfinite(x) ? x : 0.0, 0.0, 1.0);
    return m_steps > 0 ? std::round(x * (m_steps - 1)) / (m_steps - 1) : x;
  }
  bool Write(double x)
  {
    const double snapped = Snap(x);
    MarkModified();
    const bool changed = snapped != m_position;
    m_position = snapped;
    return changed;
  }
  MString TextAt(double x) const
  {
    MString text = m_plugin.GetParameterValueNameFrom01(m_index, x);
    const MString units = m_plugin.GetParameterUnitsName(m_index);
    if (!units.IsEmpty())
      text = text + MString(" ") + units;
    return text;
  }

  MAudioPlugin& m_plugin;
  std::int32_t m_index;
  std::int32_t m_steps;
  double m_position = 0.0;
};

constexpr std::int32_t kHeadingHeight = 20;
constexpr std::int32_t kSectionGap = 16;
constexpr std::int32_t kMaxCellWidth = 104;
constexpr std::int32_t kStackGap = 8;
} // namespace

MPluginParameters::MPluginParameters(MAudioPlugin& plugin) : m_plugin(plugin)
{
  SetControlType(MControlType::NoBackground);
}

MPluginParameters::~MPluginParameters()
{
  MPluginParameters** link = m_plugin.GetParameterPanelLink();
  if (*link == this)
    *link = nullptr;
}

MString MPluginParameters::ControlId(std::int32_t index)
{
  return MString("Parameter") + MString::FromInteger(index);
}

void MPluginParameters::EndGestures()
{
  for (const Entry& entry : m_entries)
    entry.control->EndGesture();
}

void MPluginParameters::Build()
{
  DeleteChildren();
  m_entries.clear();
  m_sections.clear();
  // In the order of the adapters' order keys (registration order among equal keys): a parameter
  // whose host slot was appended later still shows beside the ones it belongs with.
  std::vector<MAudioPlugin::AutomationAdapter*> adapters;
  for (std::int32_t position = 0; position < m_plugin.GetNumAutomationAdapters(); ++position)
  {
    if (MAudioPlugin::AutomationAdapter* adapter = m_plugin.GetAutomationAdapter(position))
      adapters.push_back(adapter);
  }
  std::stable_sort(adapters.begin(), adapters.end(),
                   [](const auto* a, const auto* b) { return a->GetOrderKey() < b->GetOrderKey(); });
  for (MAudioPlugin::AutomationAdapter* adapter : adapters)
    adapter->CreateEditorControls(this);
  Arrange();
}

MControlValue* MPluginParameters::AddParameterControl(const ControlRequest& request)
{
  if (request.index < 0 || request.index >= m_plugin.GetNumParameters() ||
      FindParameterControl(request.index) != nullptr)
    return nullptr;
  const std::int32_t type = m_plugin.GetParameterType(request.index);
  const bool isSwitch = type == MParameterInfo::kEnumeration || type == MParameterInfo::kBoolean;
  std::unique_ptr<MControlValue> control;
  if (isSwitch)
  {
    // Captioned in the knobs' size: a switch shares a column of knob width.
    control = std::make_unique<MSwitcher>();
    control->SetFont(MStdFont::Small);
  }
  else
  {
    auto knob = std::make_unique<MKnob>();
    knob->SetBipolar(request.bipolar);
    control = std::move(knob);
  }
  control->SetId(ControlId(request.index));
  control->SetCaption(m_plugin.GetParameterName(request.index));
  control->SetHelp(request.help);
  control->BindOwned(std::make_unique<MSlotValue>(m_plugin, request.index,
                                                  type == MParameterInfo::kBoolean ? 2 : request.steps));
  control->GetChangedEvent().Subscribe<&MPluginParameters::OnControlChanged>(this);
  control->GetGestureEvent().Subscribe<&MPluginParameters::OnGesture>(this);

  // A control joins the last section when it has the same group; otherwise it starts a new one,
  // so the controls stay in the adapters' order.
  std::size_t section = m_sections.size();
  if (!m_sections.empty() && m_sections.back().name == request.group)
    section = m_sections.size() - 1;
  if (section == m_sections.size())
  {
    Section added;
    added.name = request.group;
    if (!request.group.IsEmpty())
    {
      auto heading = std::make_unique<MStatic>(request.group);
      heading->SetFont(MStdFont::Bold);
      heading->SetTextAlignment(MAlign::Left | MAlign::VCenter);
      heading->SetId(MString("Group ") + request.group);
      added.heading = heading.get();
      AddChild(std::move(heading));
    }
    m_sections.push_back(added);
  }
  ++m_sections[section].count;
  MControlValue* result = control.get();
  AddChild(std::move(control));
  m_entries.push_back(Entry{request.index, result, section});
  return result;
}

MControlValue* MPluginParameters::FindParameterControl(std::int32_t index) const
{
  for (const Entry& entry : m_entries)
  {
    if (entry.index == index)
      return entry.control;
  }
  return nullptr;
}

void MPluginParameters::RefreshParameter(std::int32_t index)
{
  MControlValue* control = FindParameterControl(index);
  if (control == nullptr)
    return;
  // A drag in progress owns the value: a host echo of an older value would make it jump.
  if (control->IsGestureOpen())
    return;
  static_cast<MSlotValue*>(control->GetValue())->Sync();
  control->Refresh();
}

void MPluginParameters::RefreshAll()
{
  for (const Entry& entry : m_entries)
    RefreshParameter(entry.index);
}

const MPluginParameters::Entry* MPluginParameters::FindEntry(const MObject* control) const
{
  for (const Entry& entry : m_entries)
  {
    if (entry.control == control)
      return &entry;
  }
  return nullptr;
}

void MPluginParameters::OnGesture(MOnItemParams<bool>& params)
{
  const Entry* entry = FindEntry(params.sender);
  if (entry == nullptr)
    return;
  if (params.item)
    m_plugin.BeginAutomationGesture(entry->index);
  else
    m_plugin.EndAutomationGesture(entry->index);
}

void MPluginParameters::OnControlChanged(MOnNotifyParams& params)
{
  const Entry* entry = FindEntry(params.sender);
  if (entry == nullptr)
    return;
  m_plugin.SetParameterFromEditor(entry->index, entry->control->GetNormalised());
}

std::int32_t MPluginParameters::NeededWidth(const Entry& entry) const
{
  // The caption, and the display texts along the range (a knob's text changes as it turns).
  std::int32_t width = entry.control->GetPreferredSize().x;
  const MString units = m_plugin.GetParameterUnitsName(entry.index);
  for (double x : {0.0, 0.25, 0.5, 0.75, 1.0})
  {
    MString text = m_plugin.GetParameterValueNameFrom01(entry.index, x);
    if (!units.IsEmpty())
      text = text + MString(" ") + units;
    width = std::max(width, MControlUtility::MeasureText(*entry.control, text, MStdFont::Small).x + 6);
  }
  return std::min(width, kMaxCellWidth);
}

void MPluginParameters::Paint(MDrawer& drawer)
{
  // The children are placed before the window walks into them, so this very paint shows them
  // where they belong.
  if (!m_arrangedWithStyle && GetStyle() != nullptr)
    Arrange();
  MPanel::Paint(drawer);
}

std::vector<std::vector<std::size_t>> MPluginParameters::Columns() const
{
  // Two switches side by side in a section share a column, one above the other: a switch is a
  // third of a knob's height, and a row of ten cells would cut every display text.
  std::vector<std::vector<std::size_t>> columns;
  for (std::size_t i = 0; i < m_entries.size(); ++i)
  {
    const bool isSwitch = dynamic_cast<MKnob*>(m_entries[i].control) == nullptr;
    if (isSwitch && !columns.empty() && columns.back().size() == 1)
    {
      const Entry& before = m_entries[columns.back().front()];
      if (before.section == m_entries[i].section && dynamic_cast<MKnob*>(before.control) == nullptr)
      {
        columns.back().push_back(i);
        continue;
      }
    }
    columns.push_back({i});
  }
  return columns;
}

void MPluginParameters::Arrange()
{
  m_arrangedWithStyle = GetStyle() != nullptr;
  const MRect client = GetClientRect();
  const std::vector<std::vector<std::size_t>> columns = Columns();
  const auto total = static_cast<std::int32_t>(columns.size());
  if (total == 0)
    return;
  const std::int32_t gaps = static_cast<std::int32_t>(m_sections.size() - 1) * kSectionGap;
  const std::int32_t room = client.Width() - gaps;
  const std::int32_t cell = std::clamp(room / total, 1, kMaxCellWidth);
  // Equal cells; a column whose texts do not fit one gets what it needs, taken from the cells
  // with room to spare, so no display text is cut. When the spare room is not enough for all,
  // the short ones share it in proportion to what each lacks.
  std::vector<std::int32_t> widths(columns.size(), cell);
  std::int32_t deficit = 0;
  std::int32_t spare = 0;
  std::vector<std::int32_t> needs(columns.size(), 0);
  for (std::size_t c = 0; c < columns.size(); ++c)
  {
    for (std::size_t i : columns[c])
      needs[c] = std::max(needs[c], NeededWidth(m_entries[i]));
    deficit += std::max(0, needs[c] - cell);
    spare += std::max(0, cell - needs[c]);
  }
  if (deficit > 0 && spare > 0)
  {
    const std::int64_t granted = std::min(deficit, spare);
    std::int32_t owed = 0;
    for (std::size_t c = 0; c < columns.size(); ++c)
      if (needs[c] > cell)
      {
        const auto grant = static_cast<std::int32_t>(granted * (needs[c] - cell) / deficit);
        widths[c] = cell + grant;
        owed += grant;
      }
    std::int32_t spareLeft = spare;
    for (std::size_t c = 0; c < columns.size(); ++c)
    {
      const std::int32_t own = cell - needs[c];
      if (own > 0)
      {
        // Each gives up its share of what is owed, in proportion to its spare room (rounded up,
        // so the last one gives the rest).
        const auto give = static_cast<std::int32_t>(
            std::min<std::int64_t>(own, (std::int64_t{owed} * own + spareLeft - 1) / spareLeft));
        widths[c] = cell - give;
        owed -= give;
        spareLeft -= own;
      }
    }
  }
  std::int32_t used = 0;
  for (std::int32_t width : widths)
    used += width;
  // The sections as one block, centred.
  std::int32_t left = client.left + std::max(0, (client.Width() - gaps - used) / 2);
  const std::int32_t controlsTop = client.top + kHeadingHeight + 6;
  const std::int32_t controlsHeight = std::max(1, client.bottom - controlsTop);
  for (std::size_t s = 0; s < m_sections.size(); ++s)
  {
    const Section& section = m_sections[s];
    std::int32_t x = left;
    for (std::size_t c = 0; c < columns.size(); ++c)
    {
      if (m_entries[columns[c].front()].section != s)
        continue;
      // Knobs take the row's height; switches keep their own, stacked and centred in the row.
      std::vector<std::int32_t> heights;
      std::int32_t stack = 0;
      for (std::size_t i : columns[c])
      {
        const MControlValue* control = m_entries[i].control;
        heights.push_back(dynamic_cast<const MKnob*>(control) != nullptr
                              ? controlsHeight
                              : std::min(controlsHeight, control->GetPreferredSize().y));
        stack += heights.back();
      }
      const std::int32_t spacing = columns[c].size() > 1 ? kStackGap : 0;
      stack += spacing * static_cast<std::int32_t>(columns[c].size() - 1);
      std::int32_t y = controlsTop + std::max(0, (controlsHeight - stack) / 2);
      for (std::size_t k = 0; k < columns[c].size(); ++k)
      {
        m_entries[columns[c][k]].control->SetBounds(MRect::FromSize(x, y, widths[c], heights[k]));
        y += heights[k] + spacing;
      }
      x += widths[c];
    }
    if (section.heading != nullptr)
      section.heading->SetBounds(
          MRect::FromSize(left + 6, client.top, std::max(1, x - left - 12), kHeadingHeight));
    left = x + kSectionGap;
  }
}

MSize MPluginParameters::GetPreferredSize() const
{
  std::int32_t height = 0;
  for (const Entry& entry : m_entries)
    height = std::max(height, entry.control->GetPreferredSize().y);
  const auto count = static_cast<std::int32_t>(Columns().size());
  return MSize{count * 80 + static_cast<std::int32_t>(m_sections.size()) * kSectionGap,
               kHeadingHeight + 6 + height};
}
