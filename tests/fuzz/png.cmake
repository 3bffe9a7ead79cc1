# libFuzzer target for the PNG reader and writer (clang only), over the system's libpng and
# zlib (libpng-dev, zlib1g-dev). png_fuzz_short runs it for 20 seconds from the sample files
# of every PNG kind; new inputs go to the build folder, never into the source tree.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(WARNING "png_fuzzer needs clang; skipped")
  return()
endif()

find_package(PNG REQUIRED)
add_executable(png_fuzzer
  ${CMAKE_SOURCE_DIR}/tests/fuzz/png_fuzzer.cpp
  ${CMAKE_SOURCE_DIR}/framework/imaging/PngCodec.cpp
  ${CMAKE_SOURCE_DIR}/framework/imaging/Dib.cpp
  ${CMAKE_SOURCE_DIR}/framework/base/SysUtils.cpp
  ${CMAKE_SOURCE_DIR}/framework/base/Classes.cpp)
target_include_directories(png_fuzzer PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/framework/base)
target_compile_options(png_fuzzer PRIVATE -g -O1 -fno-omit-frame-pointer
                       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
target_link_options(png_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)
target_link_libraries(png_fuzzer PRIVATE PNG::PNG)

set(PNG_FUZZ_WORK ${CMAKE_BINARY_DIR}/fuzz/png)
file(MAKE_DIRECTORY ${PNG_FUZZ_WORK}/corpus ${PNG_FUZZ_WORK}/artifacts)
add_test(NAME png_fuzz_short
         COMMAND png_fuzzer -max_total_time=20 -max_len=16384 -rss_limit_mb=2048 -timeout=25
                 -artifact_prefix=${PNG_FUZZ_WORK}/artifacts/
                 ${PNG_FUZZ_WORK}/corpus ${CMAKE_SOURCE_DIR}/tests/data/png
         WORKING_DIRECTORY ${PNG_FUZZ_WORK})
set_tests_properties(png_fuzz_short PROPERTIES TIMEOUT 120)
