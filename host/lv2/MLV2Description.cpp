#include "host/lv2/MLV2Description.h"

#include "core/parameters/MParameterMapping.h"
#include "core/parameters/ParameterBase.h"
#include "core/parameters/ParameterBaseCustom.h"
#include "core/plugin/MAudioPlugin.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

namespace
{
constexpr std::int32_t kBooleanType = 4;

/// The descriptor behind host parameter `index`, null for an adapter without one.
const MParameterInfo* DescriptorOf(MAudioPlugin& plugin, std::int32_t index)
{
  std::int32_t slot = 0;
  MAudioPlugin::AutomationAdapter* adapter = plugin.FindAutomationAdapter(index, slot);
  if (auto* parameter = dynamic_cast<ParameterBase*>(adapter);
      parameter != nullptr && parameter->m_descriptor)
    return parameter->m_descriptor;
  if (auto* custom = dynamic_cast<ParameterBaseCustom*>(adapter); custom != nullptr && custom->m_descriptor)
    return custom->m_descriptor;
  return nullptr;
}

/// A Turtle string literal.
std::string Quoted(const std::string& text)
{
  std::string quoted = "\"";
  for (const char c : text)
  {
    if (c == '"' || c == '\\')
      quoted += '\\';
    if (c == '\n' || c == '\r')
    {
      quoted += c == '\n' ? "\\n" : "\\r";
      continue;
    }
    quoted += c;
  }
  return quoted + '"';
}

/// A decimal Turtle literal that reads back as the same double.
std::string Decimal(double value)
{
  char text[40];
  std::snprintf(text, sizeof text, "%.9g", value);
  std::string result = text;
  if (result.find_first_of(".e") == std::string::npos)
    result += ".0";
  return result;
}

struct Parameter
{
  std::string symbol;
  std::string name;
  std::string group; // empty: none
  MLV2Description::ControlScale scale;
  double minimum = 0.0;
  double maximum = 1.0;
  double defaultValue = 0.0;
  const char* unit = nullptr; // a units: name, null for none
  std::vector<std::pair<double, std::string>> points;
};

const char* UnitName(std::int32_t unit)
{
  switch (unit)
  {
  case MParameterInfo::kPercent:
    return "pc";
  case MParameterInfo::kCents:
    return "cent";
  case MParameterInfo::kSemitones:
    return "semitone12TET";
  case MParameterInfo::kDecibels:
    return "db";
  default:
    return nullptr;
  }
}

std::vector<Parameter> ReadParameters(MAudioPlugin& plugin)
{
  using Kind = MLV2Description::ControlScale::Kind;
  const std::vector<MLV2Description::ControlScale> scales = MLV2Description::ControlScales(plugin);
  std::vector<Parameter> parameters;
  for (std::int32_t index = 0; index < plugin.GetNumParameters(); ++index)
  {
    Parameter parameter;
    const std::string id = plugin.GetParameterID(index).ToUTF8();
    parameter.symbol = MLV2Description::Symbol(id);
    parameter.name = plugin.GetParameterName(index).ToUTF8();
    // The ID joins the group's name and the parameter's with " - " (MAudioPlugin::JoinTexts).
    if (const std::size_t dash = id.rfind(" - "); dash != std::string::npos)
      parameter.group = id.substr(0, dash);
    if (parameter.name.empty())
      parameter.name = id;
    const MLV2Description::ControlScale& scale = scales[static_cast<std::size_t>(index)];
    parameter.scale = scale;
    parameter.minimum = scale.FromNormalised(0.0);
    parameter.maximum = scale.FromNormalised(1.0);
    parameter.defaultValue = scale.FromNormalised(plugin.GetParameterDefaultValue(index));
    if (scale.kind == Kind::kFloat || scale.kind == Kind::kInteger)
      parameter.unit = UnitName(scale.info->unit);
    if (scale.kind == Kind::kEnumeration)
      for (std::int32_t choice = 0; choice < scale.info->enumeration.count; ++choice)
        parameter.points.emplace_back(
            choice, plugin
                        .GetParameterValueNameFrom01(
                            index, MParameterMapping::EnumerationToNormalised(*scale.info, choice))
                        .ToUTF8());
    // A value without a unit names its ends and its middle.
    if (scale.kind == Kind::kNormalised || ((scale.kind == Kind::kFloat) && parameter.unit == nullptr))
      for (const double at : {0.0, 0.5, 1.0})
        parameter.points.emplace_back(scale.FromNormalised(at),
                                      plugin.GetParameterValueNameFrom01(index, at).ToUTF8());
    parameters.push_back(std::move(parameter));
  }
  // Two IDs that make the same symbol get the parameter's number behind the second.
  for (std::size_t i = 0; i < parameters.size(); ++i)
    for (std::size_t j = 0; j < i; ++j)
      if (parameters[j].symbol == parameters[i].symbol)
        parameters[i].symbol += "_" + std::to_string(i);
  return parameters;
}

std::string GroupUri(const std::string& group)
{
  return std::string(MLV2Description::kStereoUri) + "#group_" + MLV2Description::Symbol(group);
}

const char* const kPrefixes = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                              "@prefix bufsz: <http://lv2plug.in/ns/ext/buf-size#> .\n"
                              "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix midi: <http://lv2plug.in/ns/ext/midi#> .\n"
                              "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
                              "@prefix pg: <http://lv2plug.in/ns/ext/port-groups#> .\n"
                              "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                              "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n"
                              "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                              "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n"
                              "@prefix urid: <http://lv2plug.in/ns/ext/urid#> .\n\n";

void AppendPlugin(std::string& out, const char* uri, std::uint32_t channels,
                  const std::vector<Parameter>& parameters)
{
  const MLV2Description::PortLayout layout{static_cast<std::uint32_t>(parameters.size()), channels};
  out += "<" + std::string(uri) + ">\n  a lv2:Plugin , lv2:PitchPlugin ;\n";
  out += "  doap:name " + Quoted(channels == 1 ? "Tonvera (mono)" : "Tonvera") + " ;\n";
  out += "  doap:license <https://tonvera.example/license> ;\n";
  out += "  lv2:project <" + std::string(MLV2Description::kProjectUri) + "> ;\n";
  out += "  lv2:minorVersion 1 ;\n  lv2:microVersion 0 ;\n";
  out += "  lv2:requiredFeature urid:map ;\n";
  out += "  lv2:optionalFeature lv2:hardRTCapable , opts:options , bufsz:boundedBlockLength ;\n";
  out += "  opts:supportedOption bufsz:maxBlockLength , bufsz:nominalBlockLength ;\n";
  out += "  lv2:extensionData state:interface ;\n";
  out += "  ui:ui <" + std::string(MLV2Description::kUiUri) + "> ;\n";
  out += "  lv2:port";
  const auto port = [&](std::uint32_t index, const std::string& types, const std::string& symbol,
                        const std::string& name, const std::string& rest) {
    out += index == 0 ? " [\n" : " , [\n";
    out += "    a " + types + " ;\n    lv2:index " + std::to_string(index) + " ;\n";
    out += "    lv2:symbol " + Quoted(symbol) + " ;\n    lv2:name " + Quoted(name) + " ;\n" + rest + "  ]";
  };
  for (std::uint32_t index = 0; index < parameters.size(); ++index)
  {
    const Parameter& p = parameters[index];
    std::string rest;
    if (!p.group.empty())
      rest += "    pg:group <" + GroupUri(p.group) + "> ;\n";
    using Kind = MLV2Description::ControlScale::Kind;
    if (p.scale.kind == Kind::kToggle)
      rest += "    lv2:portProperty lv2:toggled ;\n";
    else if (p.scale.kind == Kind::kEnumeration)
      rest += "    lv2:portProperty lv2:integer , lv2:enumeration ;\n";
    else if (p.scale.kind == Kind::kInteger)
      rest += "    lv2:portProperty lv2:integer ;\n";
    if (p.unit != nullptr)
      rest += std::string("    units:unit units:") + p.unit + " ;\n";
    rest += "    lv2:default " + Decimal(p.defaultValue) + " ;\n    lv2:minimum " + Decimal(p.minimum) +
            " ;\n    lv2:maximum " + Decimal(p.maximum) + " ;\n";
    for (std::size_t k = 0; k < p.points.size(); ++k)
      rest += std::string(k == 0 ? "    lv2:scalePoint" : " ,") + " [ rdfs:label " +
              Quoted(p.points[k].second) + " ; rdf:value " + Decimal(p.points[k].first) + " ]";
    if (!p.points.empty())
      rest += " ;\n";
    port(index, "lv2:InputPort , lv2:ControlPort", p.symbol, p.name, rest);
  }
  port(layout.Enabled(), "lv2:InputPort , lv2:ControlPort", "enabled", "Enabled",
       "    lv2:designation lv2:enabled ;\n    lv2:portProperty lv2:toggled ;\n"
       "    lv2:default 1.0 ;\n    lv2:minimum 0.0 ;\n    lv2:maximum 1.0 ;\n");
  port(layout.Latency(), "lv2:OutputPort , lv2:ControlPort", "latency", "Latency",
       "    lv2:designation lv2:latency ;\n    lv2:portProperty lv2:reportsLatency , lv2:integer ;\n"
       "    lv2:minimum 0.0 ;\n    lv2:maximum 1048576.0 ;\n");
  port(layout.Control(), "lv2:InputPort , atom:AtomPort", "control", "MIDI in",
       "    atom:bufferType atom:Sequence ;\n    atom:supports midi:MidiEvent ;\n"
       "    lv2:designation lv2:control ;\n");
  port(layout.Notify(), "lv2:OutputPort , atom:AtomPort", "notify", "Notify",
       "    atom:bufferType atom:Sequence ;\n");
  static const char* const kSides[2][2] = {{"left", "Left"}, {"right", "Right"}};
  for (std::uint32_t c = 0; c < channels; ++c)
  {
    const std::string symbol = channels == 1 ? "" : std::string("_") + kSides[c][0];
    const std::string name = channels == 1 ? "" : std::string(" ") + kSides[c][1];
    port(layout.AudioIn(c), "lv2:InputPort , lv2:AudioPort", "in" + symbol, "In" + name, "");
  }
  for (std::uint32_t c = 0; c < channels; ++c)
  {
    const std::string symbol = channels == 1 ? "" : std::string("_") + kSides[c][0];
    const std::string name = channels == 1 ? "" : std::string(" ") + kSides[c][1];
    port(layout.AudioOut(c), "lv2:OutputPort , lv2:AudioPort", "out" + symbol, "Out" + name, "");
  }
  port(layout.MidiOut(), "lv2:OutputPort , atom:AtomPort", "midi_out", "MIDI out",
       "    atom:bufferType atom:Sequence ;\n    atom:supports midi:MidiEvent ;\n");
  out += " .\n\n";
}
} // namespace

std::uint32_t MLV2Description::ChannelsOf(const char* uri)
{
  if (uri == nullptr)
    return 0;
  if (std::strcmp(uri, kStereoUri) == 0)
    return 2;
  return std::strcmp(uri, kMonoUri) == 0 ? 1 : 0;
}

std::string MLV2Description::Symbol(const std::string& parameterId)
{
  std::string symbol;
  for (const char c : parameterId)
  {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) != 0 && u < 0x80)
      symbol += static_cast<char>(std::tolower(u));
    else if (c == '#')
      symbol += "_sharp";
    else if (!symbol.empty() && symbol.back() != '_')
      symbol += '_';
  }
  while (!symbol.empty() && symbol.back() == '_')
    symbol.pop_back();
  if (symbol.empty() || std::isdigit(static_cast<unsigned char>(symbol.front())) != 0)
    symbol.insert(0, "p_");
  return symbol;
}

std::string MLV2Description::Manifest()
{
  std::string out = "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                    "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n\n";
  for (const char* uri : {kStereoUri, kMonoUri})
    out += "<" + std::string(uri) + ">\n  a lv2:Plugin ;\n  lv2:binary <" + kBinaryName +
           "> ;\n  rdfs:seeAlso <Tonvera.ttl> .\n\n";
  out += "<" + std::string(kUiUri) + ">\n  a ui:X11UI ;\n  ui:binary <" + kBinaryName +
         "> ;\n  rdfs:seeAlso <Tonvera.ttl> .\n";
  return out;
}

std::string MLV2Description::Plugins(MAudioPlugin& plugin)
{
  const std::vector<Parameter> parameters = ReadParameters(plugin);
  std::string out = kPrefixes;
  std::vector<std::string> groups;
  for (const Parameter& p : parameters)
    if (!p.group.empty() && std::find(groups.begin(), groups.end(), p.group) == groups.end())
      groups.push_back(p.group);
  for (const std::string& group : groups)
    out += "<" + GroupUri(group) + ">\n  a pg:Group ;\n  lv2:symbol " + Quoted(Symbol(group)) +
           " ;\n  lv2:name " + Quoted(group) + " .\n\n";
  out += "<" + std::string(kProjectUri) + ">\n  a doap:Project ;\n  doap:name \"Tonvera\" ;\n" +
         "  doap:maintainer [ foaf:name \"Quorvel\" ] .\n\n";
  AppendPlugin(out, kStereoUri, 2, parameters);
  AppendPlugin(out, kMonoUri, 1, parameters);
  out += "<" + std::string(kUiUri) + ">\n  a ui:X11UI ;\n";
  out += "  lv2:requiredFeature ui:parent , ui:idleInterface ;\n";
  out += "  lv2:optionalFeature ui:resize , ui:touch , <http://lv2plug.in/ns/ext/instance-access> ;\n";
  out += "  lv2:extensionData ui:idleInterface , ui:resize ;\n";
  // The indicator's figures reach a UI without instance-access through the notify port.
  out += "  ui:portNotification";
  for (const char* uri : {kStereoUri, kMonoUri})
    out += std::string(uri == kStereoUri ? "" : " ,") + " [\n    ui:plugin <" + uri +
           "> ;\n    lv2:symbol \"notify\" ;\n    ui:protocol atom:eventTransfer\n  ]";
  out += " .\n";
  return out;
}

double MLV2Description::ControlScale::ToNormalised(float port) const noexcept
{
  const double value = port;
  switch (kind)
  {
  case Kind::kFloat:
    return std::clamp(MParameterMapping::FloatToNormalised(*info, value / factor), 0.0, 1.0);
  case Kind::kInteger:
    return std::clamp(MParameterMapping::IntegerToNormalised(*info, std::round(value)), 0.0, 1.0);
  case Kind::kEnumeration:
    return MParameterMapping::EnumerationToNormalised(
        *info, static_cast<std::int32_t>(std::clamp(std::round(value), 0.0, info->enumeration.count - 1.0)));
  case Kind::kToggle:
  case Kind::kNormalised:
    break;
  }
  return std::clamp(value, 0.0, 1.0);
}

float MLV2Description::ControlScale::FromNormalised(double value) const noexcept
{
  value = std::clamp(value, 0.0, 1.0);
  switch (kind)
  {
  case Kind::kFloat:
    return static_cast<float>(MParameterMapping::FloatToPlain(*info, value) * factor);
  case Kind::kInteger:
    return static_cast<float>(MParameterMapping::IntegerToPlain(*info, value));
  case Kind::kEnumeration:
    return static_cast<float>(MParameterMapping::EnumerationToIndex(*info, value));
  case Kind::kToggle:
    // The scale notes' default is 0.5, and they start on.
    return value >= 0.5 ? 1.0f : 0.0f;
  case Kind::kNormalised:
    break;
  }
  return static_cast<float>(value);
}

std::vector<MLV2Description::ControlScale> MLV2Description::ControlScales(MAudioPlugin& plugin)
{
  std::vector<ControlScale> scales;
  for (std::int32_t index = 0; index < plugin.GetNumParameters(); ++index)
  {
    ControlScale scale;
    const std::int32_t type = plugin.GetParameterType(index);
    const MParameterInfo* info = DescriptorOf(plugin, index);
    if (type == kBooleanType)
      scale.kind = ControlScale::Kind::kToggle;
    else if (info != nullptr && type == MParameterInfo::kFloat &&
             info->floating.maximum != info->floating.minimum)
    {
      scale.kind = ControlScale::Kind::kFloat;
      scale.factor = info->unit == MParameterInfo::kPercent ? 100.0 : 1.0;
    }
    else if (info != nullptr && type == MParameterInfo::kInteger &&
             info->integer.maximum != info->integer.minimum)
      scale.kind = ControlScale::Kind::kInteger;
    else if (info != nullptr && type == MParameterInfo::kEnumeration && info->enumeration.count >= 2)
      scale.kind = ControlScale::Kind::kEnumeration;
    if (scale.kind != ControlScale::Kind::kNormalised && scale.kind != ControlScale::Kind::kToggle)
      scale.info = info;
    scales.push_back(scale);
  }
  return scales;
}

std::vector<std::string> MLV2Description::ParameterSymbols(MAudioPlugin& plugin)
{
  std::vector<std::string> symbols;
  for (const Parameter& parameter : ReadParameters(plugin))
    symbols.push_back(parameter.symbol);
  return symbols;
}

std::string MLV2Description::PresetUri(const std::string& folder, const std::string& label)
{
  return std::string(kStereoUri) + "#preset_" + Symbol(folder.empty() ? label : folder + " " + label);
}

std::string MLV2Description::PresetManifest(const std::vector<std::string>& uris)
{
  std::string out;
  for (const std::string& uri : uris)
    out += "\n<" + uri + ">\n  a <http://lv2plug.in/ns/ext/presets#Preset> ;\n  lv2:appliesTo <" +
           kStereoUri + "> , <" + kMonoUri + "> ;\n  rdfs:seeAlso <presets.ttl> .\n";
  return out;
}

std::string MLV2Description::Presets(const std::vector<Preset>& presets, const std::vector<std::string>& uris,
                                     const std::vector<std::string>& symbols)
{
  std::string out = "@prefix atom: <http://lv2plug.in/ns/ext/atom#> .\n"
                    "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                    "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                    "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                    "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                    "@prefix state: <http://lv2plug.in/ns/ext/state#> .\n\n";
  out += "<" + std::string(kPresetUri) +
         ">\n  a rdf:Property ;\n  rdfs:label \"factory preset\" ;\n"
         "  rdfs:comment \"A preset as the editor's preset tree holds it, applied as the editor applies "
         "it.\" ;\n"
         "  rdfs:range atom:String .\n";
  for (std::size_t p = 0; p < presets.size() && p < uris.size(); ++p)
  {
    const Preset& preset = presets[p];
    out += "\n<" + uris[p] + ">\n  a pset:Preset ;\n  lv2:appliesTo <" + kStereoUri + "> , <" + kMonoUri +
           "> ;\n  rdfs:label " + Quoted(preset.label) + " ;\n";
    bool first = true;
    for (std::size_t index = 0; index < preset.values.size() && index < symbols.size(); ++index)
    {
      if (std::isnan(preset.values[index]))
        continue;
      out += std::string(first ? "  lv2:port [\n" : " , [\n") + "    lv2:symbol " + Quoted(symbols[index]) +
             " ;\n    pset:value " + Decimal(preset.values[index]) + "\n  ]";
      first = false;
    }
    out += std::string(first ? "" : " ;\n") + "  state:state [\n    <" + std::string(kPresetUri) + "> " +
           Quoted(preset.settings) + "\n  ] .\n";
  }
  return out;
}
