# Compiler flags of a libFuzzer build (-DLUMARO_FUZZ=ON). Included by the top
# CMakeLists before any target exists, so that every library the fuzz targets
# link is instrumented for coverage and checked by AddressSanitizer,
# UndefinedBehaviorSanitizer and LeakSanitizer, not only the fuzzer's own
# source. The fuzz targets add -fsanitize=fuzzer at link time, which brings
# libFuzzer's main.
if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "LUMARO_FUZZ needs clang (libFuzzer): configure with "
                        "CC=clang CXX=clang++")
endif()
if(NOT LUMARO_SANITIZE STREQUAL "")
    message(FATAL_ERROR "LUMARO_FUZZ brings its own sanitizers; leave LUMARO_SANITIZE empty")
endif()
add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                    -fno-sanitize-recover=undefined -g)
add_link_options(-fsanitize=address,undefined)
# LUMARO_SANITIZED keeps the test support from interposing malloc, which the
# sanitizer owns here.
add_compile_definitions(LUMARO_SANITIZED=1 LUMARO_FUZZ=1)
