# Options sheet: the real sheet driven from a second thread.
target_sources(win_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/options_sheet_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/options_sheet_win_test.cpp)

# The options sheet used by a scripted user (make demo) and the pictures of
# its pages (make demo).
add_executable(options_demo
  ${CMAKE_SOURCE_DIR}/tools/options_demo/options_demo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/options_sheet_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screenshot.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win_test_support.cpp)
target_include_directories(options_demo PRIVATE ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(options_demo PRIVATE qv_shell)
target_link_options(options_demo PRIVATE -static -static-libgcc -static-libstdc++)
target_compile_definitions(options_demo PRIVATE QV_DLL_PATH="$<TARGET_FILE:Quillvane>")
add_dependencies(options_demo Quillvane)
# The module stays only in hosts named iexplore.exe.
set_target_properties(options_demo PROPERTIES
  OUTPUT_NAME iexplore
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools/options_demo)
