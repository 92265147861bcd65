# The gallery's help pages, written into a temporary folder (the program links the same sources).
tonvera_add_test(tonvera_gui_gallery_pages_tests LABEL gui
  SOURCES
    MGalleryPagesTest.cpp
    ${PROJECT_SOURCE_DIR}/tools/gallery/MGalleryHelp.cpp
  LIBS tonvera::gui tonvera::effect)
