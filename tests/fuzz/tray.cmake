# The browser's anchor colour texts.
qv_fuzz_target(fuzz_anchor_color ${CMAKE_CURRENT_LIST_DIR}/fuzz_anchor_color.cpp)
