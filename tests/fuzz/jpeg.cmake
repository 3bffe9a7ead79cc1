# JPEG reader fuzzer (libFuzzer, clang only). libjpeg itself is built from Debian's source
# package with coverage and ASan instrumentation and without SIMD, so the fuzzer can steer
# through the decoder and a wrong buffer size handed to libjpeg is caught where it writes.
# Without the source package (offline), the system libjpeg is used uninstrumented.
if(NOT CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  message(WARNING "jpeg_fuzzer needs clang; skipped")
  return()
endif()

include(ExternalProject)

set(JPEG_FUZZ_CACHE ${CMAKE_BINARY_DIR}/libjpeg-turbo-src)
file(GLOB JPEG_FUZZ_ORIG ${JPEG_FUZZ_CACHE}/libjpeg-turbo_*.orig.tar.gz)
if(NOT JPEG_FUZZ_ORIG)
  file(MAKE_DIRECTORY ${JPEG_FUZZ_CACHE})
  execute_process(COMMAND apt-get source --download-only libjpeg-turbo
                  WORKING_DIRECTORY ${JPEG_FUZZ_CACHE} OUTPUT_QUIET ERROR_QUIET)
  file(GLOB JPEG_FUZZ_ORIG ${JPEG_FUZZ_CACHE}/libjpeg-turbo_*.orig.tar.gz)
endif()

set(JPEG_FUZZ_SOURCES
    ${CMAKE_SOURCE_DIR}/tests/fuzz/jpeg_fuzzer.cpp
    ${CMAKE_SOURCE_DIR}/framework/imaging/JpegCodec.cpp
    ${CMAKE_SOURCE_DIR}/framework/imaging/Dib.cpp
    ${CMAKE_SOURCE_DIR}/framework/base/SysUtils.cpp
    ${CMAKE_SOURCE_DIR}/framework/base/Classes.cpp)
add_executable(jpeg_fuzzer ${JPEG_FUZZ_SOURCES})
target_include_directories(jpeg_fuzzer PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/framework/base)
target_compile_options(jpeg_fuzzer PRIVATE -g -O1 -fno-omit-frame-pointer
                       -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined)
target_link_options(jpeg_fuzzer PRIVATE -fsanitize=fuzzer,address,undefined)

if(JPEG_FUZZ_ORIG)
  list(GET JPEG_FUZZ_ORIG 0 JPEG_FUZZ_ORIG)
  set(JPEG_FUZZ_FLAGS "-g -O1 -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address")
  ExternalProject_Add(jpeg_fuzz_libjpeg
    URL ${JPEG_FUZZ_ORIG}
    DOWNLOAD_EXTRACT_TIMESTAMP TRUE
    PREFIX ${CMAKE_BINARY_DIR}/libjpeg-fuzz
    CMAKE_ARGS -DCMAKE_C_COMPILER=${CMAKE_C_COMPILER} -DCMAKE_BUILD_TYPE=RelWithDebInfo
               "-DCMAKE_C_FLAGS=${JPEG_FUZZ_FLAGS}" -DENABLE_SHARED=OFF -DENABLE_STATIC=ON
               -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target jpeg-static -j2
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS <BINARY_DIR>/libjpeg.a)
  ExternalProject_Get_Property(jpeg_fuzz_libjpeg SOURCE_DIR BINARY_DIR)
  add_dependencies(jpeg_fuzzer jpeg_fuzz_libjpeg)
  # Ahead of the system headers: the instrumented build's own jconfig.h goes with its library.
  target_include_directories(jpeg_fuzzer BEFORE PRIVATE ${SOURCE_DIR} ${BINARY_DIR})
  target_link_libraries(jpeg_fuzzer PRIVATE ${BINARY_DIR}/libjpeg.a)
  unset(SOURCE_DIR)
  unset(BINARY_DIR)
else()
  message(WARNING "libjpeg-turbo source package not available: jpeg_fuzzer uses the system libjpeg")
  find_package(JPEG REQUIRED)
  target_link_libraries(jpeg_fuzzer PRIVATE JPEG::JPEG)
endif()

# A short run for ctest. New inputs go to the build folder, never into the seed corpus.
set(JPEG_FUZZ_WORK ${CMAKE_BINARY_DIR}/fuzz/jpeg)
file(MAKE_DIRECTORY ${JPEG_FUZZ_WORK}/corpus ${JPEG_FUZZ_WORK}/artifacts)
add_test(NAME jpeg_fuzz_short
         COMMAND jpeg_fuzzer -max_total_time=20 -rss_limit_mb=2048 -timeout=25
                 -artifact_prefix=${JPEG_FUZZ_WORK}/artifacts/
                 ${JPEG_FUZZ_WORK}/corpus ${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/jpeg
         WORKING_DIRECTORY ${JPEG_FUZZ_WORK})
set_tests_properties(jpeg_fuzz_short PROPERTIES TIMEOUT 120)
