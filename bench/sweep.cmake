# The content sweep on a large in-memory page.
target_sources(qv_bench PRIVATE ${CMAKE_CURRENT_LIST_DIR}/sweep_bench.cpp)
