# Popup decision, hooks and timers.
target_sources(qv_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/popup_bench.cpp)
