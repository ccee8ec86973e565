target_sources(win_tests PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/registration_test.cpp)
