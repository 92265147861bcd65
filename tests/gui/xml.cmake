# XML GUI loader: an editor from XML against the same editor built in code (structure and
# snapshot), the registry's buckets, and the errors of bad documents.
tonvera_add_test(tonvera_gui_xml_tests LABEL gui
  SOURCES
    MXmlLoaderTest.cpp
  LIBS tonvera_gui_snapshot)
