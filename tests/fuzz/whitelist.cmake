# White list: address rules and the white list file.
qv_fuzz_target(fuzz_url ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_url.cpp)
qv_fuzz_target(fuzz_wlfile ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_wlfile.cpp)
