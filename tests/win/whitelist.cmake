# White list automation object: Windows tests and the script clients.
target_sources(win_tests PRIVATE
  whitelist_test_support.cpp
  whitelist_object_test.cpp
  whitelist_dispatch_test.cpp
  whitelist_rot_test.cpp)
