#include "core/parameters/ParameterBaseCustom.h"

#include "core/plugin/MFloatBuffer.h"

#include <algorithm>

ParameterBaseCustom::~ParameterBaseCustom() = default;

bool ParameterBaseCustom::CanRandomize() const
{
  return m_descriptor != nullptr && m_descriptor->Has(MParameterInfo::kRandomizable);
}

void ParameterBaseCustom::NotifyChanged(bool silent)
{
  if (!silent && m_boundControls > 0 && GetPlugin() != nullptr)
    GetPlugin()->NeedUpdateEditor(this);
  for (const Callback& callback : m_callbacks)
  {
    MOnPluginParameterChangeParams params;
    params.parameter = this;
    callback.function(callback.object, callback.context, params);
  }
}

void ParameterBaseCustom::AddChangeCallback(void* object, void* context, ChangeFunction function)
{
  if (function == nullptr)
    return;
  if (m_callbacks.size() == m_callbacks.capacity())
    m_callbacks.reserve(static_cast<std::size_t>(
        MFloatBuffer::CapacityFor(static_cast<std::int32_t>(m_callbacks.size()) + 1)));
  m_callbacks.push_back({object, context, function});
}

void ParameterBaseCustom::RemoveChangeCallbacks(void* object)
{
  std::erase_if(m_callbacks, [object](const Callback& callback) { return callback.object == object; });
}
