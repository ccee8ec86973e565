# The tray icon, the menus, the About page and the skins shown by a scripted
# user (make demo), and their pictures.  It reuses the helpers of the tray
# and options-sheet tests.
add_executable(ui_demo
  ${CMAKE_SOURCE_DIR}/tools/ui_demo/ui_demo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/options_sheet_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/screenshot.cpp
  ${CMAKE_CURRENT_LIST_DIR}/standin_browser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tray_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win_test_support.cpp)
target_include_directories(ui_demo PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_BINARY_DIR})
target_link_libraries(ui_demo PRIVATE qv_shell)
target_link_options(ui_demo PRIVATE -static -static-libgcc -static-libstdc++)
target_compile_definitions(ui_demo PRIVATE
  QV_DLL_PATH="$<TARGET_FILE:Quillvane>"
  QV_STANDIN_SHDOCLC="$<TARGET_FILE:qv_standin_shdoclc>"
  QV_STANDIN_FRAME_PATH="$<TARGET_FILE:standin_frame>")
add_dependencies(ui_demo Quillvane QuillvaneSkin qv_standin_shdoclc qv_com_stubs)
# The module stays only in hosts named iexplore.exe.
set_target_properties(ui_demo PROPERTIES
  OUTPUT_NAME iexplore
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools/ui_demo)
