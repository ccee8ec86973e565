# The content sweep over arbitrary page trees.
qv_fuzz_target(fuzz_sweep ${CMAKE_CURRENT_LIST_DIR}/sweep_fuzz.cpp)
target_include_directories(fuzz_sweep PRIVATE ${CMAKE_SOURCE_DIR}/tests)
