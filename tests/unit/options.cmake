# Options sheet: open/save protocol and page rules.
target_sources(unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/options_sheet_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/option_pages_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/whitelist_replace_test.cpp)
