# XML GUI loader: builds control trees (editors, dialogs, windows) from XML documents.
list(APPEND TONVERA_GUI_SOURCES
  xml/MXmlLoader.cpp)
