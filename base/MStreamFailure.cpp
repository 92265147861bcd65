#include "base/MStreamFailure.h"

#include "base/MException.h"

void MStreamFailure::Throw(const char* message)
{
  throw MException(MString::FromLiteral(message));
}

void MStreamFailure::Throw(const char* format, const MString& argument)
{
  // A string argument is inserted as it is at its placeholder; the stream and XML messages
  // carry exactly one "{0}".
  MString text = MString::FromLiteral(format);
  const std::int32_t at = text.Find(MString("{0}"));
  if (at >= 0)
  {
    text.Remove(at, 3);
    text.Insert(at, argument);
  }
  throw MException(text);
}

std::string MStreamFailure::ToNarrow(const MString& text)
{
  return text.ToNarrow();
}

std::string MStreamFailure::ToUtf8(const MString& text)
{
  return text.ToUTF8();
}

std::wstring MStreamFailure::ToWide(const MString& text)
{
  return text.ToWide();
}
