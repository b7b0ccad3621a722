# The libFuzzer target of the mesh model (clang only). It links the mesh core
# library itself, which the VORNA_FUZZ switch compiles with the fuzzer's
# coverage instrumentation. The test `mesh_fuzz_corpus` (label fuzz) replays
# the committed seed corpus once.
add_executable(mesh_fuzz ${CMAKE_CURRENT_LIST_DIR}/mesh_fuzz.cpp)
target_link_libraries(mesh_fuzz check inspect)
target_link_options(mesh_fuzz PRIVATE -fsanitize=fuzzer)
add_dependencies(fuzz_targets mesh_fuzz)

file(GLOB mesh_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/*)
add_test(NAME mesh_fuzz_corpus COMMAND mesh_fuzz ${mesh_fuzz_seeds})
set_tests_properties(mesh_fuzz_corpus PROPERTIES LABELS fuzz)
