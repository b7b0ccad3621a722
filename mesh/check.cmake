# The deep check: part of the model library, like verification, whose
# findings it includes.
target_sources(mesh_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/check.cpp)

add_executable(mesh_check_tests ${CMAKE_CURRENT_LIST_DIR}/tests/check_test.cpp)
target_link_libraries(mesh_check_tests mesh_core GTest::gtest_main)
gtest_discover_tests(mesh_check_tests PROPERTIES LABELS unit DISCOVERY_TIMEOUT 60)
target_compile_options(mesh_check_tests PRIVATE $<$<CONFIG:Debug>:-O1>)
