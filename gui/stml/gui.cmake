# STML rich text: parser, layout and drawing, HTML export, and the control that shows it.
list(APPEND TONVERA_GUI_SOURCES
  stml/MSTMLParser.cpp
  stml/MSTMLLayout.cpp
  stml/MSTMLHtml.cpp
  stml/MSTMLEscape.cpp
  stml/MSTMLControl.cpp)
