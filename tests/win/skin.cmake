# The skin library under Wine: applied to the dialogs of the thread and
# removed with nothing left behind; its cost on opening a sheet.
target_sources(win_tests PRIVATE ${CMAKE_CURRENT_LIST_DIR}/skin_win_test.cpp)
add_dependencies(win_tests QuillvaneSkin)
target_compile_definitions(win_tests PRIVATE QV_SKIN_PATH="$<TARGET_FILE:QuillvaneSkin>")
