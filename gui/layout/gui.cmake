# Layouts: the MLayout family and the container's list of layouts.
list(APPEND TONVERA_GUI_SOURCES
  layout/MLayout.cpp
  layout/MLayoutSide.cpp
  layout/MLayoutCorner.cpp
  layout/MLayoutGrid.cpp
  layout/MLayoutSwitch.cpp
  layout/MLayoutOccupyBorder.cpp
  layout/MLayoutList.cpp)
