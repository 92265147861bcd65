#pragma once
// Copies between our texts and the fixed-size fields of the VST 3 records.
//
// Every copy into a field of `capacity` units writes at most capacity - 1 units and a NUL,
// cuts only at character boundaries (no half surrogate pair, no partial UTF-8 sequence) and
// answers the number of units written before the NUL. A capacity of 0 or less writes nothing.
// Invalid input sequences become U+FFFD (UTF-16) or '?' (narrow). None of the Copy functions
// allocates, so they may run on any thread.

#include "sdk/vst3/VST3Base.h"

#include <string>
#include <string_view>

namespace Steinberg
{
/// Units before the first NUL, at most `capacity` (a field need not be terminated).
int32 StringLength16(const TChar* text, int32 capacity);

/// UTF-16 into a UTF-16 field.
int32 CopyString16(TChar* dest, int32 capacity, std::u16string_view source);

/// UTF-8 into a UTF-16 field.
int32 CopyUtf8ToString16(TChar* dest, int32 capacity, std::string_view utf8);

/// UTF-8 into a narrow field (PClassInfo texts).
int32 CopyString8(char8* dest, int32 capacity, std::string_view utf8);

/// UTF-16 into a narrow field as UTF-8.
int32 CopyString16ToUtf8(char8* dest, int32 capacity, std::u16string_view source);

/// The text of a UTF-16 field (up to its first NUL) as UTF-8. Allocates.
std::string String16ToUtf8(const TChar* text, int32 capacity);

/// Array forms: the capacity is the field's size.
template <int32 N>
int32 CopyString16(TChar (&dest)[N], std::u16string_view source)
{
  return CopyString16(dest, N, source);
}
template <int32 N>
int32 CopyUtf8ToString16(TChar (&dest)[N], std::string_view utf8)
{
  return CopyUtf8ToString16(dest, N, utf8);
}
template <int32 N>
int32 CopyString8(char8 (&dest)[N], std::string_view utf8)
{
  return CopyString8(dest, N, utf8);
}
} // namespace Steinberg
