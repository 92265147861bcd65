#pragma once
// Streaming file loop shared by the peer runners of bench/compare-peers: reads an audio file in
// blocks, hands each channel's block to a mono processor (one plug-in instance per channel, as a
// host runs a mono plug-in on a multi-channel track), compensates the latency the plug-in
// reports (drops that many leading frames, feeds as many frames of silence at the end) and
// writes a file of the input's length and format. Benchmark-only code, not part of the product.

#include <sndfile.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

class MPeerStream
{
public:
  /// Per-channel processing of n samples; in and out never alias.
  using Process = std::function<void(int channel, const float* in, float* out, int n)>;

  /// setup(channels, rate) prepares the instances (false: stop); latency() answers the delay in
  /// samples, asked after the first block. Answers the process exit status.
  static int Run(const std::string& inputPath, const std::string& outputPath, int block,
                 const std::function<bool(int, double)>& setup, const std::function<int()>& latency,
                 const Process& process)
  {
    SF_INFO info{};
    SNDFILE* input = sf_open(inputPath.c_str(), SFM_READ, &info);
    if (input == nullptr)
    {
      std::fprintf(stderr, "cannot read %s: %s\n", inputPath.c_str(), sf_strerror(nullptr));
      return 1;
    }
    if (!setup(info.channels, info.samplerate))
    {
      sf_close(input);
      return 1;
    }
    SF_INFO outInfo = info;
    SNDFILE* output = sf_open(outputPath.c_str(), SFM_WRITE, &outInfo);
    if (output == nullptr)
    {
      std::fprintf(stderr, "cannot write %s: %s\n", outputPath.c_str(), sf_strerror(nullptr));
      sf_close(input);
      return 1;
    }
    sf_command(output, SFC_SET_CLIPPING, nullptr, SF_TRUE);
    const int channels = info.channels;
    std::vector<float> interleaved(static_cast<std::size_t>(block) * channels);
    std::vector<float> planeIn(block);
    std::vector<float> planeOut(block);
    std::vector<float> result(static_cast<std::size_t>(block) * channels);
    const sf_count_t frames = info.frames;
    sf_count_t processed = 0;
    sf_count_t written = 0;
    int delay = -1;
    while (delay < 0 || processed < frames + delay)
    {
      const sf_count_t limit = delay < 0 ? frames + block : frames + delay;
      const int n = static_cast<int>(std::min<sf_count_t>(block, std::max<sf_count_t>(limit - processed, 1)));
      const sf_count_t got = processed < frames ? sf_readf_float(input, interleaved.data(), n) : 0;
      std::fill(interleaved.begin() + got * channels, interleaved.end(), 0.0f);
      for (int c = 0; c < channels; ++c)
      {
        for (int i = 0; i < n; ++i)
          planeIn[i] = interleaved[static_cast<std::size_t>(i) * channels + c];
        process(c, planeIn.data(), planeOut.data(), n);
        for (int i = 0; i < n; ++i)
          result[static_cast<std::size_t>(i) * channels + c] = planeOut[i];
      }
      if (delay < 0)
      {
        delay = std::max(latency(), 0);
        // The delay the plug-in reported, for the benchmark's table.
        std::printf("latency %d samples\n", static_cast<int>(delay));
      }
      const sf_count_t skip = std::clamp<sf_count_t>(delay - processed, 0, n);
      const sf_count_t keep = std::clamp<sf_count_t>(frames - written, 0, n - skip);
      processed += n;
      if (keep > 0)
        sf_writef_float(output, result.data() + skip * channels, keep);
      written += keep;
      if (processed >= frames + delay)
        break;
    }
    sf_close(input);
    // The figure the plug-in reported (and that was compensated), for the latency rows.
    std::printf("latency %d samples\n", delay);
    return sf_close(output) == 0 ? 0 : 1;
  }
};
