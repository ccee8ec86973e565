# The content sweep's Windows side: MSHTML adapter over page doubles, GDI+
# frame counting, the real URL cache.
target_sources(win_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/page_doubles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sweep_win_test.cpp)
target_link_libraries(win_tests PRIVATE wininet)

# The page doubles' stub base classes, generated at build time like the
# browser doubles' (generated/page_stubs.h under the build folder).
set(QV_PAGE_STUBS ${CMAKE_CURRENT_BINARY_DIR}/generated/page_stubs.h)
add_custom_command(
  OUTPUT ${QV_PAGE_STUBS}
  COMMAND ${QV_PYTHON3} ${CMAKE_SOURCE_DIR}/tools/gen_stubs.py
          --include-dir /usr/share/mingw-w64/include
          --out ${QV_PAGE_STUBS}
          --headers exdisp.h mshtml.h oleidl.h objidl.h
          --interfaces IHTMLElement2 IHTMLStyle IHTMLCurrentStyle IHTMLElementCollection IHTMLObjectElement
                       IHTMLEmbedElement IHTMLImgElement IOleContainer IEnumUnknown
  DEPENDS ${CMAKE_SOURCE_DIR}/tools/gen_stubs.py
  COMMENT "Generating the page doubles' stub base classes")
add_custom_target(qv_page_stubs DEPENDS ${QV_PAGE_STUBS})
add_dependencies(win_tests qv_page_stubs)

# `make demo`: the stand-in browser's content-sweep step.
if(TARGET standin_demo)
  target_sources(standin_demo PRIVATE
    ${CMAKE_SOURCE_DIR}/tools/standin_demo/sweep_demo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/page_doubles.cpp)
  target_link_libraries(standin_demo PRIVATE wininet)
  add_dependencies(standin_demo qv_page_stubs)
endif()
