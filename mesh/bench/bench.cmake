# The benchmark program of the mesh model: prints its figures.
add_executable(mesh_bench ${CMAKE_CURRENT_LIST_DIR}/mesh_bench.cpp)
target_link_libraries(mesh_bench mesh_core test_support)

# Peak memory of mshtool tree, verify and check beside the file's size.
add_executable(memory_bench ${CMAKE_CURRENT_LIST_DIR}/memory_bench.cpp)
target_compile_definitions(memory_bench PRIVATE MSHTOOL_PATH="$<TARGET_FILE:mshtool>")
add_dependencies(memory_bench mshtool)
