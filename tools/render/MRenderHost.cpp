#include "tools/render/MRenderHost.h"

#include "tools/host/MTestHostVst2.h"
#include "tools/host/MTestHostVst3.h"
#include "tools/render/MParameterSearch.h"
#include "tools/render/MPassThroughHost.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <limits>

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

// The first number in text (NaN when there is none), to tell whether a value was clamped.
double LeadingNumber(const std::string& text)
{
  const std::size_t at = text.find_first_of("+-.0123456789");
  if (at == std::string::npos)
    return std::numeric_limits<double>::quiet_NaN();
  char* end = nullptr;
  const double value = std::strtod(text.c_str() + at, &end);
  return end == text.c_str() + at ? std::numeric_limits<double>::quiet_NaN() : value;
}

// The bus layout of `channels` channels: mono and stereo by name, wider ones as the first speakers.
Steinberg::Vst::SpeakerArrangement Vst3Arrangement(int channels)
{
  if (channels == 1)
    return Steinberg::Vst::SpeakerArr::kMono;
  if (channels == 2)
    return Steinberg::Vst::SpeakerArr::kStereo;
  return channels >= 64 ? ~Steinberg::Vst::SpeakerArrangement{0}
                        : (Steinberg::Vst::SpeakerArrangement{1} << channels) - 1;
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
                                    std::size_t cutChars, std::string& error, const std::vector<int>& offered)
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
  error = "unknown parameter \"" + wanted + "\"";
  if (names.empty())
  {
    error += " (the plug-in has no parameters)";
    return -1;
  }
  std::vector<int> listed;
  for (int index : offered)
    if (index >= 0 && index < static_cast<int>(names.size()))
      listed.push_back(index);
  if (listed.empty())
    for (int i = 0; i < static_cast<int>(names.size()); ++i)
      listed.push_back(i);
  error += " (the plug-in has " + QuotedList(names, listed);
  if (listed.size() < names.size())
    error += "; " + std::to_string(names.size() - listed.size()) +
             " MIDI controller slots not shown, see --list-params";
  error += ")";
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
  m_userParameters.clear();
  m_userParametersRead = false;
  m_opened = false;
  m_prepared = false;
  switch (format)
  {
  case MPluginFormat::Vst2:
    m_host = std::make_unique<MTestHostVst2>();
    break;
  case MPluginFormat::PassThrough:
    m_host = std::make_unique<MPassThroughHost>();
    break;
  case MPluginFormat::Vst3:
    m_host = std::make_unique<MTestHostVst3>();
    break;
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
  auto* vst3 = dynamic_cast<MTestHostVst3*>(m_host.get());
  if (vst3 != nullptr)
  {
    // A plug-in that refuses keeps its default layout; the renderer checks the channel counts.
    Steinberg::Vst::SpeakerArrangement input = Vst3Arrangement(channels);
    Steinberg::Vst::SpeakerArrangement output = input;
    vst3->Processor()->setBusArrangements(&input, 1, &output, 1);
  }
  if (m_prepared)
    m_host->Deactivate();
  if (!m_host->Activate(sampleRateHz, maxBlockSamples))
  {
    error = "the plug-in did not start at " + std::to_string(sampleRateHz) + " Hz: " + m_host->LastError();
    return false;
  }
  m_prepared = true;
  return true;
}

void MRenderHost::FlushChanges()
{
  // The plug-in reads queued changes only in process; a block without buses or samples is how
  // hosts hand them over outside playback.
  if (auto* vst3 = dynamic_cast<MTestHostVst3*>(m_host.get()))
  {
    std::vector<Steinberg::Vst::AudioBusBuffers> none;
    vst3->ProcessBuses(none, none, 0);
  }
}

void MRenderHost::SetParameter(int index, float value)
{
  m_host->SetParameter(index, value);
  FlushChanges();
}

std::vector<std::uint8_t> MRenderHost::SaveState(std::string& error)
{
  if (!IsLoaded())
  {
    error = "no plug-in loaded";
    return {};
  }
  FlushChanges();
  std::vector<std::uint8_t> state = m_host->GetState();
  if (state.empty())
    error = "the plug-in gave no state";
  return state;
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

const std::vector<int>& MRenderHost::UserParameters()
{
  if (m_userParametersRead || !IsLoaded())
    return m_userParameters;
  m_userParametersRead = true;
  // The IDs the plug-in maps MIDI controllers to, on any channel of the first event bus.
  std::vector<Steinberg::Vst::ParamID> controllerIds;
  auto* vst3 = dynamic_cast<MTestHostVst3*>(m_host.get());
  if (vst3 != nullptr && vst3->Controller() != nullptr)
  {
    const auto mapping = Steinberg::IPtr<Steinberg::Vst::IMidiMapping>::Adopt(
        Steinberg::QueryInterfaceOf<Steinberg::Vst::IMidiMapping>(vst3->Controller()));
    if (mapping)
      for (Steinberg::int16 channel = 0; channel < 16; ++channel)
        for (Steinberg::Vst::CtrlNumber number = 0; number < Steinberg::Vst::kCountCtrlNumber; ++number)
        {
          Steinberg::Vst::ParamID id = 0;
          if (mapping->getMidiControllerAssignment(0, channel, number, id) == Steinberg::kResultOk)
            controllerIds.push_back(id);
        }
  }
  std::sort(controllerIds.begin(), controllerIds.end());
  for (int i = 0; i < m_host->NumParameters(); ++i)
  {
    Steinberg::Vst::ParameterInfo info = {};
    const bool isSlot = vst3 != nullptr && vst3->ParameterInfo(i, info) &&
                        std::binary_search(controllerIds.begin(), controllerIds.end(), info.id);
    if (!isSlot)
      m_userParameters.push_back(i);
  }
  return m_userParameters;
}

int MRenderHost::FindParameter(const std::string& name, std::string& error)
{
  return MatchParameterName(ParameterNames(), name,
                            m_format == MPluginFormat::Vst2 ? kVst2NameChars : std::size_t{0}, error,
                            UserParameters());
}

bool MRenderHost::SetParameterText(int index, const std::string& text, std::string& shown,
                                   std::string& warning, std::string& error)
{
  MTestHost& host = *m_host;
  const float before = host.GetParameter(index);
  const std::string& name = ParameterNames()[index];
  if (auto* vst3 = dynamic_cast<MTestHostVst3*>(m_host.get()))
  {
    Steinberg::Vst::ParameterInfo info = {};
    if (vst3->ParameterInfo(index, info) && vst3->SetParameterFromText(info.id, text))
    {
      FlushChanges();
      shown = host.ParameterDisplay(index);
      warning.clear();
      // The plug-in clamps text beyond the range to an end; say so when the number shown there
      // is not the one typed.
      const double value = vst3->ParameterValueById(info.id);
      const double typed = LeadingNumber(text);
      const double got = LeadingNumber(shown);
      const bool atEnd = value <= 0.0 || value >= 1.0;
      if (atEnd && !std::isnan(typed) && !std::isnan(got) && std::fabs(typed - got) > 1e-9)
        warning = "\"" + text + "\" is beyond the range of \"" + name + "\"; set to \"" + shown + "\"";
      return true;
    }
    // Refused: fall through to the search by display text, which also reads texts such as
    // "100% wet, 0% dry" that a plug-in's parser may not take back.
  }
  const auto displayAt = [&](double v) {
    SetParameter(index, static_cast<float>(v));
    return host.ParameterDisplay(index);
  };
  const MParameterSearch::Result result = MParameterSearch::Find(displayAt, text);
  if (!result.found)
  {
    SetParameter(index, before);
    error = "cannot set parameter \"" + name + "\" to \"" + text + "\": " + result.message;
    return false;
  }
  SetParameter(index, static_cast<float>(result.normalised));
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
  SetParameter(index, 0.0f);
  std::string low = host.ParameterDisplay(index);
  SetParameter(index, 1.0f);
  std::string high = host.ParameterDisplay(index);
  SetParameter(index, before);
  return {low, high};
}
