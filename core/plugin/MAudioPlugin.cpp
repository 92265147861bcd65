#include "core/plugin/MAudioPlugin.h"

#include "base/MHostCallShield.h"
#include "base/MLockGuard.h"
#include "base/MStorable.h"
#include "core/plugin/MAutomationUpdateRequestThread.h"

#include <algorithm>
#include <cmath>

MAudioPlugin::MAudioPlugin() = default;

MAudioPlugin::~MAudioPlugin()
{
  MHostCallShield::Run("MAudioPlugin::~MAudioPlugin", [&] {
    // The update thread goes first: its event handler reaches the adapters.
    m_updateThread.reset();
    ClearAutomationAdapters();
  });
  DestroyEditor();
}

MString MAudioPlugin::JoinTexts(const MString& a, const MString& b)
{
  if (a.IsEmpty())
    return b;
  if (b.IsEmpty())
    return a;
  return a + MString(" - ") + b;
}

// ---- adapter list ----------------------------------------------------------------------------

void MAudioPlugin::AddAutomationAdapter(AutomationAdapter* adapter)
{
  if (adapter == nullptr)
    return;
  MHostCallShield::Run("MAudioPlugin::AddAutomationAdapter", [&] {
    MLockGuard processing(m_processingLock);
    MLockGuard init(m_initLock);
    MLockGuard buffers(m_bufferLock);
    if (m_adapters.size() == m_adapters.capacity())
      m_adapters.reserve(static_cast<std::size_t>(
          MFloatBuffer::CapacityFor(static_cast<std::int32_t>(m_adapters.size()) + 1)));
    m_adapters.push_back(adapter);
    adapter->m_plugin = this;
  });
}

MAudioPlugin::AutomationAdapter* MAudioPlugin::GetAutomationAdapter(std::int32_t position) const noexcept
{
  if (position < 0 || position >= GetNumAutomationAdapters())
    return nullptr;
  return m_adapters[static_cast<std::size_t>(position)];
}

void MAudioPlugin::AssignAutomationIndices()
{
  MHostCallShield::Run("MAudioPlugin::AssignAutomationIndices", [&] {
    MLockGuard processing(m_processingLock);
    MLockGuard init(m_initLock);
    MLockGuard buffers(m_bufferLock);

    if (m_sortAdapters && m_adapters.size() > 1)
    {
      // Stable bidirectional bubble sort: equal keys keep their registration order.
      bool swapped = true;
      std::size_t low = 0;
      std::size_t high = m_adapters.size() - 1;
      while (swapped && low < high)
      {
        swapped = false;
        for (std::size_t i = low; i < high; ++i)
        {
          if (m_adapters[i]->GetOrderKey() > m_adapters[i + 1]->GetOrderKey())
          {
            std::swap(m_adapters[i], m_adapters[i + 1]);
            swapped = true;
          }
        }
        --high;
        if (!swapped)
          break;
        swapped = false;
        for (std::size_t i = high; i > low; --i)
        {
          if (m_adapters[i - 1]->GetOrderKey() > m_adapters[i]->GetOrderKey())
          {
            std::swap(m_adapters[i - 1], m_adapters[i]);
            swapped = true;
          }
        }
        ++low;
      }
    }

    std::int32_t total = 0;
    std::int32_t permanent = 0;
    bool anyInterpolated = false;
    for (AutomationAdapter* adapter : m_adapters)
    {
      adapter->m_firstIndex = total;
      total += adapter->m_count;
      if (!adapter->m_temporary)
        permanent += adapter->m_count;
      for (std::int32_t slot = 0; slot < adapter->m_count; ++slot)
        anyInterpolated = adapter->IsInterpolated(slot) || anyInterpolated;
    }
    m_totalCount = total;
    m_permanentCount = permanent;

    m_interpolation.clear();
    m_interpolatedIndices.clear();
    if (anyInterpolated)
    {
      m_interpolation.resize(static_cast<std::size_t>(total));
      for (std::size_t position = 0; position < m_adapters.size(); ++position)
      {
        AutomationAdapter* adapter = m_adapters[position];
        for (std::int32_t slot = 0; slot < adapter->m_count; ++slot)
        {
          const std::int32_t index = adapter->m_firstIndex + slot;
          InterpolationRecord& record = m_interpolation[static_cast<std::size_t>(index)];
          record.adapter = static_cast<std::int32_t>(position);
          record.slot = slot;
          record.interpolated = adapter->IsInterpolated(slot);
          if (record.interpolated)
          {
            m_interpolatedIndices.push_back(index);
            record.previous = adapter->GetValue(slot);
          }
        }
      }
    }

    // Reserve the refresh list of the GUI thread, and have the update thread running, so that
    // neither happens on the thread that queues a refresh.
    m_updating.reserve(m_adapters.size());
    if (!m_updateThread)
      m_updateThread = std::make_unique<AutomationUpdateRequestThread>(*this);
    m_updateThread->Start(MThread::Low);
  });
}

void MAudioPlugin::RemoveAdapterAt(std::size_t position)
{
  AutomationAdapter* adapter = m_adapters[position];
  m_adapters.erase(m_adapters.begin() + static_cast<std::ptrdiff_t>(position));
  TakeEditorRefresh(*adapter);
  adapter->m_plugin = nullptr;
  if (adapter->m_owned)
    delete adapter;
}

void MAudioPlugin::DestroyTemporaryAutomationAdapters()
{
  MHostCallShield::Run("MAudioPlugin::DestroyTemporaryAutomationAdapters", [&] {
    MLockGuard processing(m_processingLock);
    MLockGuard init(m_initLock);
    MLockGuard buffers(m_bufferLock);
    m_notifyEvent.UnsubscribeAll();
    for (AutomationAdapter* adapter : m_adapters)
      TakeEditorRefresh(*adapter);
    m_editorOpen = false;
    for (std::size_t position = m_adapters.size(); position-- > 0;)
    {
      if (m_adapters[position]->m_temporary)
        RemoveAdapterAt(position);
    }
    AssignAutomationIndices();
  });
}

void MAudioPlugin::ClearAutomationAdapters()
{
  MHostCallShield::Run("MAudioPlugin::ClearAutomationAdapters", [&] {
    if (m_updateThread)
      m_updateThread->Stop();
    MLockGuard processing(m_processingLock);
    MLockGuard init(m_initLock);
    MLockGuard buffers(m_bufferLock);
    for (std::size_t position = m_adapters.size(); position-- > 0;)
      RemoveAdapterAt(position);
    m_adapters.shrink_to_fit();
    m_totalCount = m_permanentCount = 0;
    m_interpolation.clear();
    m_interpolatedIndices.clear();
  });
}

MAudioPlugin::AutomationAdapter* MAudioPlugin::FindAutomationAdapter(std::int32_t index,
                                                                     std::int32_t& slot) const noexcept
{
  slot = 0;
  const std::size_t n = m_adapters.size();
  if (n == 0 || index < 0 || index >= m_totalCount)
    return nullptr;

  // Bisection on firstIndex: the adapter with the largest firstIndex not above index.
  std::size_t found = 0;
  if (n == 1 || m_adapters.front()->m_firstIndex >= index)
    found = 0;
  else if (m_adapters.back()->m_firstIndex <= index)
    found = n - 1;
  else
  {
    std::size_t low = 0;
    std::size_t high = n - 1;
    found = low;
    while (true)
    {
      if (high - low <= 1)
      {
        found = low;
        break;
      }
      const std::size_t middle = low + (high - low) / 2;
      const std::int32_t first = m_adapters[middle]->m_firstIndex;
      if (first == index)
      {
        found = middle;
        break;
      }
      if (first < index)
        low = middle;
      else
        high = middle;
    }
  }

  AutomationAdapter* adapter = m_adapters[found];
  const std::int32_t local = index - adapter->m_firstIndex;
  // An index in a gap or past the last adapter's slots reaches nobody.
  if (local < 0 || local >= adapter->m_count)
    return nullptr;
  slot = local;
  return adapter;
}

// ---- per-index operations --------------------------------------------------------------------

namespace
{
// Host-facing lookups stop at the permanent count; the shield catches anything the adapter throws.
template <class Plugin>
typename Plugin::AutomationAdapter* HostAdapter(const Plugin& plugin, std::int32_t index,
                                                std::int32_t& slot) noexcept
{
  if (index < 0 || index >= plugin.GetNumParameters())
    return nullptr;
  return plugin.FindAutomationAdapter(index, slot);
}
} // namespace

std::int32_t MAudioPlugin::GetNumParameters() const
{
  return m_permanentCount;
}

void MAudioPlugin::OnParametersChanged() {}

void MAudioPlugin::SetParameter(std::int32_t index, double value, bool silent)
{
  MHostCallShield::Run("MAudioPlugin::SetParameter", [&] {
    std::int32_t slot = 0;
    if (AutomationAdapter* adapter = HostAdapter(*this, index, slot);
        adapter != nullptr && std::isfinite(value))
      adapter->SetValue(slot, value, silent);
  });
}

void MAudioPlugin::SetParameterIfChanged(std::int32_t index, double value, bool silent)
{
  MHostCallShield::Run("MAudioPlugin::SetParameterIfChanged", [&] {
    std::int32_t slot = 0;
    if (AutomationAdapter* adapter = HostAdapter(*this, index, slot);
        adapter != nullptr && std::isfinite(value))
    {
      if (std::fabs(adapter->GetValue(slot) - value) > 1e-7)
        adapter->SetValue(slot, value, silent);
    }
  });
}

double MAudioPlugin::GetParameter(std::int32_t index) const
{
  return MHostCallShield::Run("MAudioPlugin::GetParameter", 0.0, [&] {
    std::int32_t slot = 0;
    const AutomationAdapter* adapter = HostAdapter(*this, index, slot);
    return adapter != nullptr ? adapter->GetValue(slot) : 0.0;
  });
}

MString MAudioPlugin::GetParameterName(std::int32_t index) const
{
  return MHostCallShield::Run("MAudioPlugin::GetParameterName", MString(), [&] {
    std::int32_t slot = 0;
    const AutomationAdapter* adapter = HostAdapter(*this, index, slot);
    return adapter != nullptr ? adapter->GetName(slot) : MString();
  });
}

MString MAudioPlugin::GetParameterID(std::int32_t index) const
{
  return MHostCallShield::Run("MAudioPlugin::GetParameterID", MString(), [&] {
    std::int32_t slot = 0;
    const AutomationAdapter* adapter = HostAdapter(*this, index, slot);
    if (adapter == nullptr)
      return MString();
    return JoinTexts(JoinTexts(adapter->m_idPrefix, adapter->GetIdPart(slot)), adapter->GetName(slot));
  });
}

MString MAudioPlugin::GetParameterExtraText(std::int32_t) const
{
  return MString();
}

MString MAudioPlugin::GetParameterValueName(std::int32_t index) const
{
  return MHostCallShield::Run("MAudioPlugin::GetParameterValueName", MString(), [&] {
    std::int32_t slot = 0;
    const AutomationAdapter* adapter = HostAdapter(*this, index, slot);
    return adapter != nullptr ? adapter->GetValueName(slot) : MString();
  });
}

MString MAudioPlugin::GetParameterValueNameFrom01(std::int32_t index, double value) const
{
  return MHostCallShield::Run("MAudioPlugin::GetParameterValueNameFrom01", MString(), [&] {
    std::int32_t slot = 0;
    const AutomationAdapter* adapter = HostAdapter(*this, index, slot);
    return adapter != nullptr && std::isfinite(value) ? adapter->GetValueNameFrom01(slot, value) : MString();
  });
}

double MAudioPlugin::ParseParameterValueName(std::int32_t index, const MString& text) const
{
  return MHostCallShield::Run("MAudioPlugin::ParseParameterValueName", 0.0, [&] {
    std::int32_t slot = 0;
    const AutomationAdapter* adapter = HostAdapter(*this, index, slot);
    return adapter != nullptr ? adapter->ParseValueName(slot, text) : 0.0;
  });
}

MString MAudioPlugin::GetParameterUnitsName(std::int32_t index) const
{
  return MHostCallShield::Run("MAudioPlugin::GetParameterUnitsName", MString(), [&] {
    std::int32_t slot = 0;
    const AutomationAdapter* adapter = HostAdapter(*this, index, slot);
    return adapter != nullptr ? adapter->GetUnitsName(slot) : MString();
  });
}

bool MAudioPlugin::IsCustomQuery() const
{
  return false;
}

void MAudioPlugin::OnCustomNotification() {}

std::int32_t MAudioPlugin::GetParameterType(std::int32_t index) const
{
  return MHostCallShield::Run("MAudioPlugin::GetParameterType", std::int32_t{0}, [&] {
    std::int32_t slot = 0;
    const AutomationAdapter* adapter = HostAdapter(*this, index, slot);
    return adapter != nullptr ? adapter->GetType(slot) : 0;
  });
}

double MAudioPlugin::GetParameterDefaultValue(std::int32_t index) const
{
  return MHostCallShield::Run("MAudioPlugin::GetParameterDefaultValue", 0.0, [&] {
    std::int32_t slot = 0;
    const AutomationAdapter* adapter = HostAdapter(*this, index, slot);
    return adapter != nullptr ? adapter->GetDefaultValue(slot) : 0.0;
  });
}

void MAudioPlugin::Store(MStoreContext& context)
{
  if (!context.IsSaving() && m_editor != nullptr)
    RefreshEditor();
}

// ---- randomisation ---------------------------------------------------------------------------

void MAudioPlugin::Randomize(double amount)
{
  MHostCallShield::Run("MAudioPlugin::Randomize", [&] {
    if (!std::isfinite(amount))
      return;
    MLockGuard processing(m_processingLock);
    MLockGuard init(m_initLock);
    MLockGuard buffers(m_bufferLock);
    for (AutomationAdapter* adapter : m_adapters)
      adapter->Randomize(amount);
  });
}

// ---- hooks with trivial defaults -------------------------------------------------------------

void MAudioPlugin::GenerateMIDIEvent(std::int32_t sampleOffset, const std::uint8_t bytes[4])
{
  // Offsets count from the start of the piece being processed; the host counts from its block's.
  if (m_hostAdapter != nullptr && bytes != nullptr)
    m_hostAdapter->GenerateMIDIEvent(sampleOffset + m_pieceOffset, bytes);
}

void MAudioPlugin::OnTextNotification(const MString&) {}
void MAudioPlugin::RefreshEditor() {}
std::int32_t MAudioPlugin::GetEffectLatency() const
{
  return 0;
}
std::int32_t MAudioPlugin::GetCustomInteger() const
{
  return -1;
}
double MAudioPlugin::GetOutputClipLevel() const
{
  return -1.0;
}
void MAudioPlugin::PostProcessChannel(float*, std::int32_t, std::int32_t) {}
void MAudioPlugin::ProcessChunk(float**, float**, std::int32_t) {}
void MAudioPlugin::OnEditorIdle() {}

void MAudioPlugin::SetBackgroundTick(void (*tick)(void* context), void* context)
{
  std::lock_guard<std::mutex> guard(m_backgroundTickLock);
  m_backgroundTick = tick;
  m_backgroundTickContext = context;
}

void MAudioPlugin::RunBackgroundTick()
{
  // Held while the tick runs: SetBackgroundTick waits for it, so an owner being destroyed never
  // has its tick running.
  std::lock_guard<std::mutex> guard(m_backgroundTickLock);
  if (m_backgroundTick != nullptr)
    m_backgroundTick(m_backgroundTickContext);
}
void MAudioPlugin::BeforeBlock(float**, float**, std::int32_t, bool) {}
void MAudioPlugin::AfterBlock(float**, float**, std::int32_t, bool) {}
void MAudioPlugin::StartOfBlock(float**, float**, std::int32_t) {}
void MAudioPlugin::BypassedPiece(std::int32_t) {}
bool MAudioPlugin::IsCustomQuery2() const
{
  return false;
}
bool MAudioPlugin::IsCustomQuery3() const
{
  return true;
}
std::int32_t MAudioPlugin::GetProgramCount() const
{
  return 0;
}
std::int32_t MAudioPlugin::GetCurrentProgram() const
{
  return 0;
}
bool MAudioPlugin::SetCurrentProgram(std::int32_t)
{
  return false;
}
MString MAudioPlugin::GetProgramName(std::int32_t) const
{
  return MString();
}

void MAudioPlugin::RequestProgram(std::int32_t index) noexcept
{
  if (index >= 0)
    m_requestedProgram.store(index, std::memory_order_relaxed);
}

bool MAudioPlugin::ApplyRequestedProgram()
{
  return MHostCallShield::Run("MAudioPlugin::ApplyRequestedProgram", false, [&] {
    const std::int32_t program = m_requestedProgram.exchange(-1, std::memory_order_relaxed);
    if (program < 0 || program >= GetProgramCount() || program == GetCurrentProgram())
      return false;
    // The plug-in's own SetCurrentProgram tells the host adapter (ReportProgramChanged), which
    // has the host read the program parameter and the values again.
    return SetCurrentProgram(program);
  });
}

void MAudioPlugin::ReportStateChangedToHost()
{
  MHostCallShield::Run("MAudioPlugin::ReportStateChangedToHost", [&] {
    if (m_hostAdapter != nullptr)
      m_hostAdapter->ReportStateChanged();
  });
}
bool MAudioPlugin::IsChannelModeActive() const
{
  return false;
}
void MAudioPlugin::ChannelModeEncode(float**, float**, std::int32_t) {}
void MAudioPlugin::ChannelModeDecode(float**, float**, std::int32_t) {}
bool MAudioPlugin::IsGainCompensationEnabled() const
{
  return false;
}
void MAudioPlugin::PrepareGainCompensation(double) {}
void MAudioPlugin::MeasureGainCompensationInput(float**, std::int32_t, std::int32_t) {}
void MAudioPlugin::ApplyGainCompensation(float**, std::int32_t, std::int32_t) {}
