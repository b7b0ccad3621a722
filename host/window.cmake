# The window host: the abstract interface with its shared parts, the headless
# host used by tests, and PNG reading (host_window, no window system needed);
# the SDL2 + OpenGL host (host_sdl) only when the GUI is built.
find_package(PNG REQUIRED)

add_library(host_window host.cpp frame_record.cpp headless_host.cpp png.cpp)
target_link_libraries(host_window PUBLIC files PNG::PNG)

add_executable(host_window_tests tests/host_test.cpp tests/headless_test.cpp)
target_link_libraries(host_window_tests host_window GTest::gtest_main)
target_compile_definitions(host_window_tests PRIVATE TEST_TMP_DIR="${CMAKE_CURRENT_BINARY_DIR}")
gtest_discover_tests(host_window_tests PROPERTIES LABELS unit)

if(VORNA_GUI)
  include(sdl.cmake)
endif()
