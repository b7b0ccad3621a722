# The deep check: a library over the model and the format read out of its
# tree; verification's findings are part of it.
add_library(mesh_check ${CMAKE_CURRENT_LIST_DIR}/check.cpp)
target_link_libraries(mesh_check PUBLIC mesh_core format_tree)

add_executable(mesh_check_tests ${CMAKE_CURRENT_LIST_DIR}/tests/check_test.cpp)
target_link_libraries(mesh_check_tests mesh_check test_support GTest::gtest_main)
gtest_discover_tests(mesh_check_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
target_compile_options(mesh_check_tests PRIVATE $<$<CONFIG:Debug>:-O1>)

# Figures of the check: a 64 MB mesh, and with --folder DIR mshtool check over
# 5,000 small meshes with one and two jobs.
if(VORNA_BENCH)
  add_executable(check_bench ${CMAKE_CURRENT_LIST_DIR}/bench/check_bench.cpp)
  target_link_libraries(check_bench mesh_check)
  target_compile_definitions(check_bench PRIVATE MSHTOOL_PATH="$<TARGET_FILE:mshtool>")
  add_dependencies(check_bench mshtool)
endif()
