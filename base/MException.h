#pragma once
// MException: the one exception type of the library.
//
// Every library failure throws MException with an English message (often produced by the
// message formatter), an optional context text naming where it happened, and an integer code
// (0 for every error the library raises itself). It also derives from std::exception, so a
// catch-all written for the standard library sees it; what() answers the message as UTF-8.
//
// Construction allocates (the UTF-8 text of what()); copying never throws, so the exception can
// be rethrown and stored freely. Not for the audio thread, which reports trouble by codes.

#include "base/MString.h"

#include <cstdint>
#include <exception>
#include <memory>
#include <string>

class MException : public std::exception
{
public:
  /// A library error: no context, code 0.
  explicit MException(const MString& message);
  /// An error with the place it happened (for example a class and operation name) and a code.
  MException(const MString& context, const MString& message, std::int32_t code = 0);

  MException(const MException&) noexcept = default;
  MException& operator=(const MException&) noexcept = default;
  ~MException() override;

  const MString& Message() const noexcept { return m_message; }
  const MString& Context() const noexcept { return m_context; }
  std::int32_t Code() const noexcept { return m_code; }

  /// The message in UTF-8; valid as long as this exception or a copy of it lives.
  const char* what() const noexcept override;

private:
  MString m_context;
  MString m_message;
  std::int32_t m_code;
  std::shared_ptr<const std::string> m_what;
};
