# mshtool: the commands of its table on the command line, on the mesh library.
find_package(nlohmann_json REQUIRED)
find_package(Threads REQUIRED)
add_executable(mshtool ${CMAKE_CURRENT_LIST_DIR}/mshtool.cpp ${CMAKE_CURRENT_LIST_DIR}/mshtool_commands.cpp
               ${CMAKE_CURRENT_LIST_DIR}/mshtool_basic.cpp ${CMAKE_CURRENT_LIST_DIR}/mshtool_check.cpp ${CMAKE_CURRENT_LIST_DIR}/mshtool_modtree.cpp
               ${CMAKE_CURRENT_LIST_DIR}/mshtool_text.cpp ${CMAKE_CURRENT_LIST_DIR}/mshtool_fix.cpp
               ${CMAKE_CURRENT_LIST_DIR}/mshtool_render.cpp)
target_compile_definitions(mshtool PRIVATE VORNA_VERSION="${PROJECT_VERSION}")
target_link_libraries(mshtool check textform meshdiff preview host_window nlohmann_json::nlohmann_json Threads::Threads)
# The container-name list travels with the program: a copy beside it, and the
# source copy as the last resort.
configure_file(${CMAKE_SOURCE_DIR}/mdata/format.txt ${CMAKE_CURRENT_BINARY_DIR}/mdata/format.txt COPYONLY)
target_compile_definitions(mshtool PRIVATE MSHTOOL_FORMAT_FILE="${CMAKE_SOURCE_DIR}/mdata/format.txt")

add_executable(mshtool_tests ${CMAKE_CURRENT_LIST_DIR}/tests/mshtool_test.cpp)
target_link_libraries(mshtool_tests mesh_core test_support GTest::gtest_main)
target_compile_definitions(mshtool_tests PRIVATE MSHTOOL_PATH="$<TARGET_FILE:mshtool>")
add_dependencies(mshtool_tests mshtool)
gtest_discover_tests(mshtool_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)

add_executable(mshtool_check_tests ${CMAKE_CURRENT_LIST_DIR}/tests/mshtool_check_test.cpp)
target_link_libraries(mshtool_check_tests check test_support nlohmann_json::nlohmann_json GTest::gtest_main)
target_compile_definitions(mshtool_check_tests PRIVATE MSHTOOL_PATH="$<TARGET_FILE:mshtool>")
add_dependencies(mshtool_check_tests mshtool)
gtest_discover_tests(mshtool_check_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)

add_executable(mshtool_text_tests ${CMAKE_CURRENT_LIST_DIR}/tests/mshtool_text_test.cpp)
target_link_libraries(mshtool_text_tests test_support GTest::gtest_main)
target_compile_definitions(mshtool_text_tests PRIVATE MSHTOOL_PATH="$<TARGET_FILE:mshtool>"
  SOURCE_DIR="${CMAKE_SOURCE_DIR}" MESHES_DIR="${CMAKE_CURRENT_LIST_DIR}/tests/meshes")
add_dependencies(mshtool_text_tests mshtool)
gtest_discover_tests(mshtool_text_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)

add_executable(mshtool_render_tests ${CMAKE_CURRENT_LIST_DIR}/tests/mshtool_render_test.cpp)
target_link_libraries(mshtool_render_tests preview host_window test_support GTest::gtest_main)
target_compile_definitions(mshtool_render_tests PRIVATE MSHTOOL_PATH="$<TARGET_FILE:mshtool>"
                           EXAMPLE_CUBE="${CMAKE_SOURCE_DIR}/examples/cube.msh")
add_dependencies(mshtool_render_tests mshtool)
gtest_discover_tests(mshtool_render_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)

# The install into a scratch prefix, and the installed mshtool finding its data.
add_test(NAME install.FindsItsData
         COMMAND ${CMAKE_COMMAND} -DBUILD=${CMAKE_BINARY_DIR} -DSOURCE=${CMAKE_SOURCE_DIR}
                 -DSCRATCH=${CMAKE_BINARY_DIR}/install-test -DGUI=${VORNA_GUI} -P ${CMAKE_CURRENT_LIST_DIR}/install_test.cmake)
set_tests_properties(install.FindsItsData PROPERTIES LABELS unit)

# mshtool verify, run on files the test writes.
add_executable(mshtool_verify_tests ${CMAKE_CURRENT_LIST_DIR}/tests/mshtool_verify_test.cpp)
target_link_libraries(mshtool_verify_tests mesh_core test_scratch GTest::gtest_main)
target_compile_definitions(mshtool_verify_tests PRIVATE MSHTOOL_PATH="$<TARGET_FILE:mshtool>")
add_dependencies(mshtool_verify_tests mshtool)
gtest_discover_tests(mshtool_verify_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
