# The chunk tree view paints into a grid and reads the pointer, so it lives in
# a library of its own beside the mesh core.
add_library(mesh_treeview ${CMAKE_CURRENT_LIST_DIR}/treeview.cpp)
target_link_libraries(mesh_treeview PUBLIC mesh_core widgets display)

add_executable(mesh_treeview_tests ${CMAKE_CURRENT_LIST_DIR}/tests/treeview_test.cpp)
target_link_libraries(mesh_treeview_tests mesh_treeview GTest::gtest_main)
gtest_discover_tests(mesh_treeview_tests PROPERTIES LABELS unit)

# One frame of the tree view on a million rows, beside its baseline.
if(VORNA_BENCH)
  add_executable(treeview_bench ${CMAKE_CURRENT_LIST_DIR}/bench/treeview_bench.cpp)
  target_link_libraries(treeview_bench mesh_treeview)
endif()
