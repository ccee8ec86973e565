# The content sweep's Windows side: MSHTML adapter over page doubles, GDI+
# frame counting, the real URL cache.
target_sources(win_tests PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/page_doubles.cpp
  ${CMAKE_CURRENT_LIST_DIR}/sweep_win_test.cpp)
target_link_libraries(win_tests PRIVATE wininet)

# The page doubles' stubs (generated/page_stubs.h).
qv_generate_stubs(qv_page_stubs page_stubs.h
  HEADERS exdisp.h mshtml.h oleidl.h objidl.h
  INTERFACES IHTMLElement2 IHTMLStyle IHTMLCurrentStyle IHTMLElementCollection IHTMLObjectElement
             IHTMLEmbedElement IHTMLImgElement IOleContainer IEnumUnknown)
add_dependencies(win_tests qv_page_stubs)

# `make demo`: the stand-in browser's content-sweep step.
if(TARGET standin_demo)
  target_sources(standin_demo PRIVATE
    ${CMAKE_SOURCE_DIR}/tools/standin_demo/sweep_demo.cpp
    ${CMAKE_CURRENT_LIST_DIR}/page_doubles.cpp)
  target_link_libraries(standin_demo PRIVATE wininet)
  add_dependencies(standin_demo qv_page_stubs)
endif()
