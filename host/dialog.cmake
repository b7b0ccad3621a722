# The native file dialog launcher: runs zenity or kdialog as a subprocess.
add_library(host_dialog file_dialog.cpp)
target_link_libraries(host_dialog PUBLIC files)

add_executable(host_dialog_tests tests/file_dialog_test.cpp)
target_link_libraries(host_dialog_tests host_dialog test_scratch GTest::gtest_main)
gtest_discover_tests(host_dialog_tests PROPERTIES LABELS unit)
