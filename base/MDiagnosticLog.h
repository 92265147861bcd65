#pragma once
// MDiagnosticLog: where the library sends texts meant for a developer, such as the report of an
// exception that the host-call shield swallowed.
//
// By default every text is discarded. For debugging inside a host, the environment variable
// TONVERA_DIAGNOSTICS chooses a target when the first text arrives:
//   TONVERA_DIAGNOSTICS=stderr        one line per text on the standard error stream
//   TONVERA_DIAGNOSTICS=/path/file    appended to that file, one line per text
// Unset or empty means discard. Tests may install their own sink instead.
//
// Any thread. IsEnabled() is lock-free and allocation-free, so a caller on the audio thread can
// skip formatting altogether while the log discards; Write() takes a lock and does I/O.
// Nothing here throws.

#include "base/MString.h"

class MDiagnosticLog
{
public:
  /// A sink receives each text; `context` is the pointer given to SetSink.
  using Sink = void (*)(const MString& text, void* context);

  /// True when texts go anywhere. Cheap: one atomic load after the first call.
  static bool IsEnabled() noexcept;
  /// Hands one text to the current target (a line break is added for streams and files).
  static void Write(const MString& text) noexcept;

  /// Replaces the target by `sink` (null = discard) until the next SetSink or Reconfigure.
  /// The sink runs under the log's lock, one text at a time; it must not write to the log.
  static void SetSink(Sink sink, void* context) noexcept;
  /// Reads TONVERA_DIAGNOSTICS again and chooses the target it names.
  static void Reconfigure() noexcept;
};
