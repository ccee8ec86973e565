# Tray icon, command menus, page context menu and About page under Wine.
target_sources(win_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/tray_win_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/about_win_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tray_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screenshot.cpp)
target_compile_definitions(win_tests PRIVATE
  QV_SCREENSHOT_DIR="Z:${CMAKE_BINARY_DIR}/screenshots")

# A stand-in for the browser's resource library with its context menus.
add_library(qv_standin_shdoclc SHARED
  ${CMAKE_CURRENT_LIST_DIR}/standin_shdoclc.c
  ${CMAKE_CURRENT_LIST_DIR}/standin_shdoclc.rc)
target_link_options(qv_standin_shdoclc PRIVATE -static -static-libgcc)
add_dependencies(win_tests qv_standin_shdoclc)
target_compile_definitions(win_tests PRIVATE QV_STANDIN_SHDOCLC="$<TARGET_FILE:qv_standin_shdoclc>")
