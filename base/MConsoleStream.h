#pragma once
// The process console: writes go to standard output, reads come from standard input.
// Blocks on the terminal or pipe; never for the audio thread.

#include "base/MStream.h"

class MConsoleStream : public MStream
{
public:
  MStream* ReturnSubstream() override { return nullptr; }
  /// Throws "Error writing to console." when standard output refuses the data.
  void Write(const void* buffer, std::size_t byteCount) override;
  /// Answers fewer bytes than asked when standard input ended; throws "Error reading from
  /// console." on a read error.
  std::size_t Read(void* buffer, std::size_t byteCount) override;
  void Flush() override;
  bool IsEndOfStream() override;
};
