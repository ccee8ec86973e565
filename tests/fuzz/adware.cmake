# Adware list file and its CSV source.
qv_fuzz_target(fuzz_adware_list ${CMAKE_CURRENT_SOURCE_DIR}/fuzz_adware_list.cpp
  ${CMAKE_SOURCE_DIR}/tools/adware_list/adware_csv.cpp)
