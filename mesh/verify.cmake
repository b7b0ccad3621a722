# Verification rules and the count comparison. chunk::verify, chunk::segmcompare
# and msh::verify are members of the model classes, so their definitions go
# into the core library itself: whatever links the model can verify.
target_sources(mesh_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/verify.cpp)

add_executable(mesh_verify_tests ${CMAKE_CURRENT_LIST_DIR}/tests/verify_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tests/flatindex_test.cpp)
target_link_libraries(mesh_verify_tests mesh_core test_support GTest::gtest_main)
gtest_discover_tests(mesh_verify_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
# Builds trees of a million chunks: keep the unoptimised sanitizer build quick.
target_compile_options(mesh_verify_tests PRIVATE $<$<CONFIG:Debug>:-O1>)

if(VORNA_BENCH)
  add_executable(verify_bench ${CMAKE_CURRENT_LIST_DIR}/bench/verify_bench.cpp)
  target_link_libraries(verify_bench mesh_core)
endif()
