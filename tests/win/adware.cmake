# Adware page, cleaning and kill bits through the real registry.
target_sources(win_tests PRIVATE adware_win_test.cpp adware_views_win_test.cpp adware_walk_win_test.cpp)
target_link_libraries(win_tests PRIVATE comctl32)
