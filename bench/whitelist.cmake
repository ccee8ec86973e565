# White list: lookup against growing lists, parse of a large file.
target_sources(qv_bench PRIVATE whitelist_bench.cpp)
