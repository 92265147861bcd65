#pragma once
// A file opened for reading or for writing, through the C standard library.
//
// Messages: `File "<name>" could not be open. Make sure it exists.` (reading),
// `File "<name>" could not be created. Make sure there is no write-protected file already
// existing.` (writing), "File stream is not initialized." (any use before Open or after Close),
// `Error writing to file "<name>". Probably disk full.`, `Error reading from file "<name>".`,
// "Could not perform file seek.".
// File names are UTF-8 on POSIX systems and wide (UTF-16) names on Windows.
// Main thread or worker threads only: every call may block on the file system.

#include "base/MStream.h"

#include <cstdio>
#include <functional>

class MStdFileStream : public MStream
{
public:
  enum class Mode
  {
    Read,  ///< an existing file, from its start
    Write, ///< a new file, or an existing one emptied first
  };

  /// An unopened stream; Open it before use.
  MStdFileStream() = default;
  /// Opens `fileName` (throws the open messages above).
  MStdFileStream(const MString& fileName, Mode mode);
  /// Closes the file; a failure to close is not reported here (call Close to see it).
  ~MStdFileStream() override;

  MStdFileStream(const MStdFileStream&) = delete;
  MStdFileStream& operator=(const MStdFileStream&) = delete;

  /// Writes a new `fileName` so that a crash or a power cut at any moment leaves either the old
  /// file or the complete new one: `write` fills a temporary file in the same folder (a name
  /// unique per call, so two writers never share one), which is flushed to the disk and renamed
  /// over `fileName`. Throws the stream messages when writing fails; false when the rename
  /// fails. The temporary file never stays behind.
  static bool WriteReplacing(const MString& fileName, const std::function<void(MStream&)>& write);

  /// Opens `fileName`, closing a file opened before.
  void Open(const MString& fileName, Mode mode);
  /// Closes the file; a writing stream throws the write message when the last data could not be
  /// written. Closing an unopened stream does nothing.
  void Close();
  bool IsOpen() const { return m_file != nullptr; }
  const MString& GetFileName() const { return m_fileName; }

  MStream* ReturnSubstream() override { return nullptr; }
  void Write(const void* buffer, std::size_t byteCount) override;
  std::size_t Read(void* buffer, std::size_t byteCount) override;
  void Seek(std::int64_t offset, int origin) override;
  std::int64_t GetPosition() override;
  void Flush() override;
  /// Flush, then asks the system to put the file's data on the disk (throws the write message).
  void Sync();
  bool IsEndOfStream() override;
  void Truncate() override;
  std::int64_t GetSize() override;

private:
  std::FILE* File() const;

  std::FILE* m_file = nullptr;
  MString m_fileName;
  Mode m_mode = Mode::Read;
};
