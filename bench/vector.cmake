# Real FFT (forward + inverse) against FFTW single precision in the same run. FFTW is a
# benchmark-only reference: nothing in the product links it.
find_package(PkgConfig REQUIRED)
pkg_check_modules(TONVERA_FFTW3F REQUIRED IMPORTED_TARGET fftw3f)
add_executable(tonvera-bench-vector ${CMAKE_CURRENT_LIST_DIR}/MRealFFTBench.cpp)
target_compile_options(tonvera-bench-vector PRIVATE ${TONVERA_WARNINGS})
target_link_libraries(tonvera-bench-vector PRIVATE benchmark::benchmark tonvera::vector PkgConfig::TONVERA_FFTW3F)
