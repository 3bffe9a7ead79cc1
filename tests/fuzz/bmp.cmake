# libFuzzer target for the bitmap reader and writer (clang only): arbitrary bytes through
# ReadBmp, and every picture that reads written and read back. bmp_fuzz_short runs it on the
# seed corpus for 20 seconds; new inputs go to the build folder, never into the source tree.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(WARNING "bmp_fuzzer needs clang; skipped")
  return()
endif()

add_executable(bmp_fuzzer
  ${CMAKE_SOURCE_DIR}/tests/fuzz/bmp_fuzzer.cpp
  ${CMAKE_SOURCE_DIR}/framework/imaging/BmpCodec.cpp
  ${CMAKE_SOURCE_DIR}/framework/imaging/Dib.cpp
  ${CMAKE_SOURCE_DIR}/framework/base/SysUtils.cpp
  ${CMAKE_SOURCE_DIR}/framework/base/Classes.cpp)
target_include_directories(bmp_fuzzer PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/framework/base)
target_compile_options(bmp_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
                       -fno-omit-frame-pointer -g)
# Pictures above 64 MB are refused as if beyond a 32-bit process, so random sizes stay cheap.
target_compile_definitions(bmp_fuzzer PRIVATE KAPTOR_MAX_BLOCK_SIZE=0x4000000)
target_link_options(bmp_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)

set(BMP_FUZZ_WORK ${CMAKE_BINARY_DIR}/fuzz/bmp)
file(MAKE_DIRECTORY ${BMP_FUZZ_WORK})
add_test(NAME bmp_fuzz_short
         COMMAND bmp_fuzzer -max_total_time=20 -max_len=8192 -timeout=10 -rss_limit_mb=2560
                 -print_final_stats=1 ${BMP_FUZZ_WORK} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/bmp)
