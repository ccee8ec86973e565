# Plug-in core: start-up, shared state, settings, CPub construction.
target_sources(win_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/startup_win_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_construct_win_test.cpp)

# Second processes for the start-up tests (the tests copy them under the
# names the module's gate and the unfathered rule look at).
add_executable(qv_host ${CMAKE_CURRENT_LIST_DIR}/qv_host.cpp)
target_include_directories(qv_host PRIVATE ${CMAKE_SOURCE_DIR}/tests/win)
target_link_libraries(qv_host PRIVATE qv_shell)
target_link_options(qv_host PRIVATE -static -static-libgcc -static-libstdc++)

add_executable(qv_launcher ${CMAKE_CURRENT_LIST_DIR}/qv_launcher.cpp)
target_link_options(qv_launcher PRIVATE -static -static-libgcc -static-libstdc++)

add_dependencies(win_tests qv_host qv_launcher)
target_compile_definitions(win_tests PRIVATE
  QV_HOST_PATH="$<TARGET_FILE:qv_host>"
  QV_LAUNCHER_PATH="$<TARGET_FILE:qv_launcher>")

add_library(qv_fake_skin SHARED ${CMAKE_CURRENT_LIST_DIR}/fake_skin.cpp)
target_link_options(qv_fake_skin PRIVATE -static -static-libgcc)
add_dependencies(win_tests qv_fake_skin)
target_compile_definitions(win_tests PRIVATE QV_FAKE_SKIN_PATH="$<TARGET_FILE:qv_fake_skin>")
