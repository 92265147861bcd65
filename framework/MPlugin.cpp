#include "framework/MPlugin.h"

std::int64_t MPlugin::Connect(MPluginHost* host, std::int64_t)
{
  m_pluginHost = host;
  return GetHandle();
}

void MPlugin::Start() {}
