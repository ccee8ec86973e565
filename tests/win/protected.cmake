# Protected Mode: a tab process with a double of the browser's broker.
add_library(qv_broker_double SHARED ${CMAKE_CURRENT_LIST_DIR}/broker_double.c)
set_target_properties(qv_broker_double PROPERTIES PREFIX "" OUTPUT_NAME ieframe
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}/broker_double)
# Exported by their plain names, as the browser's library exports them (a
# 32-bit stdcall export is otherwise named "IERegSetValueEx@24").
target_link_options(qv_broker_double PRIVATE -static -static-libgcc -Wl,--kill-at)

add_executable(qv_protected_host ${CMAKE_CURRENT_LIST_DIR}/protected_host.cpp)
target_link_libraries(qv_protected_host PRIVATE qv_shell)
target_link_options(qv_protected_host PRIVATE -static -static-libgcc -static-libstdc++)

target_sources(win_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/protected_mode_test.cpp)
add_dependencies(win_tests qv_broker_double qv_protected_host)
target_compile_definitions(win_tests PRIVATE
  QV_BROKER_DOUBLE_PATH="$<TARGET_FILE:qv_broker_double>"
  QV_PROTECTED_HOST_PATH="$<TARGET_FILE:qv_protected_host>")
