# White list: Win32 file port and the Win32 side of locating the file.
target_sources(win_tests PRIVATE
  whitelist_files_test.cpp)

# White list automation object: Windows tests and the script clients.
target_sources(win_tests PRIVATE
  whitelist_test_support.cpp
  whitelist_object_test.cpp
  whitelist_dispatch_test.cpp
  whitelist_rot_test.cpp
  whitelist_setup_test.cpp)

# Outside automation clients: Wine's cscript creates the object by its ProgID
# and drives it by name.  Both register the module, so they never run at once.
foreach(client whitelist_client.js whitelist_client.vbs)
  add_test(NAME script_${client}
    COMMAND bash ${CMAKE_SOURCE_DIR}/tests/scripts/run-cscript.sh $<TARGET_FILE:Quillvane>
            ${CMAKE_SOURCE_DIR}/tests/scripts/${client} ${CMAKE_BINARY_DIR}/test-results/script_${client}.xml)
  set_tests_properties(script_${client} PROPERTIES RESOURCE_LOCK qv_registration TIMEOUT 120)
endforeach()
