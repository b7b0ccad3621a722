# The real window under a virtual X server that the test starts for itself.
add_executable(window_check window_check.cpp)
target_link_libraries(window_check display host_sdl)
add_test(NAME real_window
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/with_xvfb.sh $<TARGET_FILE:window_check>
          ${CMAKE_CURRENT_BINARY_DIR}/real_window.png
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(real_window PROPERTIES LABELS window TIMEOUT 120 RUN_SERIAL TRUE)
