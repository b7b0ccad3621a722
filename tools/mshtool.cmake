# mshtool: tree and resave on the command line, on the mesh library.
add_executable(mshtool ${CMAKE_CURRENT_LIST_DIR}/mshtool.cpp)
target_link_libraries(mshtool mesh_core)
# The container-name list travels with the program: a copy beside it, and the
# source copy as the last resort.
configure_file(${CMAKE_SOURCE_DIR}/mdata/format.txt ${CMAKE_CURRENT_BINARY_DIR}/mdata/format.txt COPYONLY)
target_compile_definitions(mshtool PRIVATE MSHTOOL_FORMAT_FILE="${CMAKE_SOURCE_DIR}/mdata/format.txt")
