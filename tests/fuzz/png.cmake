# libFuzzer targets for the PNG codec (clang only), over the system's libpng, zlib and
# libdeflate (libpng-dev, zlib1g-dev, libdeflate-dev): png_fuzzer feeds arbitrary bytes to the
# reader (and compares the quick one with libpng's path on them, CRCs made right),
# png_roundtrip_fuzzer makes pictures of every layout from them and checks that what the
# writer makes reads back to the same pixels (and that zlib's inflate reads the writer's and our
# match finder's streams). The short runs (20 seconds each) start from
# the sample files of every PNG kind and the corpora kept from both targets' long runs
# (corpus/png, corpus/png_roundtrip); an allocation above 64 MB is a finding
# (the targets' pictures are far smaller). New inputs go to the build folder, never into the
# source tree.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(WARNING "png fuzzers need clang; skipped")
  return()
endif()

find_package(PNG REQUIRED)
find_package(ZLIB REQUIRED)
find_library(DEFLATE_LIBRARY deflate REQUIRED)
foreach(target png_fuzzer png_roundtrip_fuzzer)
  add_executable(${target}
    ${CMAKE_SOURCE_DIR}/tests/fuzz/${target}.cpp
    ${CMAKE_SOURCE_DIR}/framework/imaging/PngCodec.cpp
    ${CMAKE_SOURCE_DIR}/framework/imaging/PngReader.cpp
    ${CMAKE_SOURCE_DIR}/framework/imaging/PngUnfilter.cpp
    ${CMAKE_SOURCE_DIR}/framework/imaging/PngEncoder.cpp
    ${CMAKE_SOURCE_DIR}/framework/imaging/PngFilters.cpp
    ${CMAKE_SOURCE_DIR}/framework/imaging/PngPalette.cpp
    ${CMAKE_SOURCE_DIR}/framework/imaging/Deflate.cpp
    ${CMAKE_SOURCE_DIR}/framework/imaging/DeflateBlocks.cpp
    ${CMAKE_SOURCE_DIR}/framework/imaging/DeflateBlockWriter.cpp
    ${CMAKE_SOURCE_DIR}/framework/imaging/HuffmanCode.cpp
    ${CMAKE_SOURCE_DIR}/framework/imaging/MatchFinder.cpp
    ${CMAKE_SOURCE_DIR}/framework/imaging/Dib.cpp
    ${CMAKE_SOURCE_DIR}/framework/base/SysUtils.cpp
    ${CMAKE_SOURCE_DIR}/framework/base/Classes.cpp)
  target_include_directories(${target} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/framework/base)
  target_compile_options(${target} PRIVATE -g -O1 -fno-omit-frame-pointer
                         -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
  target_link_options(${target} PRIVATE -fsanitize=fuzzer,address,undefined)
  # Halves deflated apart and joined from 4 KB up, so the fuzzer's small pictures take that path.
  target_compile_definitions(${target} PRIVATE KAPTOR_DEFLATE_SPLIT_BYTES=4096)
  target_link_libraries(${target} PRIVATE PNG::PNG ZLIB::ZLIB ${DEFLATE_LIBRARY})

  set(work ${CMAKE_BINARY_DIR}/fuzz/${target})
  file(MAKE_DIRECTORY ${work}/corpus ${work}/artifacts)
  add_test(NAME ${target}_short
           COMMAND ${target} -max_total_time=20 -max_len=16384 -rss_limit_mb=2048 -malloc_limit_mb=64 -timeout=25
                   -artifact_prefix=${work}/artifacts/
                   ${work}/corpus ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/png ${CMAKE_SOURCE_DIR}/tests/data/png
                   ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/png_roundtrip
           WORKING_DIRECTORY ${work})
  set_tests_properties(${target}_short PROPERTIES TIMEOUT 120)
endforeach()
