# The libFuzzer target of the mesh model (clang only). The model's sources are
# compiled into it with the fuzzer's coverage instrumentation. The test
# `mesh_fuzz_corpus` (label fuzz) replays the committed seed corpus once.
add_executable(mesh_fuzz
  ${CMAKE_CURRENT_LIST_DIR}/mesh_fuzz.cpp
  ${CMAKE_SOURCE_DIR}/mesh/chunk_storage.cpp
  ${CMAKE_SOURCE_DIR}/mesh/chunk_io.cpp
  ${CMAKE_SOURCE_DIR}/mesh/chunk_query.cpp
  ${CMAKE_SOURCE_DIR}/mesh/chunk_edit.cpp
  ${CMAKE_SOURCE_DIR}/mesh/msh.cpp
  ${CMAKE_SOURCE_DIR}/mesh/records.cpp
  ${CMAKE_SOURCE_DIR}/mesh/verify.cpp
  ${CMAKE_SOURCE_DIR}/mesh/check.cpp
  ${CMAKE_SOURCE_DIR}/mesh/inspect.cpp
  ${CMAKE_SOURCE_DIR}/host/files.cpp)
target_compile_options(mesh_fuzz PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
target_link_options(mesh_fuzz PRIVATE -fsanitize=fuzzer,address,undefined)
add_dependencies(fuzz_targets mesh_fuzz)

file(GLOB mesh_fuzz_seeds ${CMAKE_CURRENT_LIST_DIR}/corpus/*)
add_test(NAME mesh_fuzz_corpus COMMAND mesh_fuzz ${mesh_fuzz_seeds})
set_tests_properties(mesh_fuzz_corpus PROPERTIES LABELS fuzz)
