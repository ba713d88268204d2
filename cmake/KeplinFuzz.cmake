# keplin_add_fuzzer(NAME SOURCE LIBS...)
#
# A libFuzzer target (clang, -DKEPLIN_FUZZ=ON) with AddressSanitizer and
# UBSan; test.sh runs every one of them for its share of a fixed time.
function(keplin_add_fuzzer name source)
  add_executable(${name} ${source})
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer,address,undefined)
  target_link_libraries(${name} PRIVATE ${ARGN})
endfunction()
