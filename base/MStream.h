#pragma once
// Byte stream interface of the library.
//
// All byte input and output (host state, presets, settings files, compressed and hexadecimal
// data, hashing, the console) goes through MStream objects. Streams stack: a compressing or
// hashing stream works on top of another stream that it does not own.
//
// Every operation has a default implementation. The defaults of the primitive operations throw
// MException `Service "<name>" is not implemented.`; the composite ones (write zeros, read line,
// write string, write line, forward seek) are built on the primitives, so a class that only
// implements Read and Write gets them for free.
//
// Short transfers: Read may answer fewer bytes than asked; fewer than asked (0 in particular) means
// the data ended. Write transfers everything or throws. Errors are MException throws; after a
// throw the stream's position is undefined and the caller discards the stream.
//
// Threads: a stream object is used by one thread at a time. No stream operation is meant for the
// audio thread (they allocate and may block on files).

#include "base/MObject.h"
#include "base/MString.h"

#include <cstddef>
#include <cstdint>

class MStream : public MObject
{
public:
  /// Seek origins.
  static constexpr int kSeekFromStart = 0;
  static constexpr int kSeekFromCurrent = 1;
  static constexpr int kSeekFromEnd = 2;

  ~MStream() override = default;

  /// The stream this one works on, for stacked streams. Default: throws (not implemented).
  virtual MStream* ReturnSubstream();

  /// Writes all `byteCount` bytes or throws. Default: throws (not implemented).
  virtual void Write(const void* buffer, std::size_t byteCount);

  /// Writes `byteCount` zero bytes through Write, in pieces of at most 1024 bytes.
  virtual void WriteZeros(std::size_t byteCount);

  /// Reads up to `byteCount` bytes; answers the count read, fewer only when the data ended.
  /// Default: throws (not implemented).
  virtual std::size_t Read(void* buffer, std::size_t byteCount);

  /// Reads one line byte by byte through Read, up to a line feed (10) or a zero byte, which are
  /// consumed but not stored; carriage returns (13) are skipped. At most `capacity` - 1 bytes are
  /// stored and the buffer is always zero-terminated; a longer line continues on the next call.
  /// The end of the data also ends a line. Answers the stored length. Throws
  /// "Could not load a line from stream." when no byte at all could be read (the data had
  /// already ended) or the capacity is below 2.
  virtual std::size_t ReadLine(char* buffer, std::size_t capacity);

  /// Writes the string as 8-bit text (MString::ToNarrow: characters above 255 become "?").
  virtual void WriteString(const MString& text);

  /// WriteString, then one line feed (10).
  virtual void WriteLine(const MString& text);

  /// Moves the position. Origins: kSeekFromStart, kSeekFromCurrent, kSeekFromEnd; any other
  /// throws "Invalid seek origin.". The default moves forward only, by reading and discarding
  /// (stopping early when the data ends); from the start or the end it needs GetPosition and
  /// GetSize. A backward move throws `Service "backward seek in a stream" is not implemented.`.
  virtual void Seek(std::int64_t offset, int origin);

  /// Current position in bytes from the start. Default: throws (not implemented).
  virtual std::int64_t GetPosition();

  /// Pushes buffered data to the destination. Default: throws (not implemented).
  virtual void Flush();

  /// True when no further byte can be read. Default: throws (not implemented).
  virtual bool IsEndOfStream();

  /// Cuts the data at the current position. Default: throws (not implemented).
  virtual void Truncate();

  /// Size of the data in bytes. Default: throws (not implemented).
  virtual std::int64_t GetSize();

  /// Reads until `byteCount` bytes arrived or the data ended, looping over short reads.
  /// Answers the count read.
  std::size_t ReadFully(void* buffer, std::size_t byteCount);

protected:
  /// Throws MException `Service "<service>" is not implemented.`.
  [[noreturn]] static void ThrowNotImplemented(const char* service);
};
