# White list: Win32 file port and the Win32 side of locating the file.
target_sources(win_tests PRIVATE
  whitelist_files_test.cpp)
