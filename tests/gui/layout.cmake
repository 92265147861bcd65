# Layouts: the layout engine (distribution, bands, corners, grid, switch, occupy-border, container
# sizing and the re-layout of a resized window, goldens under golden/layout/) and the grid placer
# the sheets use.
tonvera_add_test(tonvera_gui_layout_tests LABEL gui
  SOURCES
    MLayoutTest.cpp
    MGridPlacerTest.cpp
  LIBS tonvera_gui_snapshot)
