# The grid placer the sheets lay out their rows with.
tonvera_add_test(tonvera_gui_layout_tests LABEL gui
  SOURCES
    MGridPlacerTest.cpp
  LIBS tonvera::gui)
