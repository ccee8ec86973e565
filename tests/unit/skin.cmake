# The skin library's format parser.
target_sources(unit_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/skin_format_test.cpp)
target_compile_definitions(unit_tests PRIVATE QV_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
