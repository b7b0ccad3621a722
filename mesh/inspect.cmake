# The inspector's model: it decodes and edits chunks and draws nothing.
add_library(mesh_inspect ${CMAKE_CURRENT_LIST_DIR}/inspect.cpp ${CMAKE_CURRENT_LIST_DIR}/inspect_edit.cpp)
target_link_libraries(mesh_inspect PUBLIC mesh_core format_tree)

add_executable(mesh_inspect_tests ${CMAKE_CURRENT_LIST_DIR}/tests/inspect_test.cpp)
target_link_libraries(mesh_inspect_tests mesh_inspect test_support GTest::gtest_main)
gtest_discover_tests(mesh_inspect_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)

if(VORNA_BENCH)
  find_package(benchmark REQUIRED)
  add_executable(inspect_bench ${CMAKE_CURRENT_LIST_DIR}/bench/inspect_bench.cpp)
  target_link_libraries(inspect_bench mesh_inspect benchmark::benchmark)
endif()
