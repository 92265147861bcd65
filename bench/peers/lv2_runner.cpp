// lv2-runner: renders an audio file through a mono LV2 plug-in (one instance per channel) with
// lilv, its control ports set by symbol. For bench/compare-peers only. Unlike lv2apply it
// accepts plug-ins with an atom (MIDI) input, which it feeds an empty event sequence.
//
//   lv2-runner --uri URI [--set SYMBOL=VALUE]... [--block N] IN OUT
//   lv2-runner --bypass [--block N] IN OUT      (the same loop, copying instead)
//
// Controls not set keep their default. An output control with the symbol "latency" is read
// after the first block and compensated.

#include "MPeerStream.h"

#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

namespace
{
std::vector<std::string> s_uris;

LV2_URID Map(LV2_URID_Map_Handle, const char* uri)
{
  for (std::size_t i = 0; i < s_uris.size(); ++i)
    if (s_uris[i] == uri)
      return static_cast<LV2_URID>(i + 1);
  s_uris.emplace_back(uri);
  return static_cast<LV2_URID>(s_uris.size());
}

constexpr std::size_t kAtomBytes = 8192;

struct Instance
{
  LilvInstance* instance = nullptr;
  std::vector<float> controls;
  std::vector<std::vector<std::uint64_t>> atoms; // 8-byte aligned atom buffers, one per atom port
};
} // namespace

int main(int argc, char** argv)
{
  std::string uri, input, output;
  std::map<std::string, float> sets;
  bool bypass = false;
  int block = 512;
  for (int i = 1; i < argc; ++i)
  {
    const std::string arg = argv[i];
    if (arg == "--bypass")
      bypass = true;
    else if (arg == "--uri" && i + 1 < argc)
      uri = argv[++i];
    else if (arg == "--block" && i + 1 < argc)
      block = std::atoi(argv[++i]);
    else if (arg == "--set" && i + 1 < argc)
    {
      const std::string item = argv[++i];
      const std::size_t equals = item.rfind('=');
      if (equals == std::string::npos)
        return std::fprintf(stderr, "--set needs SYMBOL=VALUE\n"), 2;
      sets[item.substr(0, equals)] = std::strtof(item.c_str() + equals + 1, nullptr);
    }
    else if (input.empty())
      input = arg;
    else if (output.empty())
      output = arg;
    else
      return std::fprintf(stderr, "unexpected argument %s\n", arg.c_str()), 2;
  }
  if (input.empty() || output.empty() || block < 1 || (!bypass && uri.empty()))
    return std::fprintf(stderr, "usage: lv2-runner (--uri URI [--set SYMBOL=VALUE]... | --bypass) IN OUT\n"),
           2;
  if (bypass)
    return MPeerStream::Run(
        input, output, block, [](int, double) { return true; }, [] { return 0; },
        [](int, const float* in, float* out, int n) { std::memcpy(out, in, n * sizeof(float)); });

  LilvWorld* world = lilv_world_new();
  lilv_world_load_all(world);
  LilvNode* uriNode = lilv_new_uri(world, uri.c_str());
  const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uriNode);
  if (plugin == nullptr)
    return std::fprintf(stderr, "no LV2 plug-in %s\n", uri.c_str()), 1;
  LilvNode* audioClass = lilv_new_uri(world, LILV_URI_AUDIO_PORT);
  LilvNode* controlClass = lilv_new_uri(world, LILV_URI_CONTROL_PORT);
  LilvNode* inputClass = lilv_new_uri(world, LILV_URI_INPUT_PORT);
  LilvNode* atomClass = lilv_new_uri(world, LV2_ATOM__AtomPort);
  const uint32_t ports = lilv_plugin_get_num_ports(plugin);
  std::vector<float> defaults(ports, 0.0f);
  lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());

  LV2_URID_Map map{nullptr, Map};
  LV2_Feature mapFeature{LV2_URID__map, &map};
  const LV2_Feature* features[] = {&mapFeature, nullptr};
  const LV2_URID sequenceType = Map(nullptr, LV2_ATOM__Sequence);
  const LV2_URID chunkType = Map(nullptr, LV2_ATOM__Chunk);

  int audioIn = -1, audioOut = -1, latencyPort = -1;
  std::vector<std::unique_ptr<Instance>> instances;
  const auto resetAtoms = [&](Instance& instance) {
    std::size_t slot = 0;
    for (uint32_t p = 0; p < ports; ++p)
    {
      const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
      if (!lilv_port_is_a(plugin, port, atomClass))
        continue;
      auto* atom = reinterpret_cast<LV2_Atom_Sequence*>(instance.atoms[slot++].data());
      if (lilv_port_is_a(plugin, port, inputClass))
      {
        atom->atom.size = sizeof(LV2_Atom_Sequence_Body); // an empty event sequence
        atom->atom.type = sequenceType;
        atom->body.unit = 0;
        atom->body.pad = 0;
      }
      else
      {
        atom->atom.size = kAtomBytes - sizeof(LV2_Atom); // room for the plug-in to write
        atom->atom.type = chunkType;
      }
    }
  };
  const auto setup = [&](int channels, double rate) {
    std::map<std::string, float> unused = sets;
    for (int c = 0; c < channels; ++c)
    {
      auto instance = std::make_unique<Instance>();
      instance->instance = lilv_plugin_instantiate(plugin, rate, features);
      if (instance->instance == nullptr)
        return std::fprintf(stderr, "instantiation failed\n"), false;
      instance->controls.assign(ports, 0.0f);
      for (uint32_t p = 0; p < ports; ++p)
      {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
        const bool isInput = lilv_port_is_a(plugin, port, inputClass);
        if (lilv_port_is_a(plugin, port, audioClass))
        {
          (isInput ? audioIn : audioOut) = static_cast<int>(p);
          continue;
        }
        if (lilv_port_is_a(plugin, port, atomClass))
        {
          instance->atoms.emplace_back(kAtomBytes / sizeof(std::uint64_t), 0);
          lilv_instance_connect_port(instance->instance, p, instance->atoms.back().data());
          continue;
        }
        if (!lilv_port_is_a(plugin, port, controlClass))
          return std::fprintf(stderr, "port %s is of a kind this runner cannot feed\n", symbol.c_str()),
                 false;
        float& value = instance->controls[p];
        value = std::isnan(defaults[p]) ? 0.0f : defaults[p];
        if (isInput)
        {
          if (const auto found = sets.find(symbol); found != sets.end())
          {
            value = found->second;
            unused.erase(symbol);
          }
        }
        else if (symbol == "latency")
          latencyPort = static_cast<int>(p);
        lilv_instance_connect_port(instance->instance, p, &value);
      }
      if (audioIn < 0 || audioOut < 0)
        return std::fprintf(stderr, "the plug-in has no mono audio input and output\n"), false;
      lilv_instance_activate(instance->instance);
      instances.push_back(std::move(instance));
    }
    for (const auto& [symbol, value] : unused)
      return std::fprintf(stderr, "the plug-in has no control input \"%s\"\n", symbol.c_str()), false;
    return true;
  };
  const auto latency = [&] {
    return latencyPort >= 0 ? static_cast<int>(std::lround(instances.front()->controls[latencyPort])) : 0;
  };
  const auto process = [&](int channel, const float* in, float* out, int n) {
    Instance& instance = *instances[channel];
    resetAtoms(instance);
    lilv_instance_connect_port(instance.instance, audioIn, const_cast<float*>(in));
    lilv_instance_connect_port(instance.instance, audioOut, out);
    lilv_instance_run(instance.instance, static_cast<uint32_t>(n));
  };
  const int status = MPeerStream::Run(input, output, block, setup, latency, process);
  for (auto& instance : instances)
  {
    lilv_instance_deactivate(instance->instance);
    lilv_instance_free(instance->instance);
  }
  for (LilvNode* node : {uriNode, audioClass, controlClass, inputClass, atomClass})
    lilv_node_free(node);
  lilv_world_free(world);
  return status;
}
