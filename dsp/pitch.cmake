# Spectral pitch analysis and the stand-alone pitch detector.
list(APPEND TONVERA_DSP_SOURCES
  MPitchFFTBase.cpp
  MPitchDetectorFFT.cpp)
list(APPEND TONVERA_DSP_DEPS tonvera::vector tonvera::base)
