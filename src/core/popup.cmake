# Popup decision, hooks and timers, block notifications and history, and the
# shared browser table (portable), with the Win32 adapters of their ports.
target_sources(qv_logic PRIVATE
  ${CMAKE_CURRENT_LIST_DIR}/popup.cpp
  ${CMAKE_CURRENT_LIST_DIR}/dialog_watch.cpp
  ${CMAKE_CURRENT_LIST_DIR}/notify.cpp
  ${CMAKE_CURRENT_LIST_DIR}/browser_table.cpp)

if(WIN32)
  target_sources(qv_shell PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/win/popup_ports_win.cpp
    ${CMAKE_CURRENT_LIST_DIR}/win/popup_shell_win.cpp)
endif()
