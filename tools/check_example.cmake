# Regenerates the example mesh and fails when the shipped copy differs.
execute_process(COMMAND ${GEN} ${OUT} RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "mkexample failed: ${rc}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${OUT} ${SHIPPED} RESULT_VARIABLE same)
if(NOT same EQUAL 0)
  message(FATAL_ERROR "examples/cube.msh is not what mkexample writes; regenerate it with mkexample")
endif()
