# Popup blocking's shared memory: history region and browser table.
qv_fuzz_target(fuzz_popup_shared ${CMAKE_CURRENT_LIST_DIR}/popup_shared_fuzz.cpp)
