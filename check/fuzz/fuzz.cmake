# The libFuzzer target of fix (clang only): any bytes repaired, saved and
# repaired again give nothing more to repair. The test `fix_fuzz_corpus`
# (label fuzz) replays the committed seed corpus once.
add_executable(fix_fuzz ${CMAKE_CURRENT_LIST_DIR}/fix_fuzz.cpp)
target_link_libraries(fix_fuzz check test_support)
target_link_options(fix_fuzz PRIVATE -fsanitize=fuzzer)
add_dependencies(fuzz_targets fix_fuzz)

file(GLOB fix_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/*)
add_test(NAME fix_fuzz_corpus COMMAND fix_fuzz ${fix_fuzz_seeds})
set_tests_properties(fix_fuzz_corpus PROPERTIES LABELS fuzz)
