#pragma once
// MMarkupTokenizer: splits an in-memory mark-up text into start tags (with attributes), end tags
// and text runs. It reads the lexical syntax of our XML documents (names end at blanks and at
// < > " / ! = ? & ', entities amp lt gt apos quot and numeric references, comments, CDATA,
// processing instructions and <!...> declarations skipped, the reader's error messages), and in
// the lenient form that the rich-text (STML) parser uses it also accepts what hand-written texts
// contain:
//   - unquoted attribute values ("<img icon=right>", "width=100%"): the value runs up to a blank,
//     ">" or "/>" ;
//   - an attribute without a value ("<td autosize>") reads as the value "1";
//   - an "&" that does not start a known entity ("dry & wet") stays a literal "&".
// It does not check that tags balance; that is the caller's business.
//
// Failure: MException with the XML reader's messages ("No element name found.", "Invalid closing
// element syntax.", "Invalid special element sequence.", "Invalid character found where attribute
// expected.", "Special character found where attribute expected.", "Invalid element finishing
// sequence.", "Unexpected end of XML input.", `Invalid entity reference "&<name>".` in the strict
// form). Nothing is allocated beyond the current token.
//
// Threads: an instance is used by one thread; any thread.

#include "base/MString.h"
#include "base/MXmlItem.h"

#include <cstdint>
#include <string>
#include <vector>

class MMarkupTokenizer
{
public:
  enum class TokenType : std::int32_t
  {
    End,      ///< no more input
    Text,     ///< `text` holds the characters, entities decoded
    StartTag, ///< `name`, `attributes`, `selfClosing` ("<br/>")
    EndTag,   ///< `name`
  };

  struct Token
  {
    TokenType type = TokenType::End;
    MString name;
    MString text;
    std::vector<MAttribute> attributes;
    bool selfClosing = false;
  };

  /// `lenient`: the extensions listed in the file comment.
  explicit MMarkupTokenizer(const MString& text, bool lenient = false);

  /// Reads the next token into `token`; answers false (and type End) at the end of the text.
  /// Throws MException for malformed mark-up (the tokenizer is then at an undefined place).
  bool Next(Token& token);

  /// Offset (UTF-16 units) of the next character to read.
  std::int32_t GetPosition() const { return m_position; }

private:
  /// The character `ahead` of the position; a value outside UTF-16 past the end.
  char32_t Peek(std::int32_t ahead = 0) const;
  char16_t Get();
  void SkipBlanks();
  MString ReadName();
  void ReadAttributes(Token& token);
  void ReadText(Token& token);
  bool SkipSpecial();
  /// Decodes an entity whose "&" was read; appends it. Lenient: answers false (nothing read)
  /// when the text does not form a known entity.
  bool ReadEntity(std::u16string& out);

  std::u16string m_text;
  std::int32_t m_position = 0;
  bool m_lenient = false;
};
