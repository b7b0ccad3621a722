# The editor in its window for the measuring scripts (tools/idle_cpu.sh).
if(VORNA_GUI)
  add_executable(idle_editor ${CMAKE_CURRENT_LIST_DIR}/idle_editor.cpp)
  target_link_libraries(idle_editor editor_lib host_sdl)
endif()
