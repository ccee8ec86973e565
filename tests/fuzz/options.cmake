# Options sheet: the history page's reading of the shared history region.
qv_fuzz_target(fuzz_history ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_history.cpp)
