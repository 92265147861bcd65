#include "tools/render/MRenderer.h"

#include <algorithm>
#include <vector>

namespace
{
// One instance's planar buffers: its inputs and outputs, each block samples long, with the
// pointer arrays the plug-in receives.
struct InstanceBuffers
{
  MTestHost* host = nullptr;
  int firstChannel = 0;
  int channels = 0;
  std::vector<float> storage;
  std::vector<float*> inputs;
  std::vector<float*> outputs;

  void Allocate(int blockSamples)
  {
    const int numInputs = std::max(host->NumInputs(), 0);
    const int numOutputs = std::max(host->NumOutputs(), 0);
    storage.assign(static_cast<std::size_t>(numInputs + numOutputs) * blockSamples, 0.0f);
    inputs.resize(numInputs);
    outputs.resize(numOutputs);
    for (int c = 0; c < numInputs; ++c)
      inputs[c] = storage.data() + static_cast<std::size_t>(c) * blockSamples;
    for (int c = 0; c < numOutputs; ++c)
      outputs[c] = storage.data() + static_cast<std::size_t>(numInputs + c) * blockSamples;
  }
};
} // namespace

bool MRenderer::Render(std::span<MTestHost* const> instances, MSampleSource& source, MSampleSink& sink,
                       const MRenderJob& job, MRenderResult& result, std::string& error)
{
  result = MRenderResult{};
  const int channels = job.channels;
  const int block = job.blockSamples;
  if (channels < 1 || block < 1 || block > kMaxBlockSamples || job.frames < 0 || job.channelsPerInstance < 1)
  {
    error = "bad render job (channels, block size or length)";
    return false;
  }
  if (static_cast<int>(instances.size()) != InstancesFor(channels, job.channelsPerInstance))
  {
    error = "wrong number of plug-in instances for " + std::to_string(channels) + " channels";
    return false;
  }

  std::vector<InstanceBuffers> groups(instances.size());
  for (std::size_t g = 0; g < groups.size(); ++g)
  {
    InstanceBuffers& group = groups[g];
    group.host = instances[g];
    group.firstChannel = static_cast<int>(g) * job.channelsPerInstance;
    group.channels = std::min(job.channelsPerInstance, channels - group.firstChannel);
    if (group.host->NumInputs() < group.channels || group.host->NumOutputs() < group.channels)
    {
      error = "the plug-in takes " + std::to_string(group.host->NumInputs()) + " inputs and " +
              std::to_string(group.host->NumOutputs()) + " outputs, fewer than the " +
              std::to_string(group.channels) + " channels given to it";
      return false;
    }
    group.Allocate(block);
  }
  const int latency = std::max(instances.front()->LatencySamples(), 0);
  for (MTestHost* host : instances)
    if (std::max(host->LatencySamples(), 0) != latency)
    {
      error = "the plug-in instances report different latencies";
      return false;
    }
  result.latencySamples = latency;

  std::vector<float> input(static_cast<std::size_t>(block) * channels);
  std::vector<float> output(static_cast<std::size_t>(block) * channels);

  std::int64_t frames = job.frames;
  std::int64_t read = 0;
  std::int64_t processed = 0;
  std::int64_t written = 0;
  while (processed < frames + latency)
  {
    const int n = static_cast<int>(std::min<std::int64_t>(block, frames + latency - processed));

    // Input: the source while it lasts, then silence to push the last frames out.
    int got = 0;
    const int wanted = static_cast<int>(std::clamp<std::int64_t>(frames - read, 0, n));
    while (got < wanted)
    {
      const int chunk =
          source.Read(input.data() + static_cast<std::size_t>(got) * channels, wanted - got, error);
      if (chunk <= 0)
        break;
      got += chunk;
    }
    if (got < wanted)
    {
      if (!error.empty())
        return false;
      // The source ended before its announced length (a header that overstates it): the
      // render ends there too, still aligned.
      frames = read + got;
    }
    read += got;
    std::fill(input.begin() + static_cast<std::ptrdiff_t>(got) * channels, input.end(), 0.0f);
    if (job.observer != nullptr && got > 0)
      job.observer->OnInput(input.data(), got, channels);

    for (InstanceBuffers& group : groups)
    {
      for (int c = 0; c < static_cast<int>(group.inputs.size()); ++c)
      {
        float* plane = group.inputs[c];
        if (c < group.channels)
          for (int i = 0; i < n; ++i)
            plane[i] = input[static_cast<std::size_t>(i) * channels + group.firstChannel + c];
        else
          std::fill(plane, plane + n, 0.0f); // the plug-in may have scribbled on it
      }
      if (!group.host->Process(group.inputs.data(), group.outputs.data(), n))
      {
        error = "the plug-in failed to process: " + group.host->LastError();
        return false;
      }
      for (int c = 0; c < group.channels; ++c)
      {
        const float* plane = group.outputs[c];
        for (int i = 0; i < n; ++i)
          output[static_cast<std::size_t>(i) * channels + group.firstChannel + c] = plane[i];
      }
    }

    // Output frames processed .. processed + n - 1 belong to input frames L earlier.
    const int skip = static_cast<int>(std::clamp<std::int64_t>(latency - processed, 0, n));
    const int keep = static_cast<int>(std::clamp<std::int64_t>(frames - written, 0, n - skip));
    processed += n;
    if (keep > 0)
    {
      const float* first = output.data() + static_cast<std::size_t>(skip) * channels;
      if (!sink.Write(first, keep, error))
        return false;
      if (job.observer != nullptr)
        job.observer->OnOutput(first, keep, channels);
      written += keep;
    }
    if (job.progress)
      job.progress(written, frames);
  }
  result.framesWritten = written;
  return true;
}
