# The install, tried: `cmake --install` into a scratch prefix, then the
# installed mshtool run from another folder, which must read its container
# list from the installed data folder (share/vornabel/mdata).
#
#   cmake -DBUILD=<build dir> -DSOURCE=<source dir> -DSCRATCH=<scratch dir> -DGUI=ON|OFF -P install_test.cmake
file(REMOVE_RECURSE ${SCRATCH})
set(prefix ${SCRATCH}/prefix)
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix} RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed (${rc})")
endif()
set(expected bin/mshtool share/vornabel/mdata/format.txt share/vornabel/mdata/graphics.txt
             share/vornabel/data/image/palette.png share/vornabel/data/image/curses_fg.png
             share/vornabel/data/image/curses_bg.png)
if(GUI)
  list(APPEND expected bin/vornabel)
endif()
foreach(f ${expected})
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()

# Run from elsewhere, the installed list decides which chunks open: with the
# shipped one the scene opens, with one that names no container it does not.
file(MAKE_DIRECTORY ${SCRATCH}/elsewhere)
file(COPY ${SOURCE}/examples/cube.msh DESTINATION ${SCRATCH}/elsewhere)
foreach(list shipped none)
  if(list STREQUAL "none")
    file(WRITE ${prefix}/share/vornabel/mdata/format.txt "XXXX\n")
  endif()
  execute_process(COMMAND ${prefix}/bin/mshtool tree cube.msh WORKING_DIRECTORY ${SCRATCH}/elsewhere
                  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "the installed mshtool failed (${rc}): ${err}")
  endif()
  if(list STREQUAL "shipped" AND NOT out MATCHES "^HEDR [0-9]+\n  MSH2 [0-9]+\n    SINF")
    message(FATAL_ERROR "the installed mshtool did not open the scene with the installed list:\n${out}")
  endif()
  if(list STREQUAL "none" AND NOT out MATCHES "^HEDR [0-9]+\n$")
    message(FATAL_ERROR "the installed mshtool did not read the installed list:\n${out}")
  endif()
endforeach()
file(REMOVE_RECURSE ${SCRATCH})
