# The mark-up tokenizer shared by mark-up parsers over in-memory texts (rich text).
list(APPEND TONVERA_BASE_SOURCES
  MMarkupTokenizer.cpp
)
