# The chunk tree view paints into a grid and reads the pointer: a library of
# its own above the widgets and the mesh core, shared by the editor and the
# widget demo.
add_library(editor_treeview ${CMAKE_CURRENT_LIST_DIR}/treeview.cpp)
target_link_libraries(editor_treeview PUBLIC mesh_core widgets display)

add_executable(editor_treeview_tests ${CMAKE_CURRENT_LIST_DIR}/tests/treeview_test.cpp)
target_link_libraries(editor_treeview_tests editor_treeview GTest::gtest_main)
gtest_discover_tests(editor_treeview_tests PROPERTIES LABELS unit)

# One frame of the tree view on a million rows, beside its baseline.
if(VORNA_BENCH)
  add_executable(treeview_bench ${CMAKE_CURRENT_LIST_DIR}/bench/treeview_bench.cpp)
  target_link_libraries(treeview_bench editor_treeview)
endif()
