#pragma once
// What the renderer suites share: the command line run with its status and both output streams,
// the samples of a sound file, and a scratch folder of its own for each test.

#include "tools/render/MRenderCommand.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <filesystem>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace MRenderTest
{
struct Outcome
{
  int status = -1;
  std::string out;
  std::string err;
};

inline Outcome Render(const std::vector<std::string>& arguments,
                      MRenderCommand::Progress progress = MRenderCommand::Progress::Hidden)
{
  std::ostringstream out;
  std::ostringstream err;
  const int status = MRenderCommand::Main(arguments, out, err, progress);
  return {status, out.str(), err.str()};
}

struct Audio
{
  SF_INFO info{};
  std::vector<double> samples; // interleaved, full scale 1; empty for a file that cannot be read
};

inline Audio ReadAudio(const std::filesystem::path& path)
{
  Audio audio;
  SNDFILE* file = sf_open(path.string().c_str(), SFM_READ, &audio.info);
  if (file == nullptr)
    return audio;
  audio.samples.resize(static_cast<std::size_t>(audio.info.frames * audio.info.channels));
  sf_readf_double(file, audio.samples.data(), audio.info.frames);
  sf_close(file);
  return audio;
}

/// Gives each test a fresh folder, removed after it.
class ScratchFolder : public ::testing::Test
{
protected:
  void SetUp() override
  {
    const std::string test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
    // A random suffix: several checkouts may run these suites on one machine at the same time.
    m_folder = std::filesystem::temp_directory_path() /
               ("tonvera-render-" + test + "-" + std::to_string(std::random_device{}()));
    std::filesystem::remove_all(m_folder);
    std::filesystem::create_directories(m_folder);
  }
  void TearDown() override { std::filesystem::remove_all(m_folder); }
  std::string Path(const std::string& name) const { return (m_folder / name).string(); }

  std::filesystem::path m_folder;
};
} // namespace MRenderTest
