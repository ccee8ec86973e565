# The skin library's named-colour format.
qv_fuzz_target(fuzz_skin ${CMAKE_CURRENT_LIST_DIR}/fuzz_skin.cpp)
