# Instrumented builds. Included before any target is made, so the flags reach
# every library, program and test of the tree alike.
#
# KP_SANITIZE: AddressSanitizer and UndefinedBehaviorSanitizer on everything;
# undefined behaviour aborts, so the test that reaches it fails.
# KP_FUZZ: the same sanitizers plus libFuzzer's coverage instrumentation of
# the program's own code (fuzz/coverage.allowlist; clang only); the fuzz
# targets themselves link the fuzzer's main.
set(KP_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer
                       -fno-sanitize-recover=undefined)

if(KP_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KP_FUZZ needs clang (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link ${KP_SANITIZER_FLAGS}
                      -fsanitize-coverage-allowlist=${CMAKE_SOURCE_DIR}/fuzz/coverage.allowlist
                      -fsanitize-coverage-ignorelist=${CMAKE_SOURCE_DIR}/fuzz/coverage.ignorelist)
  add_link_options(${KP_SANITIZER_FLAGS})
elseif(KP_SANITIZE)
  add_compile_options(${KP_SANITIZER_FLAGS})
  add_link_options(${KP_SANITIZER_FLAGS})
endif()
