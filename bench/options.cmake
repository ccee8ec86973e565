# Options sheet: the save after OK with a large white list.
target_sources(qv_bench PRIVATE options_bench.cpp)
