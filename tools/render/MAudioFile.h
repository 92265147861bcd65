#pragma once
// Audio files for the renderer, through libsndfile: WAV, AIFF and FLAC (and whatever else the
// library reads), 16/24/32-bit integer and 32-bit float samples, any rate, any channel count.
//
// Samples always travel as interleaved 32-bit floats at full scale 1.0. Integer files are
// scaled by 2^(bits-1) both ways and written with clipping, so an integer file read and written
// back unchanged gives the same integers (32-bit ones within the 24-bit precision of a float).
//
// A writer never touches its target until everything is written: it writes a temporary file
// in the target's folder and renames it over the target in Commit. A writer that is destroyed
// or abandoned before Commit removes its temporary file, so a failed render leaves nothing
// behind.
//
// Main thread only. Calls answer false (or 0 frames) on failure and put the reason in the
// error text; nothing throws except allocation failure.

#include <cstdint>
#include <string>

struct sf_private_tag;

/// What a file holds, and the libsndfile format code (major type | sample subtype) it uses.
struct MAudioFileInfo
{
  int channels = 0;
  int sampleRateHz = 0;
  std::int64_t frames = 0;
  int format = 0;
};

/// Major file types and sample subtypes by their command-line names.
namespace MAudioFormat
{
/// "wav", "aiff", "flac" (case-insensitive) → the major format code; 0 when unknown.
int MajorFromName(const std::string& name);
/// "pcm16", "pcm24", "pcm32", "float" → the subtype code; 0 when unknown.
int SubtypeFromName(const std::string& name);
/// The major format for a file name's extension (".wav", ".aif", ".aiff", ".flac"); 0 otherwise.
int MajorFromExtension(const std::string& path);
/// A short description such as "WAV float" or "FLAC 24-bit".
std::string Describe(int format);
/// The format for an output: major (0: keep base's) with subtype (0: keep base's when the major
/// type stores it, else the nearest it does: 24-bit integers for FLAC from float). Answers 0 when
/// the combination cannot be written.
int Combine(int baseFormat, int major, int subtype);
} // namespace MAudioFormat

class MAudioFileReader
{
public:
  MAudioFileReader() = default;
  ~MAudioFileReader();
  MAudioFileReader(const MAudioFileReader&) = delete;
  MAudioFileReader& operator=(const MAudioFileReader&) = delete;

  /// Opens path for reading. False with a message naming the file when it is missing, unreadable
  /// or not an audio file.
  bool Open(const std::string& path, std::string& error);
  const MAudioFileInfo& Info() const { return m_info; }
  /// Reads up to `frames` frames into interleaved (frames × channels floats); answers the frames
  /// read, 0 at the end or on a read error (then error says which).
  int Read(float* interleaved, int frames, std::string& error);
  void Close();

private:
  sf_private_tag* m_file = nullptr;
  MAudioFileInfo m_info;
  std::string m_path;
};

class MAudioFileWriter
{
public:
  MAudioFileWriter() = default;
  /// Removes the temporary file unless Commit succeeded.
  ~MAudioFileWriter();
  MAudioFileWriter(const MAudioFileWriter&) = delete;
  MAudioFileWriter& operator=(const MAudioFileWriter&) = delete;

  /// Creates the temporary file beside path for channels × rate in `format` (a libsndfile code).
  bool Open(const std::string& path, int channels, int sampleRateHz, int format, std::string& error);
  /// Appends frames interleaved frames; false on a write error (disk full, ...).
  bool Write(const float* interleaved, int frames, std::string& error);
  /// Closes the file and renames it onto the target path.
  bool Commit(std::string& error);
  /// Closes and removes the temporary file.
  void Abandon();

private:
  sf_private_tag* m_file = nullptr;
  int m_channels = 0;
  std::string m_path;
  std::string m_temporaryPath;
};

/// Temporary-then-rename for any output file (texts, state bytes): the temporary path beside
/// target, and the final step.
namespace MOutputFile
{
/// A path in target's folder that no other file uses, named after target.
std::string TemporaryPathFor(const std::string& target);
/// Renames temporary onto target (replacing it); false with a message on failure, and the
/// temporary file is removed.
bool Commit(const std::string& temporary, const std::string& target, std::string& error);
/// Removes a temporary file if it exists.
void Discard(const std::string& temporary);
/// Writes bytes to target through a temporary file.
bool WriteWhole(const std::string& target, const void* bytes, std::size_t count, std::string& error);
} // namespace MOutputFile
