# Frame engine: window shapes, the overlap-add processor and the frame reader.
tonvera_add_test(tonvera_dsp_frame_tests LABEL dsp
  SOURCES MSignalWindowTest.cpp MAudioFFTProcessorTest.cpp MAudioFFTReaderTest.cpp
  LIBS tonvera::dsp)
