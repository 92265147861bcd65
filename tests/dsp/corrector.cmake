tonvera_add_test(tonvera_dsp_corrector_tests LABEL dsp
  SOURCES MNoteSegmenterTest.cpp MNoteTrackerTest.cpp MTonveraFFTProcessorTest.cpp MHarmonicShiftTest.cpp MCorrectorTestSupport.cpp
  LIBS tonvera::dsp)
