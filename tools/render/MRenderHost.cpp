#include "tools/render/MRenderHost.h"

#include "tools/host/MTestHostVst2.h"
#include "tools/render/MParameterSearch.h"
#include "tools/render/MPassThroughHost.h"

#include <algorithm>
#include <cctype>

namespace
{
std::string Lower(std::string text)
{
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

std::string LastPart(const std::string& name)
{
  const std::size_t at = name.rfind(" - ");
  return at == std::string::npos ? name : name.substr(at + 3);
}

std::string QuotedList(const std::vector<std::string>& names, const std::vector<int>& which)
{
  std::string text;
  for (int index : which)
    text += (text.empty() ? "\"" : ", \"") + names[index] + "\"";
  return text;
}
} // namespace

bool MRenderHost::ParseFormat(const std::string& text, MPluginFormat& format)
{
  const std::string name = Lower(text);
  if (name == "vst2")
    format = MPluginFormat::Vst2;
  else if (name == "vst3")
    format = MPluginFormat::Vst3;
  else
    return false;
  return true;
}

const char* MRenderHost::FormatName(MPluginFormat format)
{
  switch (format)
  {
  case MPluginFormat::Vst2:
    return "VST 2.4";
  case MPluginFormat::Vst3:
    return "VST 3";
  case MPluginFormat::PassThrough:
    return "pass-through";
  }
  return "?";
}

int MRenderHost::MatchParameterName(const std::vector<std::string>& names, const std::string& wanted,
                                    std::size_t cutChars, std::string& error)
{
  const std::string key = Lower(wanted);
  std::vector<int> whole;
  std::vector<int> partial;
  for (int i = 0; i < static_cast<int>(names.size()); ++i)
  {
    const std::string name = Lower(names[i]);
    const std::string last = LastPart(name);
    const bool cut = cutChars != 0 && names[i].size() == cutChars;
    if (name == key)
      whole.push_back(i);
    else if (last == key || (cut && !last.empty() && (key.starts_with(last) || key.starts_with(name))))
      partial.push_back(i);
  }
  const std::vector<int>& found = whole.empty() ? partial : whole;
  if (found.size() == 1)
    return found.front();
  if (found.size() > 1)
  {
    error = "parameter name \"" + wanted + "\" is ambiguous: " + QuotedList(names, found);
    return -1;
  }
  std::vector<int> all(names.size());
  for (int i = 0; i < static_cast<int>(all.size()); ++i)
    all[i] = i;
  error = "unknown parameter \"" + wanted + "\"" +
          (names.empty() ? std::string(" (the plug-in has no parameters)")
                         : " (the plug-in has " + QuotedList(names, all) + ")");
  return -1;
}

MRenderHost::~MRenderHost()
{
  if (m_host != nullptr)
    m_host->Close();
}

bool MRenderHost::Load(MPluginFormat format, const std::string& modulePath, std::string& error)
{
  m_format = format;
  m_names.clear();
  m_namesRead = false;
  m_opened = false;
  switch (format)
  {
  case MPluginFormat::Vst2:
    m_host = std::make_unique<MTestHostVst2>();
    break;
  case MPluginFormat::PassThrough:
    m_host = std::make_unique<MPassThroughHost>();
    break;
  case MPluginFormat::Vst3:
    // The test host library has no VST 3 implementation yet; once it has one, it is created here.
    error = "this build cannot host VST 3 plug-ins yet (use --format vst2)";
    return false;
  }
  const MTestHostStatus status = m_host->LoadModule(modulePath);
  if (status != MTestHostStatus::Ok)
  {
    error = "the plug-in module \"" + modulePath + "\" does not load: " +
            (m_host->LastError().empty() ? std::string(MTestHostStatusText(status)) : m_host->LastError());
    m_host.reset();
    return false;
  }
  return true;
}

bool MRenderHost::Open(std::string& error)
{
  if (!IsLoaded())
  {
    error = "no plug-in loaded";
    return false;
  }
  if (m_opened)
    return true;
  m_opened = true;
  if (auto* vst2 = dynamic_cast<MTestHostVst2*>(m_host.get()))
    if (!vst2->Open())
    {
      error = "the plug-in did not open: " + vst2->LastError();
      return false;
    }
  return true;
}

bool MRenderHost::Prepare(double sampleRateHz, int maxBlockSamples, int channels, std::string& error)
{
  if (!Open(error))
    return false;
  if (auto* vst2 = dynamic_cast<MTestHostVst2*>(m_host.get()))
  {
    // The layout is told while the instance is suspended, as hosts do before resuming it.
    Vst2::VstSpeakerArrangement input{};
    Vst2::VstSpeakerArrangement output{};
    const Vst2::VstInt32 type = channels == 1   ? Vst2::kSpeakerArrMono
                                : channels == 2 ? Vst2::kSpeakerArrStereo
                                                : Vst2::kSpeakerArrUserDefined;
    input.type = output.type = type;
    input.numChannels = output.numChannels = channels;
    vst2->SetSpeakerArrangement(&input, &output);
  }
  if (!m_host->Activate(sampleRateHz, maxBlockSamples))
  {
    error = "the plug-in did not start at " + std::to_string(sampleRateHz) + " Hz: " + m_host->LastError();
    return false;
  }
  return true;
}

const std::vector<std::string>& MRenderHost::ParameterNames()
{
  if (!m_namesRead && IsLoaded())
  {
    const int count = m_host->NumParameters();
    m_names.clear();
    for (int i = 0; i < count; ++i)
      m_names.push_back(m_host->ParameterName(i));
    m_namesRead = true;
  }
  return m_names;
}

int MRenderHost::FindParameter(const std::string& name, std::string& error)
{
  return MatchParameterName(ParameterNames(), name,
                            m_format == MPluginFormat::Vst2 ? kVst2NameChars : std::size_t{0}, error);
}

bool MRenderHost::SetParameterText(int index, const std::string& text, std::string& shown,
                                   std::string& warning, std::string& error)
{
  MTestHost& host = *m_host;
  const float before = host.GetParameter(index);
  // Every interface hosted so far goes through the display text; one whose plug-ins parse
  // text themselves answers here instead.
  const auto displayAt = [&](double v)
  {
    host.SetParameter(index, static_cast<float>(v));
    return host.ParameterDisplay(index);
  };
  const MParameterSearch::Result result = MParameterSearch::Find(displayAt, text);
  const std::string& name = ParameterNames()[index];
  if (!result.found)
  {
    host.SetParameter(index, before);
    error = "cannot set parameter \"" + name + "\" to \"" + text + "\": " + result.message;
    return false;
  }
  host.SetParameter(index, static_cast<float>(result.normalised));
  shown = host.ParameterDisplay(index);
  warning.clear();
  if (result.clamped)
    warning = "\"" + text + "\" is beyond the range of \"" + name + "\"; set to \"" + shown + "\"";
  return true;
}

std::pair<std::string, std::string> MRenderHost::RangeTexts(int index)
{
  MTestHost& host = *m_host;
  const float before = host.GetParameter(index);
  host.SetParameter(index, 0.0f);
  std::string low = host.ParameterDisplay(index);
  host.SetParameter(index, 1.0f);
  std::string high = host.ParameterDisplay(index);
  host.SetParameter(index, before);
  return {low, high};
}
