# Pitch corrector: note tracker, peak-shifting spectral processor.
list(APPEND TONVERA_DSP_SOURCES MNoteTracker.cpp)
