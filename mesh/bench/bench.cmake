# The benchmark program of the mesh model: prints its figures.
add_executable(mesh_bench ${CMAKE_CURRENT_LIST_DIR}/mesh_bench.cpp)
target_link_libraries(mesh_bench mesh_core test_support)
