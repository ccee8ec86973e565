target_sources(unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/content_page_click_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/content_frame_rule_test.cpp)
