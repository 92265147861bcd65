# Low-latency correction: pitch detection on the past signal and the delay-line shifter that
# the effect runs instead of the frame engine when Live is on.
list(APPEND TONVERA_DSP_SOURCES
  MLivePitchDetector.cpp
  MLiveShifter.cpp)
list(APPEND TONVERA_DSP_DEPS tonvera::vector tonvera::base)
