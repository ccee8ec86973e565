# Tray ownership, tip choice, menu command table and context-menu routing;
# the About page's link colours, hand cursor and version line.
target_sources(unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/tray_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/hyperlink_test.cpp)
