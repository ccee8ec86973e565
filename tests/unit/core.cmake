# Plug-in core: start-up, settings.
target_sources(unit_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/settings_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tab_registry_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shared_record_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/startup_test.cpp)
