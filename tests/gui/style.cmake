# Styles: the package container, configurations, tint, geometry and painting of every control type.
tonvera_add_test(tonvera_gui_style_tests LABEL gui
  SOURCES
    style/MStylePackageTest.cpp
    style/MStyleTest.cpp
  LIBS tonvera::gui)
