# The content sweep's Windows side: MSHTML adapter over page doubles, GDI+
# frame counting, the real URL cache.
target_sources(win_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/page_doubles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sweep_win_test.cpp)
target_link_libraries(win_tests PRIVATE wininet)

# Regenerates the stub bases of the page doubles (kept in the tree).
find_program(QV_PYTHON3 python3)
if(QV_PYTHON3)
  add_custom_target(regen_page_stubs
    COMMAND ${QV_PYTHON3} ${CMAKE_SOURCE_DIR}/tools/gen_stubs.py
            --include-dir /usr/share/mingw-w64/include
            --out ${CMAKE_CURRENT_LIST_DIR}/generated/page_stubs.h
            --headers exdisp.h mshtml.h oleidl.h objidl.h
            --interfaces IHTMLElement2 IHTMLStyle IHTMLCurrentStyle IHTMLElementCollection IHTMLObjectElement
                         IHTMLEmbedElement IHTMLImgElement IOleContainer IEnumUnknown
    COMMENT "Generating the page doubles' stub base classes")
endif()

# `make demo`: the stand-in browser's content-sweep step.
if(TARGET standin_demo)
  target_sources(standin_demo PRIVATE
    ${CMAKE_SOURCE_DIR}/tools/standin_demo/sweep_demo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/page_doubles.cpp)
  target_link_libraries(standin_demo PRIVATE wininet)
endif()
