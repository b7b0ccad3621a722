# The SDL2 + OpenGL window host (SDL2 and OpenGL are found at the top, with
# the VORNA_GUI switch).
add_library(host_sdl sdl_host.cpp gl_renderer.cpp)
target_link_libraries(host_sdl PUBLIC host_window SDL2::SDL2 OpenGL::GL)

# The key mapping needs no display.
add_executable(host_sdl_tests tests/sdl_keys_test.cpp)
target_link_libraries(host_sdl_tests host_sdl GTest::gtest_main)
gtest_discover_tests(host_sdl_tests PROPERTIES LABELS unit)
