#pragma once
// MValueMIDINote: a MIDI note number shown as note name and octave.
//
// Names "C", "C#", "D", "D#", "E", "F", "F#", "G", "G#", "A", "A#", "B" by note mod 12, then
// note / 12: note 60 shows "C5", 61 "C#5", 0 "C0". Notes outside 0..127 show an empty text (a
// step content request beyond the last note shows nothing).
// Typed text is a number through the format (default "{0}"), or a note name as displayed
// ("C#5", also "c#5"), so displayed texts read back.
//
// GUI thread only.

#include "base/MValueNumber.h"

class MValueMIDINote : public MValueInt
{
public:
  /// Note 60, range 0..127.
  MValueMIDINote();
  MValueMIDINote(const MValueBinding<int>& binding, int min = 0, int max = 127);

  /// Name and octave of `note`; empty outside 0..127.
  static MString Text(int note);
  /// The note a name such as "C#5" stands for, or -1.
  static int ReadNoteName(const MString& text);

protected:
  MString FormatValue(int value) const override;
  bool ParseText(const MString& text) override;
};
