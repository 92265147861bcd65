# The mark-up tokenizer of in-memory texts.
tonvera_add_test(tonvera_base_markup_tests LABEL base
  SOURCES
    MMarkupTokenizerTest.cpp
  LIBS tonvera::base)
