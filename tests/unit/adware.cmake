# Adware list file, list tool, scan, cleaning and kill bits.
target_sources(unit_tests PRIVATE
  adware_list_test.cpp
  adware_scan_test.cpp)
target_link_libraries(unit_tests PRIVATE qv_adware_csv)
