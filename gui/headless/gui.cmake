# Off-screen back end (tests, snapshots, the renderer's pictures).
list(APPEND TONVERA_GUI_SOURCES headless/MWindowSystemHeadless.cpp)
