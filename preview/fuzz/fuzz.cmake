# The libFuzzer target of the preview (clang only): any mesh drawn from the
# fitted camera and from one the input gives. The test `render_fuzz_corpus`
# (label fuzz) replays the committed seed corpus once.
add_executable(render_fuzz ${CMAKE_CURRENT_LIST_DIR}/render_fuzz.cpp)
target_link_libraries(render_fuzz preview)
target_link_options(render_fuzz PRIVATE -fsanitize=fuzzer)
add_dependencies(fuzz_targets render_fuzz)

file(GLOB render_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/*)
add_test(NAME render_fuzz_corpus COMMAND render_fuzz ${render_fuzz_seeds})
set_tests_properties(render_fuzz_corpus PROPERTIES LABELS fuzz)
