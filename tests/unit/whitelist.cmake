# White list: address rules, store and file, locating the file.
target_sources(unit_tests PRIVATE
  whitelist_url_test.cpp
  whitelist_store_test.cpp
  whitelist_locate_test.cpp)
