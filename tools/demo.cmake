# widgets_demo: the toolkit, the popups and the tree view in the real window.
if(VORNA_GUI)
  add_executable(widgets_demo ${CMAKE_CURRENT_LIST_DIR}/demo.cpp)
  target_link_libraries(widgets_demo treeview widgets display host_sdl)

  # The demo photographs its own frames and answers its popup by itself; it
  # fails when a picture cannot be taken.
  add_test(NAME widgets_demo_shots
    COMMAND xvfb-run -a -s "-screen 0 1920x1200x24" $<TARGET_FILE:widgets_demo>
            --shots ${CMAKE_CURRENT_BINARY_DIR}
    WORKING_DIRECTORY ${CMAKE_SOURCE_DIR})
  set_tests_properties(widgets_demo_shots PROPERTIES LABELS window TIMEOUT 120 RUN_SERIAL TRUE)
endif()
