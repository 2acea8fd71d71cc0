# kv_fuzz_target(<name> <test name> <corpus folder> SOURCES ... LIBRARIES ... INCLUDES ...)
#
# A fuzz target's replay executable <name>_fuzz_replay runs its checked-in
# corpus (corpus/<corpus folder> beside the calling CMakeLists.txt) under CTest
# with any compiler; with KV_BUILD_FUZZERS (clang, preset "fuzz") the libFuzzer
# executable <name>_fuzzer is built too. Every replay executable shares one main.
function(kv_fuzz_target name test corpus)
  cmake_parse_arguments(PARSE_ARGV 3 arg "" "" "SOURCES;LIBRARIES;INCLUDES")
  add_executable(${name}_fuzz_replay ${PROJECT_SOURCE_DIR}/fuzz/replay_main.cpp ${arg_SOURCES})
  target_include_directories(${name}_fuzz_replay PRIVATE ${arg_INCLUDES})
  target_link_libraries(${name}_fuzz_replay PRIVATE ${arg_LIBRARIES})
  add_test(NAME ${test} COMMAND ${name}_fuzz_replay ${CMAKE_CURRENT_SOURCE_DIR}/corpus/${corpus})
  set_tests_properties(${test} PROPERTIES LABELS fuzz)
  if(KV_BUILD_FUZZERS)
    add_executable(${name}_fuzzer ${arg_SOURCES})
    target_include_directories(${name}_fuzzer PRIVATE ${arg_INCLUDES})
    target_link_libraries(${name}_fuzzer PRIVATE ${arg_LIBRARIES})
    target_compile_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer)
    target_link_options(${name}_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
  endif()
endfunction()
