# The generator of the example mesh shipped in examples/, and a check that the
# shipped file is exactly what the generator writes.
add_executable(mkexample mkexample.cpp)
target_link_libraries(mkexample files)

add_test(NAME example_mesh_is_generated
         COMMAND ${CMAKE_COMMAND} -DGEN=$<TARGET_FILE:mkexample>
                 -DOUT=${CMAKE_CURRENT_BINARY_DIR}/cube.msh
                 -DSHIPPED=${CMAKE_SOURCE_DIR}/examples/cube.msh
                 -P ${CMAKE_CURRENT_SOURCE_DIR}/check_example.cmake)
set_tests_properties(example_mesh_is_generated PROPERTIES LABELS unit)

# The shipped example must pass verification without a single finding.
add_test(NAME example_mesh_verifies
         COMMAND mshtool verify ${CMAKE_SOURCE_DIR}/examples/cube.msh
         WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(example_mesh_verifies PROPERTIES LABELS unit)
