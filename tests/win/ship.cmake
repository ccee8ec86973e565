# The installer check's stand-in browser (tests/ship/install-check): named
# iexplore.exe in a folder of its own; built for both bitnesses.
add_executable(installed_host ${CMAKE_SOURCE_DIR}/tests/ship/installed_host.cpp)
set_target_properties(installed_host PROPERTIES
  OUTPUT_NAME iexplore
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/ship)
add_dependencies(installed_host qv_idl)
target_include_directories(installed_host PRIVATE ${QV_GEN_DIR})
target_link_libraries(installed_host PRIVATE ole32 oleaut32 uuid version)
target_link_options(installed_host PRIVATE -static -static-libgcc -static-libstdc++)
