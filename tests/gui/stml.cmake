# STML rich text: parsing, layout, drawing (snapshots under golden/stml), HTML export.
tonvera_add_test(tonvera_gui_stml_tests LABEL gui
  SOURCES
    MSTMLTest.cpp
    MSTMLEscapeTest.cpp
  LIBS tonvera_gui_snapshot)
