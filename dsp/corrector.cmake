# Pitch corrector: note tracker, spectral peaks and the phase-locked peak shift, and the
# per-channel corrector that the effect runs.
list(APPEND TONVERA_DSP_SOURCES
  MHarmonicShifter.cpp
  MNoteSegmenter.cpp
  MNoteTracker.cpp
  MPitchFFTPeak.cpp
  MTonveraFFTProcessor.cpp)
list(APPEND TONVERA_DSP_DEPS tonvera::vector tonvera::base)
