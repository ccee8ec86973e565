# The browser helper object under Wine, in a stand-in browser.
target_sources(win_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/standin_browser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_events_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_tabs_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_process_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_measure_test.cpp)

# Regenerates the stub base classes of the test doubles (kept in the tree).
find_program(QV_PYTHON3 python3)
if(QV_PYTHON3)
  add_custom_target(regen_com_stubs
    COMMAND ${QV_PYTHON3} ${CMAKE_SOURCE_DIR}/tools/gen_stubs.py
            --include-dir /usr/share/mingw-w64/include
            --out ${CMAKE_CURRENT_LIST_DIR}/generated/com_stubs.h
            --headers exdisp.h mshtml.h mshtmhst.h docobj.h oleidl.h ocidl.h
            --interfaces IWebBrowser2 IHTMLDocument2 IHTMLWindow2 IHTMLEventObj IHTMLElement
                         IOleObject IOleClientSite IDocHostUIHandler IOleCommandTarget ICustomDoc
                         IConnectionPointContainer IConnectionPoint
    COMMENT "Generating COM stub base classes")
endif()

# The top-level frame of the tabbed stand-in browser, a process of its own.
add_executable(standin_frame ${CMAKE_CURRENT_LIST_DIR}/standin_frame.cpp)
target_include_directories(standin_frame PRIVATE ${CMAKE_CURRENT_LIST_DIR})
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
target_include_directories(standin_demo PRIVATE ${CMAKE_CURRENT_LIST_DIR})
# Only for the interface ids and the generated GUIDs.
target_link_libraries(standin_demo PRIVATE qv_shell)
target_link_options(standin_demo PRIVATE -static -static-libgcc -static-libstdc++)
target_compile_definitions(standin_demo PRIVATE QV_STANDIN_FRAME_PATH="$<TARGET_FILE:standin_frame>")
add_dependencies(standin_demo standin_frame)
