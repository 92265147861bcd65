// Channel tool of bench/compare-peers (benchmark-only, not part of the product):
//   channels inputs TONE.wav DIR   writes DIR/mono.wav (the tone's first channel),
//                                  DIR/stereo-same.wav (that channel on both sides) and
//                                  DIR/stereo-different.wav (right: the same 20 ms later, 6 dB down)
//   channels split FILE.wav DIR    writes each channel of FILE as DIR/channel-<k>.wav (mono)
// Files keep the input's rate and sample format.

#include <sndfile.h>

#include <cstdio>
#include <string>
#include <vector>

namespace
{
bool ReadAll(const std::string& path, SF_INFO& info, std::vector<float>& samples)
{
  info = SF_INFO{};
  SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
  if (file == nullptr)
  {
    std::fprintf(stderr, "cannot read %s: %s\n", path.c_str(), sf_strerror(nullptr));
    return false;
  }
  samples.assign(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels), 0.0f);
  const sf_count_t got = sf_readf_float(file, samples.data(), info.frames);
  sf_close(file);
  if (got != info.frames)
  {
    std::fprintf(stderr, "short read from %s\n", path.c_str());
    return false;
  }
  return true;
}

bool Write(const std::string& path, const SF_INFO& like, int channels, const std::vector<float>& interleaved)
{
  SF_INFO info = like;
  info.channels = channels;
  SNDFILE* file = sf_open(path.c_str(), SFM_WRITE, &info);
  if (file == nullptr)
  {
    std::fprintf(stderr, "cannot write %s: %s\n", path.c_str(), sf_strerror(nullptr));
    return false;
  }
  const sf_count_t frames = static_cast<sf_count_t>(interleaved.size() / static_cast<std::size_t>(channels));
  const bool ok = sf_writef_float(file, interleaved.data(), frames) == frames;
  sf_close(file);
  return ok;
}

// The channel c of every frame.
std::vector<float> Channel(const std::vector<float>& interleaved, int channels, int c)
{
  std::vector<float> out(interleaved.size() / static_cast<std::size_t>(channels));
  for (std::size_t i = 0; i < out.size(); ++i)
    out[i] = interleaved[i * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)];
  return out;
}

std::vector<float> Interleave(const std::vector<float>& left, const std::vector<float>& right)
{
  std::vector<float> out(2 * left.size());
  for (std::size_t i = 0; i < left.size(); ++i)
  {
    out[2 * i] = left[i];
    out[2 * i + 1] = right[i];
  }
  return out;
}
} // namespace

int main(int argc, char** argv)
{
  if (argc != 4 || (std::string(argv[1]) != "inputs" && std::string(argv[1]) != "split"))
  {
    std::fprintf(stderr, "usage: channels inputs TONE.wav DIR | channels split FILE.wav DIR\n");
    return 2;
  }
  SF_INFO info{};
  std::vector<float> samples;
  if (!ReadAll(argv[2], info, samples))
    return 1;
  const std::string dir = argv[3];
  if (std::string(argv[1]) == "split")
  {
    for (int c = 0; c < info.channels; ++c)
      if (!Write(dir + "/channel-" + std::to_string(c) + ".wav", info, 1, Channel(samples, info.channels, c)))
        return 1;
    return 0;
  }
  const std::vector<float> voice = Channel(samples, info.channels, 0);
  const std::size_t delay = static_cast<std::size_t>(info.samplerate / 50); // 20 ms
  std::vector<float> later(voice.size(), 0.0f);
  for (std::size_t i = delay; i < voice.size(); ++i)
    later[i] = 0.5f * voice[i - delay]; // -6 dB
  const bool ok = Write(dir + "/mono.wav", info, 1, voice) &&
                  Write(dir + "/stereo-same.wav", info, 2, Interleave(voice, voice)) &&
                  Write(dir + "/stereo-different.wav", info, 2, Interleave(voice, later));
  return ok ? 0 : 1;
}
