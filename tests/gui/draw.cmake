# Drawing: type names, bitmaps and PNG, the bitmap drawer, fonts.
find_package(ZLIB REQUIRED)
tonvera_add_test(tonvera_gui_draw_tests LABEL gui
  SOURCES
    MGuiTypesTest.cpp
    MBitmapTest.cpp
    MDrawerToMBitmapTest.cpp
    MFontTest.cpp
  LIBS tonvera::gui ZLIB::ZLIB)
if(TARGET tonvera_gui_draw_tests)
  # The seed images of the PNG fuzz target are decoded by a test, so that they stay valid.
  target_compile_definitions(tonvera_gui_draw_tests PRIVATE TONVERA_SOURCE_DIR="${TONVERA_TEST_DRIVE}${PROJECT_SOURCE_DIR}")
endif()

# Fonts shared between threads; also built by the ThreadSanitizer flavour.
tonvera_add_test(tonvera_gui_draw_concurrency_tests LABEL gui CONCURRENCY
  SOURCES MFontConcurrencyTest.cpp
  LIBS tonvera::gui)
