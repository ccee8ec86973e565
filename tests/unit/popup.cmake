# Popup decision, hooks and timers, notifications and history, browser table.
target_sources(unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/popup_decision_test.cpp)
target_sources(unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/popup_hooks_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_watch_test.cpp)
target_sources(unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/notify_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/browser_table_test.cpp)
