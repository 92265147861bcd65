#include "framework/MPluginHost.h"

#include "framework/MAudioEffectPlugin.h"
#include "framework/MAudioEffectPluginHost.h"

MPluginHost::MPluginHost(MPluginCommandFunction function) : m_function(function) {}

MPluginHost::~MPluginHost()
{
  if (m_instance != 0)
    SendCommand(MPluginCommand::kDestroy);
  m_instance = 0;
}

bool MPluginHost::Connect(std::int64_t extra)
{
  if (m_function == nullptr)
    return false;
  MPluginCommandBlock block(MPluginCommandBlock::FromPointer(this), extra);
  m_instance = m_function(reinterpret_cast<void*>(static_cast<std::intptr_t>(m_instance)),
                          MPluginCommand::kConnect, &block);
  return m_instance != 0;
}

void MPluginHost::OnCreated() {}

std::int64_t MPluginHost::SendCommand(std::int64_t command, std::int64_t a, std::int64_t b, std::int64_t c,
                                      std::int64_t d)
{
  MPluginCommandBlock block(a, b, c, d);
  return SendCommand(command, block);
}

std::int64_t MPluginHost::SendCommand(std::int64_t command, MPluginCommandBlock& block)
{
  if (m_function == nullptr)
    return MPluginCommand::kUnknown;
  return m_function(reinterpret_cast<void*>(static_cast<std::intptr_t>(m_instance)), command, &block);
}

// ---- MAudioEffectPluginHost ---------------------------------------------------------------------

MAudioEffectPluginHost::MAudioEffectPluginHost(MPluginCommandFunction function) : MPluginHost(function) {}

MAudioEffectPluginHost::~MAudioEffectPluginHost() = default;

const MParameterTable* MAudioEffectPluginHost::FetchParameterTable()
{
  const std::int64_t answer = SendCommand(MPluginCommand::kGetParameterTable);
  m_parameterTable = answer == MPluginCommand::kUnknown
                         ? nullptr
                         : reinterpret_cast<const MParameterTable*>(static_cast<std::intptr_t>(answer));
  return m_parameterTable;
}

MAudioEffectPlugin* MAudioEffectPluginHost::FetchEffect()
{
  const std::int64_t answer = SendCommand(MPluginCommand::kGetInstance);
  if (answer == 0 || answer == MPluginCommand::kUnknown)
    return nullptr;
  return dynamic_cast<MAudioEffectPlugin*>(MPlugin::FromHandle(answer));
}

std::int32_t MAudioEffectPluginHost::GetTailSize()
{
  const std::int64_t answer = SendCommand(MPluginCommand::kGetTailSize);
  return answer < 0 || answer > INT32_MAX ? 0 : static_cast<std::int32_t>(answer);
}
