# Popup blocking's Windows side: resources, adapters, hook and timer procedures.
target_sources(win_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/popup_win_test.cpp)
