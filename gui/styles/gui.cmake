# Styles: the base and textured styles, their configurations and definitions, the tint, and the
# reader of the style package. The package itself is drawn and packed at build time by
# tools/stylegen from resources/style.
list(APPEND TONVERA_GUI_SOURCES
  styles/MBaseStyle.cpp
  styles/MStyleConfiguration.cpp
  styles/MStyleDefinition.cpp
  styles/MStylePackage.cpp
  styles/MStyleResource.cpp
  styles/MStyleTint.cpp
  styles/MTexturedStyle.cpp)

# The embedded package (resource "mstyle"). stylegen draws with this library, so the generated
# source cannot be one of its sources: it is the library tonvera_gui_mstyle, which tonvera_gui
# names as an interface link dependency (deferred to the end of this folder, once tonvera_gui
# exists), so every program linking the GUI links the package after it.
file(GLOB tonvera_style_sources CONFIGURE_DEPENDS
  ${PROJECT_SOURCE_DIR}/resources/style/*.xml ${PROJECT_SOURCE_DIR}/resources/style/*/*.xml)
set(tonvera_mstyle_dir ${CMAKE_CURRENT_BINARY_DIR}/styles)
add_custom_command(OUTPUT ${tonvera_mstyle_dir}/mstyle.cpp ${tonvera_mstyle_dir}/mstyle.mrf
  COMMAND ${CMAKE_COMMAND} -E make_directory ${tonvera_mstyle_dir}
  COMMAND tonvera_stylegen ${PROJECT_SOURCE_DIR}/resources/style ${tonvera_mstyle_dir}/mstyle.mrf
          ${tonvera_mstyle_dir}/mstyle.cpp
  DEPENDS tonvera_stylegen ${tonvera_style_sources}
  COMMENT "Drawing the style bitmaps and packing mstyle.mrf"
  VERBATIM)
add_library(tonvera_gui_mstyle STATIC ${tonvera_mstyle_dir}/mstyle.cpp)
target_include_directories(tonvera_gui_mstyle PRIVATE ${PROJECT_SOURCE_DIR})
target_compile_features(tonvera_gui_mstyle PRIVATE cxx_std_20)
cmake_language(DEFER CALL target_link_libraries tonvera_gui INTERFACE tonvera_gui_mstyle)
