#include "base/MValueMIDINote.h"

#include "base/MFormat.h"

namespace
{

constexpr const char* kNoteNames[12] = {"C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B"};

} // namespace

MValueMIDINote::MValueMIDINote() : MValueMIDINote(MValueBinding<int>::Value(60)) {}

MValueMIDINote::MValueMIDINote(const MValueBinding<int>& binding, int min, int max)
    : MValueInt(binding, min, max)
{}

MString MValueMIDINote::Text(int note)
{
  if (note < 0 || note > 127)
  {
    return MString();
  }
  return MFormat::Format("{0}{1}", MString::FromLiteral(kNoteNames[note % 12]), note / 12);
}

int MValueMIDINote::ReadNoteName(const MString& text)
{
  std::int32_t i = 0;
  while (i < text.Length() && text.At(i) <= 32)
  {
    ++i;
  }
  // The longest name that matches wins, so "C#5" is C sharp and not C followed by "#5".
  int best = -1;
  std::int32_t bestLength = 0;
  for (int n = 0; n < 12; ++n)
  {
    MString name = MString::FromLiteral(kNoteNames[n]);
    if (name.Length() > bestLength && text.Substring(i, name.Length()).EqualsName(name))
    {
      best = n;
      bestLength = name.Length();
    }
  }
  if (best < 0)
  {
    return -1;
  }
  // The octave: one or two digits, blanks allowed after them.
  std::int32_t at = i + bestLength;
  int octave = 0;
  int digits = 0;
  for (; digits < 3 && text.At(at) >= u'0' && text.At(at) <= u'9'; ++at, ++digits)
  {
    octave = octave * 10 + (text.At(at) - u'0');
  }
  while (at < text.Length() && text.At(at) <= 32)
  {
    ++at;
  }
  if (digits == 0 || digits > 2 || at != text.Length())
  {
    return -1;
  }
  int note = octave * 12 + best;
  return note <= 127 ? note : -1;
}

MString MValueMIDINote::FormatValue(int value) const
{
  return Text(value);
}

bool MValueMIDINote::ParseText(const MString& text)
{
  int note = ReadNoteName(text);
  if (note >= 0)
  {
    return Assign(note);
  }
  return MValueInt::ParseText(text);
}
