# The libFuzzer target of the text form's build (clang only): the lines read
# in place against the line reader. The test
# `textform_fuzz_corpus` (label fuzz) replays the committed seed corpus once.
add_executable(textform_fuzz ${CMAKE_CURRENT_LIST_DIR}/textform_fuzz.cpp)
target_link_libraries(textform_fuzz textform)
target_link_options(textform_fuzz PRIVATE -fsanitize=fuzzer)
add_dependencies(fuzz_targets textform_fuzz)

file(GLOB textform_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/*)
add_test(NAME textform_fuzz_corpus COMMAND textform_fuzz ${textform_fuzz_seeds})
set_tests_properties(textform_fuzz_corpus PROPERTIES LABELS fuzz)
