# Instrumented builds. Included before any target is made, so the flags reach
# every library, program and test of the tree alike.
#
# KP_SANITIZE: AddressSanitizer and UndefinedBehaviorSanitizer on everything;
# undefined behaviour aborts, so the test that reaches it fails.
# KP_FUZZ: the same sanitizers plus libFuzzer's coverage instrumentation
# (clang only); the fuzz targets themselves link the fuzzer's main.
set(KP_SANITIZER_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer
                       -fno-sanitize-recover=undefined)

if(KP_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
    message(FATAL_ERROR "KP_FUZZ needs clang (libFuzzer): configure with -DCMAKE_CXX_COMPILER=clang++")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link ${KP_SANITIZER_FLAGS})
  add_link_options(${KP_SANITIZER_FLAGS})
elseif(KP_SANITIZE)
  add_compile_options(${KP_SANITIZER_FLAGS})
  add_link_options(${KP_SANITIZER_FLAGS})
endif()
