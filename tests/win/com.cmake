target_sources(win_tests PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/registration_test.cpp)
# The COM support layer (owners, conversion, guarded, adopt).
target_sources(win_tests PRIVATE
  ${CMAKE_CURRENT_SOURCE_DIR}/com_support_test.cpp)
