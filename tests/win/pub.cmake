# The browser helper object under Wine, in a stand-in browser.
target_sources(win_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/standin_browser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_events_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_tabs_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_process_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/bitness_test.cpp)

# Stub base classes for test doubles, generated from the mingw-w64 headers
# at build time into generated/<file> under the build folder:
#   qv_generate_stubs(<target> <file> HEADERS <h>... INTERFACES <i>...)
find_program(QV_PYTHON3 python3 REQUIRED)
function(qv_generate_stubs target file)
  cmake_parse_arguments(PARSE_ARGV 2 ARG "" "" "HEADERS;INTERFACES")
  set(out ${CMAKE_CURRENT_BINARY_DIR}/generated/${file})
  add_custom_command(
    OUTPUT ${out}
    COMMAND ${QV_PYTHON3} ${CMAKE_SOURCE_DIR}/tools/gen_stubs.py
            --include-dir /usr/share/mingw-w64/include --out ${out}
            --headers ${ARG_HEADERS} --interfaces ${ARG_INTERFACES}
    DEPENDS ${CMAKE_SOURCE_DIR}/tools/gen_stubs.py
    COMMENT "Generating ${file}")
  add_custom_target(${target} DEPENDS ${out})
endfunction()

# The browser doubles' stubs (generated/com_stubs.h).
qv_generate_stubs(qv_com_stubs com_stubs.h
  HEADERS exdisp.h mshtml.h mshtmhst.h docobj.h oleidl.h ocidl.h
  INTERFACES IWebBrowser2 IHTMLDocument2 IHTMLWindow2 IHTMLEventObj IHTMLElement
             IOleObject IOleClientSite IDocHostUIHandler IOleCommandTarget ICustomDoc
             IConnectionPointContainer IConnectionPoint)
add_dependencies(win_tests qv_com_stubs)
target_include_directories(win_tests PRIVATE ${CMAKE_CURRENT_BINARY_DIR})

# An idle window's cost and the dialog watch's speed under Wine: a
# measurement, not a test, so not part of `make check` (bench/win/measure-watch
# builds and runs it).
add_executable(pub_measure EXCLUDE_FROM_ALL
  ${CMAKE_SOURCE_DIR}/bench/win/pub_measure.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win_main.cpp
  ${CMAKE_CURRENT_LIST_DIR}/win_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/standin_browser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_test_support.cpp)
set_target_properties(pub_measure PROPERTIES
  OUTPUT_NAME iexplore
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bench/pub_measure)
add_dependencies(pub_measure qv_com_stubs Quillvane)
target_include_directories(pub_measure PRIVATE ${CMAKE_SOURCE_DIR}/tests ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_BINARY_DIR})
target_link_libraries(pub_measure PRIVATE qv_shell GTest::gtest)
target_compile_definitions(pub_measure PRIVATE QV_STANDIN_FRAME_PATH="$<TARGET_FILE:standin_frame>")
target_link_options(pub_measure PRIVATE -static -static-libgcc -static-libstdc++)
target_compile_definitions(pub_measure PRIVATE QV_DLL_PATH="$<TARGET_FILE:Quillvane>")

# The top-level frame of the tabbed stand-in browser, a process of its own.
add_executable(standin_frame ${CMAKE_CURRENT_LIST_DIR}/standin_frame.cpp)
target_include_directories(standin_frame PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_BINARY_DIR})
add_dependencies(standin_frame qv_com_stubs)
target_link_libraries(standin_frame PRIVATE user32 shell32)
target_link_options(standin_frame PRIVATE -static -static-libgcc -static-libstdc++)
target_compile_definitions(win_tests PRIVATE QV_STANDIN_FRAME_PATH="$<TARGET_FILE:standin_frame>")
add_dependencies(win_tests standin_frame)

# `make demo`: a stand-in browser window with the registered helper object
# (the executable's name must contain iexplore.exe for the module to stay).
add_executable(standin_demo
  ${CMAKE_SOURCE_DIR}/tools/standin_demo/standin_demo.cpp
  ${CMAKE_CURRENT_LIST_DIR}/standin_browser.cpp)
set_target_properties(standin_demo PROPERTIES
  OUTPUT_NAME iexplore
  RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tools/standin_demo)
target_include_directories(standin_demo PRIVATE ${CMAKE_CURRENT_LIST_DIR} ${CMAKE_CURRENT_BINARY_DIR})
add_dependencies(standin_demo qv_com_stubs)
# Only for the interface ids and the generated GUIDs.
target_link_libraries(standin_demo PRIVATE qv_shell)
target_link_options(standin_demo PRIVATE -static -static-libgcc -static-libstdc++)
target_compile_definitions(standin_demo PRIVATE QV_STANDIN_FRAME_PATH="$<TARGET_FILE:standin_frame>")
add_dependencies(standin_demo standin_frame)
