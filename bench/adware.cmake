# Adware scan: matching the list against the registered helper objects.
target_sources(qv_bench PRIVATE adware_bench.cpp)
