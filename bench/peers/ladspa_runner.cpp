// ladspa-runner: renders an audio file through a mono LADSPA plug-in, one instance per channel,
// with its control ports set by name. For bench/compare-peers only.
//
//   ladspa-runner --plugin SO --label LABEL [--set "PORT NAME=VALUE"]... [--block N] IN OUT
//   ladspa-runner --bypass [--block N] IN OUT      (the same loop, copying instead)
//
// Controls not set keep the default their hints give. An output control named "latency" is
// read after the first block and compensated.

#include "MPeerStream.h"

#include <dlfcn.h>
#include <ladspa.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>

namespace
{
float DefaultOf(const LADSPA_PortRangeHint& range, double rate)
{
  const LADSPA_PortRangeHintDescriptor hint = range.HintDescriptor;
  float low = range.LowerBound;
  float high = range.UpperBound;
  if (LADSPA_IS_HINT_SAMPLE_RATE(hint))
  {
    low *= static_cast<float>(rate);
    high *= static_cast<float>(rate);
  }
  const bool logarithmic = LADSPA_IS_HINT_LOGARITHMIC(hint) && low > 0.0f && high > 0.0f;
  const auto between = [&](float part) {
    return logarithmic ? std::exp(std::log(low) * (1.0f - part) + std::log(high) * part)
                       : low * (1.0f - part) + high * part;
  };
  switch (hint & LADSPA_HINT_DEFAULT_MASK)
  {
  case LADSPA_HINT_DEFAULT_MINIMUM:
    return low;
  case LADSPA_HINT_DEFAULT_LOW:
    return between(0.25f);
  case LADSPA_HINT_DEFAULT_MIDDLE:
    return between(0.5f);
  case LADSPA_HINT_DEFAULT_HIGH:
    return between(0.75f);
  case LADSPA_HINT_DEFAULT_MAXIMUM:
    return high;
  case LADSPA_HINT_DEFAULT_1:
    return 1.0f;
  case LADSPA_HINT_DEFAULT_100:
    return 100.0f;
  case LADSPA_HINT_DEFAULT_440:
    return 440.0f;
  default:
    return 0.0f;
  }
}

struct Instance
{
  LADSPA_Handle handle = nullptr;
  std::vector<float> controls; // one slot per port (audio ports leave theirs unused)
  int audioIn = -1;
  int audioOut = -1;
  int latencyPort = -1;
};
} // namespace

int main(int argc, char** argv)
{
  std::string pluginPath, label, input, output;
  std::map<std::string, float> sets;
  bool bypass = false;
  int block = 512;
  for (int i = 1; i < argc; ++i)
  {
    const std::string arg = argv[i];
    if (arg == "--bypass")
      bypass = true;
    else if (arg == "--plugin" && i + 1 < argc)
      pluginPath = argv[++i];
    else if (arg == "--label" && i + 1 < argc)
      label = argv[++i];
    else if (arg == "--block" && i + 1 < argc)
      block = std::atoi(argv[++i]);
    else if (arg == "--set" && i + 1 < argc)
    {
      const std::string item = argv[++i];
      const std::size_t equals = item.rfind('=');
      if (equals == std::string::npos)
        return std::fprintf(stderr, "--set needs NAME=VALUE\n"), 2;
      sets[item.substr(0, equals)] = std::strtof(item.c_str() + equals + 1, nullptr);
    }
    else if (input.empty())
      input = arg;
    else if (output.empty())
      output = arg;
    else
      return std::fprintf(stderr, "unexpected argument %s\n", arg.c_str()), 2;
  }
  if (input.empty() || output.empty() || block < 1 || (!bypass && (pluginPath.empty() || label.empty())))
    return std::fprintf(
               stderr,
               "usage: ladspa-runner (--plugin SO --label LABEL [--set NAME=VALUE]... | --bypass) IN OUT\n"),
           2;

  if (bypass)
    return MPeerStream::Run(
        input, output, block, [](int, double) { return true; }, [] { return 0; },
        [](int, const float* in, float* out, int n) { std::memcpy(out, in, n * sizeof(float)); });

  void* library = dlopen(pluginPath.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr)
    return std::fprintf(stderr, "cannot load %s: %s\n", pluginPath.c_str(), dlerror()), 1;
  auto descriptorOf = reinterpret_cast<LADSPA_Descriptor_Function>(dlsym(library, "ladspa_descriptor"));
  const LADSPA_Descriptor* descriptor = nullptr;
  for (unsigned long index = 0; descriptorOf != nullptr && (descriptor = descriptorOf(index)) != nullptr;
       ++index)
    if (label == descriptor->Label)
      break;
  if (descriptor == nullptr)
    return std::fprintf(stderr, "no plug-in labelled %s in %s\n", label.c_str(), pluginPath.c_str()), 1;

  std::vector<std::unique_ptr<Instance>> instances;
  const auto setup = [&](int channels, double rate) {
    std::map<std::string, float> unused = sets;
    for (int c = 0; c < channels; ++c)
    {
      auto instance = std::make_unique<Instance>();
      instance->handle = descriptor->instantiate(descriptor, static_cast<unsigned long>(rate));
      if (instance->handle == nullptr)
        return std::fprintf(stderr, "instantiation failed\n"), false;
      instance->controls.assign(descriptor->PortCount, 0.0f);
      for (unsigned long p = 0; p < descriptor->PortCount; ++p)
      {
        const LADSPA_PortDescriptor kind = descriptor->PortDescriptors[p];
        const std::string name = descriptor->PortNames[p];
        if (LADSPA_IS_PORT_AUDIO(kind))
        {
          (LADSPA_IS_PORT_INPUT(kind) ? instance->audioIn : instance->audioOut) = static_cast<int>(p);
          continue;
        }
        float& value = instance->controls[p];
        if (LADSPA_IS_PORT_INPUT(kind))
        {
          value = DefaultOf(descriptor->PortRangeHints[p], rate);
          if (const auto found = sets.find(name); found != sets.end())
          {
            value = found->second;
            unused.erase(name);
          }
        }
        else if (name == "latency")
          instance->latencyPort = static_cast<int>(p);
        descriptor->connect_port(instance->handle, p, &value);
      }
      if (instance->audioIn < 0 || instance->audioOut < 0)
        return std::fprintf(stderr, "the plug-in has no mono audio input and output\n"), false;
      if (descriptor->activate != nullptr)
        descriptor->activate(instance->handle);
      instances.push_back(std::move(instance));
    }
    for (const auto& [name, value] : unused)
      return std::fprintf(stderr, "the plug-in has no control input named \"%s\"\n", name.c_str()), false;
    return true;
  };
  const auto latency = [&] {
    const Instance& first = *instances.front();
    return first.latencyPort >= 0 ? static_cast<int>(std::lround(first.controls[first.latencyPort])) : 0;
  };
  const auto process = [&](int channel, const float* in, float* out, int n) {
    Instance& instance = *instances[channel];
    descriptor->connect_port(instance.handle, instance.audioIn, const_cast<float*>(in));
    descriptor->connect_port(instance.handle, instance.audioOut, out);
    descriptor->run(instance.handle, static_cast<unsigned long>(n));
  };
  const int status = MPeerStream::Run(input, output, block, setup, latency, process);
  for (auto& instance : instances)
  {
    if (descriptor->deactivate != nullptr)
      descriptor->deactivate(instance->handle);
    descriptor->cleanup(instance->handle);
  }
  return status;
}
