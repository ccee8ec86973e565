target_sources(unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/pub_navigation_test.cpp)
