#include "tools/render/MScaleText.h"

#include <algorithm>
#include <cctype>
#include <sstream>
#include <vector>

namespace
{
struct ScaleType
{
  const char* name;
  std::array<bool, 12> pattern; // root first
};

constexpr ScaleType kScaleTypes[] = {
    {"chromatic", {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}},
    {"major", {1, 0, 1, 0, 1, 1, 0, 1, 0, 1, 0, 1}},
    {"minor", {1, 0, 1, 1, 0, 1, 0, 1, 1, 0, 1, 0}},
    {"pentatonic", {1, 0, 1, 0, 1, 0, 0, 1, 0, 1, 0, 0}},
};

std::string Trim(const std::string& text)
{
  const auto begin = text.find_first_not_of(" \t");
  if (begin == std::string::npos)
    return "";
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

std::string Lower(std::string text)
{
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

const ScaleType* FindType(const std::string& name)
{
  for (const ScaleType& type : kScaleTypes)
    if (Lower(name) == type.name)
      return &type;
  return nullptr;
}
} // namespace

int MScaleText::PitchClass(const std::string& name)
{
  static constexpr int kNatural[7] = {9, 11, 0, 2, 4, 5, 7}; // A B C D E F G
  const std::string text = Trim(name);
  if (text.empty() || text.size() > 2)
    return -1;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  if (letter < 'A' || letter > 'G')
    return -1;
  int pitchClass = kNatural[letter - 'A'];
  if (text.size() == 2)
  {
    if (text[1] == '#')
      pitchClass += 1;
    else if (text[1] == 'b')
      pitchClass += 11;
    else
      return -1;
  }
  return pitchClass % 12;
}

MScaleText::Notes MScaleText::Chromatic()
{
  Notes notes;
  notes.fill(true);
  return notes;
}

bool MScaleText::Parse(const std::string& text, Notes& notes, std::string& error, Choice* choice)
{
  Choice ignored;
  Choice& named = choice != nullptr ? *choice : ignored;
  named = Choice{};
  const std::string trimmed = Trim(text);
  if (trimmed.empty())
  {
    error = "empty scale";
    return false;
  }

  if (trimmed.find(',') == std::string::npos)
  {
    // "root type", "type" alone for chromatic, or a single note.
    std::istringstream words(trimmed);
    std::vector<std::string> parts;
    for (std::string word; words >> word;)
      parts.push_back(word);
    if (parts.size() == 1 && FindType(parts[0]) != nullptr)
    {
      if (Lower(parts[0]) != "chromatic")
      {
        error = "scale type \"" + parts[0] + "\" needs a root note, such as \"C " + parts[0] + "\"";
        return false;
      }
      notes = Chromatic();
      named = Choice{0, "chromatic"};
      return true;
    }
    if (parts.size() == 2)
    {
      const int root = PitchClass(parts[0]);
      const ScaleType* type = FindType(parts[1]);
      if (root < 0)
      {
        error = "unknown root note \"" + parts[0] + "\" in scale \"" + text + "\"";
        return false;
      }
      if (type == nullptr)
      {
        error = "unknown scale type \"" + parts[1] + "\" in \"" + text +
                "\" (chromatic, major, minor, pentatonic)";
        return false;
      }
      for (int i = 0; i < 12; ++i)
        notes[i] = type->pattern[(i - root + 12) % 12];
      named = Choice{root, type->name};
      return true;
    }
    if (parts.size() != 1)
    {
      error = "cannot read scale \"" + text +
              "\" (give \"ROOT TYPE\" such as \"D major\", or notes such as \"C,D,E\")";
      return false;
    }
  }

  Notes result{};
  std::istringstream items(trimmed);
  for (std::string item; std::getline(items, item, ',');)
  {
    const int pitchClass = PitchClass(item);
    if (pitchClass < 0)
    {
      error = "unknown note \"" + Trim(item) + "\" in scale \"" + text + "\"";
      return false;
    }
    if (result[pitchClass])
    {
      error = "note \"" + Trim(item) + "\" is given twice in scale \"" + text + "\"";
      return false;
    }
    result[pitchClass] = true;
  }
  if (trimmed.back() == ',')
  {
    error = "empty note at the end of scale \"" + text + "\"";
    return false;
  }
  notes = result;
  return true;
}

std::string MScaleText::Describe(const Notes& notes)
{
  std::string text;
  for (int i = 0; i < 12; ++i)
    if (notes[i])
      text += (text.empty() ? "" : " ") + std::string(kNoteNames[i]);
  return text.empty() ? "none" : text;
}
