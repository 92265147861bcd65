#include "tools/render/MAudioFile.h"

#include <sndfile.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace
{
std::string Lower(std::string text)
{
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

struct NamedCode
{
  const char* name;
  int code;
};

constexpr NamedCode kMajors[] = {{"wav", SF_FORMAT_WAV}, {"aiff", SF_FORMAT_AIFF}, {"flac", SF_FORMAT_FLAC}};
constexpr NamedCode kSubtypes[] = {{"pcm16", SF_FORMAT_PCM_16},
                                   {"pcm24", SF_FORMAT_PCM_24},
                                   {"pcm32", SF_FORMAT_PCM_32},
                                   {"float", SF_FORMAT_FLOAT}};

bool Writable(int format, int channels)
{
  SF_INFO info{};
  info.format = format;
  info.channels = channels;
  info.samplerate = 44100;
  return sf_format_check(&info) != 0;
}
} // namespace

int MAudioFormat::MajorFromName(const std::string& name)
{
  for (const NamedCode& major : kMajors)
    if (Lower(name) == major.name)
      return major.code;
  return 0;
}

int MAudioFormat::SubtypeFromName(const std::string& name)
{
  for (const NamedCode& subtype : kSubtypes)
    if (Lower(name) == subtype.name)
      return subtype.code;
  return 0;
}

int MAudioFormat::MajorFromExtension(const std::string& path)
{
  const std::string extension = Lower(fs::path(path).extension().string());
  if (extension == ".wav")
    return SF_FORMAT_WAV;
  if (extension == ".aif" || extension == ".aiff")
    return SF_FORMAT_AIFF;
  if (extension == ".flac")
    return SF_FORMAT_FLAC;
  return 0;
}

std::string MAudioFormat::Describe(int format)
{
  SF_FORMAT_INFO major{};
  major.format = format & SF_FORMAT_TYPEMASK;
  std::string text = sf_command(nullptr, SFC_GET_FORMAT_INFO, &major, sizeof major) == 0 && major.extension
                         ? Lower(major.extension)
                         : "audio";
  switch (format & SF_FORMAT_SUBMASK)
  {
  case SF_FORMAT_PCM_16:
    return text + " 16-bit";
  case SF_FORMAT_PCM_24:
    return text + " 24-bit";
  case SF_FORMAT_PCM_32:
    return text + " 32-bit";
  case SF_FORMAT_FLOAT:
    return text + " float";
  case SF_FORMAT_DOUBLE:
    return text + " double";
  default:
    return text;
  }
}

int MAudioFormat::Combine(int baseFormat, int major, int subtype)
{
  const int outMajor = major != 0 ? major : (baseFormat & SF_FORMAT_TYPEMASK);
  if (subtype != 0)
    return Writable(outMajor | subtype, 1) ? (outMajor | subtype) : 0;
  const int keep = outMajor | (baseFormat & SF_FORMAT_SUBMASK);
  if (Writable(keep, 1))
    return keep;
  // The base's samples do not fit the new type (float into FLAC, say): the deepest integer
  // subtype it stores.
  for (int fallback : {SF_FORMAT_PCM_24, SF_FORMAT_PCM_16})
    if (Writable(outMajor | fallback, 1))
      return outMajor | fallback;
  return 0;
}

MAudioFileReader::~MAudioFileReader()
{
  Close();
}

bool MAudioFileReader::Open(const std::string& path, std::string& error)
{
  Close();
  m_path = path;
  std::error_code code;
  if (!fs::exists(path, code))
  {
    error = "input file \"" + path + "\" does not exist";
    return false;
  }
  SF_INFO info{};
  m_file = sf_open(path.c_str(), SFM_READ, &info);
  if (m_file == nullptr)
  {
    error = "cannot read input file \"" + path + "\": " + sf_strerror(nullptr);
    return false;
  }
  if (info.channels < 1 || info.samplerate < 1)
  {
    error = "input file \"" + path + "\" has no channels or no sample rate";
    Close();
    return false;
  }
  m_info = {info.channels, info.samplerate, static_cast<std::int64_t>(info.frames), info.format};
  // Integer samples arrive divided by 2^(bits-1) (full scale 1); float samples as stored.
  sf_command(m_file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
  return true;
}

int MAudioFileReader::Read(float* interleaved, int frames, std::string& error)
{
  if (m_file == nullptr || frames <= 0)
    return 0;
  const sf_count_t got = sf_readf_float(m_file, interleaved, frames);
  if (got <= 0 && sf_error(m_file) != SF_ERR_NO_ERROR)
    error = "reading \"" + m_path + "\" failed: " + sf_strerror(m_file);
  return static_cast<int>(std::max<sf_count_t>(got, 0));
}

void MAudioFileReader::Close()
{
  if (m_file != nullptr)
    sf_close(m_file);
  m_file = nullptr;
}

MAudioFileWriter::~MAudioFileWriter()
{
  Abandon();
}

bool MAudioFileWriter::Open(const std::string& path, int channels, int sampleRateHz, int format,
                            std::string& error)
{
  Abandon();
  m_path = path;
  m_channels = channels;
  m_temporaryPath = MOutputFile::TemporaryPathFor(path);
  SF_INFO info{};
  info.channels = channels;
  info.samplerate = sampleRateHz;
  info.format = format;
  if (sf_format_check(&info) == 0)
  {
    error = "cannot write " + MAudioFormat::Describe(format) + " with " + std::to_string(channels) +
            " channels at " + std::to_string(sampleRateHz) + " Hz";
    m_temporaryPath.clear();
    return false;
  }
  m_file = sf_open(m_temporaryPath.c_str(), SFM_WRITE, &info);
  if (m_file == nullptr)
  {
    error = "cannot create output file \"" + path + "\": " + sf_strerror(nullptr);
    MOutputFile::Discard(m_temporaryPath);
    m_temporaryPath.clear();
    return false;
  }
  // Clip rather than wrap samples beyond full scale; the clipping conversion also scales floats
  // by 2^(bits-1), the inverse of reading, so integer samples survive a round trip exactly.
  sf_command(m_file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
  return true;
}

bool MAudioFileWriter::Write(const float* interleaved, int frames, std::string& error)
{
  if (m_file == nullptr)
  {
    error = "output file is not open";
    return false;
  }
  if (frames <= 0)
    return true;
  if (sf_writef_float(m_file, interleaved, frames) != frames)
  {
    error = "writing \"" + m_path + "\" failed: " + sf_strerror(m_file);
    return false;
  }
  return true;
}

bool MAudioFileWriter::Commit(std::string& error)
{
  if (m_file == nullptr)
  {
    error = "output file is not open";
    return false;
  }
  // Closing writes the header and, for FLAC, the last frames: it can fail on a full disk.
  const int closed = sf_close(m_file);
  m_file = nullptr;
  if (closed != 0)
  {
    error = "finishing \"" + m_path + "\" failed: " + sf_error_number(closed);
    Abandon();
    return false;
  }
  const bool ok = MOutputFile::Commit(m_temporaryPath, m_path, error);
  m_temporaryPath.clear();
  return ok;
}

void MAudioFileWriter::Abandon()
{
  if (m_file != nullptr)
    sf_close(m_file);
  m_file = nullptr;
  if (!m_temporaryPath.empty())
    MOutputFile::Discard(m_temporaryPath);
  m_temporaryPath.clear();
}

std::string MOutputFile::TemporaryPathFor(const std::string& target)
{
  static std::atomic<unsigned> s_counter{0};
  static const unsigned s_seed = std::random_device{}();
  const fs::path path(target);
  char suffix[32];
  std::snprintf(suffix, sizeof suffix, ".part-%08x%04x", s_seed, s_counter.fetch_add(1) & 0xFFFFu);
  // Hidden (a leading dot) and in the same folder, so the final rename stays on one file system.
  return (path.parent_path() / ("." + path.filename().string() + suffix)).string();
}

bool MOutputFile::Commit(const std::string& temporary, const std::string& target, std::string& error)
{
  std::error_code code;
  fs::rename(temporary, target, code);
  if (code)
  {
    error = "cannot write \"" + target + "\": " + code.message();
    Discard(temporary);
    return false;
  }
  return true;
}

void MOutputFile::Discard(const std::string& temporary)
{
  std::error_code code;
  fs::remove(temporary, code);
}

bool MOutputFile::WriteWhole(const std::string& target, const void* bytes, std::size_t count,
                             std::string& error)
{
  const std::string temporary = TemporaryPathFor(target);
  {
    std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
    if (!out)
    {
      error = "cannot create \"" + target + "\"";
      return false;
    }
    out.write(static_cast<const char*>(bytes), static_cast<std::streamsize>(count));
    out.close();
    if (!out)
    {
      error = "writing \"" + target + "\" failed";
      Discard(temporary);
      return false;
    }
  }
  return Commit(temporary, target, error);
}
