# Control tree, windows, dispatch and repaint on the headless back end, plus the snapshot helper
# every GUI suite may use (tonvera_gui_snapshot: MSnapshot.h, MRecordingStyle.h).
add_library(tonvera_gui_snapshot STATIC support/MSnapshot.cpp)
target_compile_options(tonvera_gui_snapshot PRIVATE ${TONVERA_WARNINGS})
target_link_libraries(tonvera_gui_snapshot PUBLIC tonvera::gui GTest::gtest)
target_compile_definitions(tonvera_gui_snapshot PRIVATE
  TONVERA_GUI_GOLDEN_DIR="${TONVERA_TEST_DRIVE}${CMAKE_CURRENT_SOURCE_DIR}/golden"
  TONVERA_GUI_SNAPSHOT_DIR="${TONVERA_TEST_DRIVE}${CMAKE_CURRENT_BINARY_DIR}/snapshots")

tonvera_add_test(tonvera_gui_tree_tests LABEL gui
  SOURCES
    MControlTest.cpp
    MWindowDispatchTest.cpp
  LIBS tonvera_gui_snapshot)

tonvera_add_test(tonvera_gui_tree_concurrency_tests LABEL gui CONCURRENCY
  SOURCES
    MRepaintConcurrencyTest.cpp
  LIBS tonvera::gui)
