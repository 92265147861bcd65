# The controls beyond the tree's basics: value gestures, editing keys, lists, menus and popups,
# the piano, hostile sizes, and the golden sheets of every control in both styles (drawn by the
# gallery's sheet builder; scripts/update-goldens.sh rewrites them).
tonvera_add_test(tonvera_gui_controls_tests LABEL gui
  SOURCES
    MValueControlsTest.cpp
    MControlsInputTest.cpp
    MControlsEditorsTest.cpp
    MControlsPaintTest.cpp
    MSheetTest.cpp
    MControlMenuTest.cpp
  LIBS tonvera_gui_snapshot tonvera_gallery)
