#include "framework/MPluginSystem.h"

#include "framework/MAudioEffectPluginHost.h"

MPluginSystem::MPluginSystem(const MString& name, MPluginCommandFunction function)
{
  Register(name, function);
}

MPluginSystem::~MPluginSystem() = default;

void MPluginSystem::Register(const MString& name, MPluginCommandFunction function)
{
  for (auto it = m_functions.begin(); it != m_functions.end(); ++it)
  {
    if (it->first.EqualsName(name))
    {
      if (function == nullptr)
        m_functions.erase(it);
      else
        it->second = function;
      return;
    }
  }
  if (function != nullptr)
    m_functions.emplace_back(name, function);
}

MPluginCommandFunction MPluginSystem::Find(const MString& name) const
{
  for (const auto& entry : m_functions)
    if (entry.first.EqualsName(name))
      return entry.second;
  return nullptr;
}

std::int32_t MPluginSystem::CreateAudioEffectPlugin(const MString& name,
                                                    std::unique_ptr<MAudioEffectPluginHost>& host)
{
  const MPluginCommandFunction function = Find(name);
  if (function == nullptr)
    return kNoCommandFunction;
  auto created = std::make_unique<MAudioEffectPluginHost>(function);
  if (!created->Connect())
    return kConnectFailed;
  if (created->FetchParameterTable() == nullptr)
    return kNoParameterTable;
  created->OnCreated();
  created->SendCommand(MPluginCommand::kStart);
  created->SetPluginSystem(this);
  created->SetName(name);
  host = std::move(created);
  return kCreated;
}
