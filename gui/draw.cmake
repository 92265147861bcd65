# Drawing: shared types' names, bitmaps with PNG (libpng), the bitmap drawer, and fonts
# (FreeType) over the typeface embedded at build time. Without the editor (TONVERA_EDITOR OFF)
# neither library is needed: MCodecsUnavailable.cpp answers every font and PNG call with its
# failure.
list(APPEND TONVERA_GUI_SOURCES
  MGuiTypes.cpp
  MBitmap.cpp
  MDrawerToMBitmap.cpp
  MDrawerScaled.cpp)
if(NOT TONVERA_EDITOR)
  list(APPEND TONVERA_GUI_SOURCES MCodecsUnavailable.cpp)
  return()
endif()

find_package(PNG REQUIRED)
find_package(Freetype REQUIRED)

# DejaVu Sans (Debian fonts-dejavu-core; the Bitstream Vera licence with public-domain DejaVu
# changes, which allows bundling the fonts with software). Regular and bold are embedded; italics
# are slanted from them, so the pixels never depend on optional packages of the build machine.
set(TONVERA_FONT_DIR /usr/share/fonts/truetype/dejavu CACHE PATH "Folder of DejaVuSans.ttf and DejaVuSans-Bold.ttf")
set(tonvera_font_sources)
foreach(font DejaVuSans DejaVuSans-Bold)
  if(NOT EXISTS ${TONVERA_FONT_DIR}/${font}.ttf)
    message(FATAL_ERROR "${TONVERA_FONT_DIR}/${font}.ttf is missing: install fonts-dejavu-core "
                        "(scripts/install-deps.sh) or set TONVERA_FONT_DIR")
  endif()
  string(REPLACE "-" "" symbol "kFont${font}")
  set(generated ${CMAKE_CURRENT_BINARY_DIR}/embedded/${font}.cpp)
  add_custom_command(OUTPUT ${generated}
    COMMAND ${CMAKE_COMMAND} -DINPUT=${TONVERA_FONT_DIR}/${font}.ttf -DOUTPUT=${generated} -DSYMBOL=${symbol}
            -P ${PROJECT_SOURCE_DIR}/cmake/TonveraEmbedFile.cmake
    DEPENDS ${TONVERA_FONT_DIR}/${font}.ttf ${PROJECT_SOURCE_DIR}/cmake/TonveraEmbedFile.cmake
    COMMENT "Embedding ${font}.ttf"
    VERBATIM)
  list(APPEND tonvera_font_sources ${generated})
endforeach()

list(APPEND TONVERA_GUI_SOURCES
  MPng.cpp
  MFont.cpp
  ${tonvera_font_sources})
list(APPEND TONVERA_GUI_DEPS PNG::PNG Freetype::Freetype)
if(MINGW)
  # Static FreeType for Windows (scripts/windows-deps.sh) inflates with the system's zlib.
  find_package(ZLIB REQUIRED)
  list(APPEND TONVERA_GUI_DEPS ZLIB::ZLIB)
endif()
