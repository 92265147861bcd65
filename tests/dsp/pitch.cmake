# Pitch analysis core and the stand-alone detector.
tonvera_add_test(tonvera_dsp_pitch_tests LABEL dsp
  SOURCES MPitchFFTBaseTest.cpp MPitchDetectorFFTTest.cpp
  LIBS tonvera::dsp)
