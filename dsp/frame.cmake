# Spectral frame engine: window shapes, the transform owner, the frame processor and
# the analysis-only frame reader.
list(APPEND TONVERA_DSP_SOURCES
  MSignalWindow.cpp
  MRealFFT.cpp
  MAudioFFTProcessor.cpp
  MAudioFFTReader.cpp)
list(APPEND TONVERA_DSP_DEPS tonvera::vector tonvera::base)
