#pragma once
// MScaleText: the twelve-note scale a user types, and the note names used throughout the renderer.
//
// Accepted texts (case-insensitive, spaces around items ignored):
// - a root and a scale type: "D major", "F# minor", "Bb pentatonic", "chromatic" (no root
//   needed); the types are chromatic, major, minor and pentatonic;
// - a list of pitch classes: "C,D,E,G,A" (sharps "C#" or flats "Db"; each at most once).
// Pitch class 0 is "C". Pure functions; allocate only for texts.

#include <array>
#include <string>

class MScaleText
{
public:
  using Notes = std::array<bool, 12>;

  /// Names of the pitch classes as the plug-in reports its scale parameters: "C", "C#", ... "B".
  static constexpr const char* kNoteNames[12] = {"C",  "C#", "D",  "D#", "E",  "F",
                                                 "F#", "G",  "G#", "A",  "A#", "B"};

  /// A scale named by its root and type: "D major" is root 2, type "major" ("chromatic" alone is
  /// root 0). A list of notes names neither: root -1, type empty.
  struct Choice
  {
    int root = -1;
    std::string type;
  };

  /// Parses text into notes; false with a message naming the part it did not understand. choice
  /// (may be null) receives the root and type the text names.
  static bool Parse(const std::string& text, Notes& notes, std::string& error, Choice* choice = nullptr);

  /// The pitch class of a note name ("C", "c#", "Db", "B#" = 0, ...), or -1.
  static int PitchClass(const std::string& name);

  /// All twelve notes enabled.
  static Notes Chromatic();

  /// "C D E F G A B" style list of the enabled notes ("none" when empty).
  static std::string Describe(const Notes& notes);
};
