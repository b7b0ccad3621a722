# Benchmark of one full-grid frame; run from the project root (it reads
# mdata/graphics.txt), under an X display for the real window's figure.
if(VORNA_BENCH)
  add_executable(display_bench bench/draw_bench.cpp)
  target_link_libraries(display_bench display benchmark::benchmark)
  if(VORNA_GUI)
    target_link_libraries(display_bench host_sdl)
    target_compile_definitions(display_bench PRIVATE HAVE_SDL_HOST)
  endif()
endif()
