# libFuzzer target for the GIF reader (clang only): arbitrary bytes through TGifFile, plus
# encode-and-decode round trips. gif_fuzz_short runs it on the seed corpus for 20 seconds;
# new inputs go to the build folder, never into the source tree.
set(GIF_FUZZ_SOURCES
  ${CMAKE_SOURCE_DIR}/tests/fuzz/gif_fuzzer.cpp
  ${CMAKE_SOURCE_DIR}/tests/native/GifTestSupport.cpp
  ${CMAKE_SOURCE_DIR}/gif/GifReader.cpp
  ${CMAKE_SOURCE_DIR}/gif/ColorTable.cpp
  ${CMAKE_SOURCE_DIR}/gif/ByteArrays.cpp
  ${CMAKE_SOURCE_DIR}/framework/base/SysUtils.cpp
  ${CMAKE_SOURCE_DIR}/framework/base/Classes.cpp)
add_executable(gif_fuzzer ${GIF_FUZZ_SOURCES})
target_include_directories(gif_fuzzer PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/framework/base
                           ${CMAKE_SOURCE_DIR}/tests/native)
target_compile_options(gif_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all
                       -fno-omit-frame-pointer -g)
# Blocks above 64 MB are refused as if beyond a 32-bit process, so that random image sizes
# stay cheap under AddressSanitizer.
target_compile_definitions(gif_fuzzer PRIVATE KAPTOR_MAX_BLOCK_SIZE=0x4000000)
target_link_options(gif_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(gif_fuzzer PRIVATE ${CMAKE_DL_LIBS})

set(GIF_FUZZ_WORK ${CMAKE_BINARY_DIR}/fuzz/gif)
file(MAKE_DIRECTORY ${GIF_FUZZ_WORK})
add_test(NAME gif_fuzz_short
         COMMAND gif_fuzzer -max_total_time=20 -timeout=10 -rss_limit_mb=2560 -print_final_stats=1
                 ${GIF_FUZZ_WORK} ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/gif)
