# Drawing: type names, bitmaps and PNG, the bitmap drawer, fonts.
find_package(ZLIB REQUIRED)
tonvera_add_test(tonvera_gui_draw_tests LABEL gui
  SOURCES
    MGuiTypesTest.cpp
    MBitmapTest.cpp
    MDrawerToMBitmapTest.cpp
    MFontTest.cpp
  LIBS tonvera::gui ZLIB::ZLIB)
