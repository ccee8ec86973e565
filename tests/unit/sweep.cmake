# The content sweep over an in-memory page.
target_sources(unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/sweep_test.cpp)
