# The controls beyond the tree's basics: buttons, check boxes, value controls, edit fields,
# lists, menus, bars, trees, dialogs and the editors of shapes, colours, files and notes.
list(APPEND TONVERA_GUI_SOURCES
  controls/MControlUtility.cpp
  controls/MButton.cpp
  controls/MCheckBox.cpp
  controls/MValueGesture.cpp
  controls/MKnob.cpp
  controls/MTracker.cpp
  controls/MSwitcher.cpp
  controls/MValueButton.cpp
  controls/MEditBuffer.cpp
  controls/MEdit.cpp
  controls/MListBox.cpp
  controls/MMenu.cpp
  controls/MSelector.cpp
  controls/MPiano.cpp
  controls/MScrollBar.cpp
  controls/MTabSet.cpp
  controls/MProgressBar.cpp
  controls/MSplitter.cpp
  controls/MTreeControl.cpp
  controls/MDialogWindow.cpp
  controls/MSheet.cpp
  controls/MSignalGeneratorEditor.cpp
  controls/MEnvelopeEditorControl.cpp
  controls/MGraphEditor.cpp
  controls/MVector2DEditor.cpp
  controls/MColorEditor.cpp
  controls/MFileDialog.cpp
  controls/MKeyboardControl.cpp)
