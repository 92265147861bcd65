# The low-latency path's detector and shifter.
tonvera_add_test(tonvera_dsp_live_tests LABEL dsp
  SOURCES MLiveTest.cpp
  LIBS tonvera::dsp)
