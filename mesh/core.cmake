# The mesh model core: chunk tree, file format, editing, queries, material
# grouping and the container-name list. Depends on the file layer and the
# format below the tree (byte reader, record table).
add_library(mesh_core
  ${CMAKE_CURRENT_LIST_DIR}/chunk_storage.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chunk_io.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chunk_query.cpp
  ${CMAKE_CURRENT_LIST_DIR}/chunk_edit.cpp
  ${CMAKE_CURRENT_LIST_DIR}/msh.cpp
  ${CMAKE_CURRENT_LIST_DIR}/relay.cpp
  ${CMAKE_CURRENT_LIST_DIR}/records.cpp
  ${CMAKE_CURRENT_LIST_DIR}/formatlist.cpp
  ${CMAKE_CURRENT_LIST_DIR}/flatindex.cpp
  ${CMAKE_CURRENT_LIST_DIR}/shadow_edges.cpp
  ${CMAKE_CURRENT_LIST_DIR}/texture_lookup.cpp)
target_link_libraries(mesh_core PUBLIC files format)

add_executable(mesh_core_tests
  ${CMAKE_CURRENT_LIST_DIR}/tests/format_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tests/edit_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tests/query_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tests/file_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tests/shadow_edges_test.cpp
  ${CMAKE_CURRENT_LIST_DIR}/tests/texture_lookup_test.cpp)
target_link_libraries(mesh_core_tests mesh_core test_support GTest::gtest_main)
gtest_discover_tests(mesh_core_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
# The model walks trees of a million chunks in the tests; unoptimised sanitizer
# builds would take many seconds for that.
target_compile_options(mesh_core PRIVATE $<$<CONFIG:Debug>:-O1>)
target_compile_options(mesh_core_tests PRIVATE $<$<CONFIG:Debug>:-O1>)

if(VORNA_FUZZ)
  include(${CMAKE_CURRENT_LIST_DIR}/fuzz/fuzz.cmake)
endif()

if(VORNA_BENCH)
  include(${CMAKE_CURRENT_LIST_DIR}/bench/bench.cmake)
endif()
