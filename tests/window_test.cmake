# The real window under a virtual X server that the test starts for itself.
add_executable(window_check window_check.cpp)
target_link_libraries(window_check display host_sdl)
add_test(NAME real_window
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/with_xvfb.sh $<TARGET_FILE:window_check>
          ${CMAKE_CURRENT_BINARY_DIR}/real_window.png
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(real_window PROPERTIES LABELS window TIMEOUT 120 RUN_SERIAL TRUE)

# The window on a screen smaller than the configured window.
add_executable(window_fit_check window_fit_check.cpp)
target_link_libraries(window_fit_check display host_sdl)
add_test(NAME window_fit
  COMMAND xvfb-run -a -s "-screen 0 1024x768x24" $<TARGET_FILE:window_fit_check>
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
set_tests_properties(window_fit PROPERTIES LABELS window TIMEOUT 120 RUN_SERIAL TRUE)
