#include "tools/render/MScaleText.h"

#include <gtest/gtest.h>

namespace
{
MScaleText::Notes NotesOf(std::initializer_list<int> pitchClasses)
{
  MScaleText::Notes notes{};
  for (int pitchClass : pitchClasses)
    notes[pitchClass] = true;
  return notes;
}
} // namespace

TEST(MScaleTextTest, ReadsRootsWithTypesAndNoteListsAndRefusesOtherTextsNamingThePart)
{
  const struct
  {
    const char* text;
    MScaleText::Notes notes;
    int root; // and the type, as the text names them
    const char* type;
  } cases[] = {
      {"D major", NotesOf({2, 4, 6, 7, 9, 11, 1}), 2, "major"},
      {"a minor", NotesOf({9, 11, 0, 2, 4, 5, 7}), 9, "minor"},
      {"Bb pentatonic", NotesOf({10, 0, 2, 5, 7}), 10, "pentatonic"},
      {"F# MAJOR", NotesOf({6, 8, 10, 11, 1, 3, 5}), 6, "major"},
      {"chromatic", MScaleText::Chromatic(), 0, "chromatic"},
      {"C,D,E,G,A", NotesOf({0, 2, 4, 7, 9}), -1, ""},
      {" Db , eb,B# ", NotesOf({1, 3, 0}), -1, ""},
      {"G", NotesOf({7}), -1, ""},
  };
  for (const auto& c : cases)
  {
    SCOPED_TRACE(c.text);
    MScaleText::Notes notes{};
    MScaleText::Choice choice{5, "stale"};
    std::string error;
    ASSERT_TRUE(MScaleText::Parse(c.text, notes, error, &choice)) << error;
    EXPECT_EQ(notes, c.notes);
    EXPECT_EQ(choice.root, c.root);
    EXPECT_EQ(choice.type, c.type);
  }

  // A text it cannot read is refused, the part named, the notes left alone.
  const struct
  {
    const char* text;
    const char* named;
  } rejected[] = {
      {"H major", "\"H\""}, {"D dorian", "\"dorian\""},
      {"C,D,X", "\"X\""},   {"C,C", "twice"},
      {"C,D,", "empty"},    {"major", "root"},
      {"", "empty"},        {"D major scale", "D major scale"},
  };
  for (const auto& c : rejected)
  {
    SCOPED_TRACE(c.text);
    MScaleText::Notes kept = MScaleText::Chromatic();
    std::string message;
    EXPECT_FALSE(MScaleText::Parse(c.text, kept, message));
    EXPECT_NE(message.find(c.named), std::string::npos) << message;
    EXPECT_EQ(kept, MScaleText::Chromatic()) << "a rejected text must leave the notes alone";
  }
}
