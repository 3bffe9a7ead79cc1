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

file(GLOB NATIVE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/native/*.cpp)
add_executable(native_tests ${NATIVE_TEST_SOURCES})
target_link_libraries(native_tests PRIVATE kaptor_portable GTest::gtest GTest::gtest_main)
target_compile_options(native_tests PRIVATE ${KAPTOR_WARNINGS})
target_compile_definitions(native_tests PRIVATE KAPTOR_TEST_DATA="${CMAKE_SOURCE_DIR}/tests/data")
add_test(NAME native_tests COMMAND native_tests)

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/native/fuzz.cmake)
  include(${CMAKE_SOURCE_DIR}/tests/native/fuzz.cmake)
endif()
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/CMakeLists.txt)
  add_subdirectory(bench)
endif()
