# The browser helper object under Wine, in a stand-in browser.
target_sources(win_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/standin_browser.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_test_support.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_events_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/pub_test.cpp
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
