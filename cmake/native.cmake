# Native build: the portable code and its unit tests, optionally under ASan + UBSan.
option(KAPTOR_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)
if(KAPTOR_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
endif()

find_package(GTest REQUIRED)

add_library(kaptor_portable STATIC ${PORTABLE_SOURCES})
target_include_directories(kaptor_portable PUBLIC ${CMAKE_SOURCE_DIR} ${CMAKE_SOURCE_DIR}/framework/base)
target_compile_options(kaptor_portable PRIVATE ${KAPTOR_WARNINGS})
# The JPEG codec uses the system's libjpeg (libjpeg62-turbo-dev) natively,
find_package(JPEG REQUIRED)
# and the PNG codec the system's libpng and zlib (libpng-dev, zlib1g-dev).
find_package(PNG REQUIRED)
# The PNG writer deflates with the system's libdeflate (libdeflate-dev).
find_library(DEFLATE_LIBRARY deflate REQUIRED)
target_link_libraries(kaptor_portable PUBLIC JPEG::JPEG PNG::PNG ${DEFLATE_LIBRARY})

file(GLOB NATIVE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*.cpp)
add_executable(native_tests ${NATIVE_TEST_SOURCES})
target_link_libraries(native_tests PRIVATE kaptor_portable GTest::gtest GTest::gtest_main)
target_compile_options(native_tests PRIVATE ${KAPTOR_WARNINGS})
target_compile_definitions(native_tests PRIVATE KAPTOR_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
add_test(NAME native_tests COMMAND native_tests)

# Fuzz targets (clang only): every tests/fuzz/*.cmake adds its target and a short ctest run.
option(KAPTOR_FUZZ "Build the libFuzzer targets (needs clang)" OFF)
if(KAPTOR_FUZZ)
  file(GLOB FUZZ_CMAKE CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*.cmake)
  foreach(f ${FUZZ_CMAKE})
    include(${f})
  endforeach()
endif()

# Native benchmarks: every bench/native_*.cmake adds its own.
option(KAPTOR_BENCH "Build the native benchmarks" OFF)
if(KAPTOR_BENCH)
  find_package(benchmark REQUIRED)
  file(GLOB BENCH_CMAKE CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/native_*.cmake)
  foreach(f ${BENCH_CMAKE})
    include(${f})
  endforeach()
endif()
