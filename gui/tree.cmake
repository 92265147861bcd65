# Control tree, windows, the repaint scheme and the platform-neutral part of every window system,
# with the basic controls the rest build on.
list(APPEND TONVERA_GUI_SOURCES
  MControl.cpp
  MWindow.cpp
  MControlInvalidator.cpp
  MWindowSystemCommon.cpp
  controls/MControlContent.cpp
  controls/MControlValue.cpp
  controls/MPanel.cpp
  controls/MContainer.cpp
  controls/MStatic.cpp
  controls/MSpacer.cpp
  MGridPlacer.cpp)
