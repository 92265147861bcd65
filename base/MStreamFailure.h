#pragma once
// Small shared helpers of the stream and XML code: raising MException with a fixed or a
// one-argument message, and the text conversions those classes need at their edges.
// Not part of the public interface of the library.

#include "base/MString.h"

#include <string>

class MStreamFailure
{
public:
  /// Throws MException with `message`.
  [[noreturn]] static void Throw(const char* message);

  /// Throws MException with `format` ("{0}" placeholder syntax) filled with `argument`.
  [[noreturn]] static void Throw(const char* format, const MString& argument);

  /// The string as 8-bit text (narrow conversion).
  static std::string ToNarrow(const MString& text);

  /// The string as UTF-8 text.
  static std::string ToUtf8(const MString& text);

  /// The string as wide text (file names on Windows).
  static std::wstring ToWide(const MString& text);
};
