# mshtool: tree and resave on the command line, on the mesh library.
add_executable(mshtool ${CMAKE_CURRENT_LIST_DIR}/mshtool.cpp)
target_link_libraries(mshtool mesh_core)
# The container-name list travels with the program: a copy beside it, and the
# source copy as the last resort.
configure_file(${CMAKE_SOURCE_DIR}/mdata/format.txt ${CMAKE_CURRENT_BINARY_DIR}/mdata/format.txt COPYONLY)
target_compile_definitions(mshtool PRIVATE MSHTOOL_FORMAT_FILE="${CMAKE_SOURCE_DIR}/mdata/format.txt")

add_executable(mshtool_tests ${CMAKE_SOURCE_DIR}/mesh/tests/mshtool_test.cpp)
target_link_libraries(mshtool_tests mesh_core GTest::gtest_main)
target_compile_definitions(mshtool_tests PRIVATE MSHTOOL_PATH="$<TARGET_FILE:mshtool>")
add_dependencies(mshtool_tests mshtool)
gtest_discover_tests(mshtool_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
