# The Windows program and its in-process tests, cross-built for i686 (or x86_64 where the
# machine runs no 32-bit code: cmake/mingw-x86_64.cmake) and run under Wine.
set(KAPTOR_WIN_FLAGS -finput-charset=UTF-8 -fexec-charset=CP932)
add_compile_definitions(WINVER=0x0A00 _WIN32_WINNT=0x0A00 NOMINMAX WIN32_LEAN_AND_MEAN STRICT)
add_link_options(-static -static-libgcc -static-libstdc++)

# Every test program runs through the Wine harness. Tests find the source tree's files by
# KAPTOR_SOURCE_DIR, not by __FILE__ (relative when the compiler cache rewrites paths).
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_SOURCE_DIR}/scripts/winrun;--;wine)

# Third-party libraries, each built once from Debian's source package by its script into
# build/win/deps/DIR; then each of its static libraries LIB as the imported target LIB_static.
function(kaptor_built_dependency dir script what)
  set(prefix ${CMAKE_BINARY_DIR}/deps/${dir})
  execute_process(COMMAND ${CMAKE_COMMAND} -E env KAPTOR_WIN_HOST=${KAPTOR_WIN_HOST}
    bash ${CMAKE_SOURCE_DIR}/scripts/${script} ${prefix} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "building ${what} failed")
  endif()
  foreach(lib ${ARGN})
    add_library(${lib}_static STATIC IMPORTED GLOBAL)
    set_target_properties(${lib}_static PROPERTIES
      IMPORTED_LOCATION ${prefix}/lib/lib${lib}.a
      INTERFACE_INCLUDE_DIRECTORIES ${prefix}/include)
  endforeach()
endfunction()

if(EXISTS ${CMAKE_SOURCE_DIR}/scripts/build-libjpeg.sh)
  kaptor_built_dependency(libjpeg build-libjpeg.sh "libjpeg-turbo" jpeg)
  set(KAPTOR_JPEG_LIB jpeg_static)
endif()
kaptor_built_dependency(libpng build-libpng.sh "zlib and libpng" z png)
set_target_properties(png_static PROPERTIES INTERFACE_LINK_LIBRARIES z_static)
# libdeflate: the PNG writer's deflate.
kaptor_built_dependency(libdeflate build-libdeflate.sh "libdeflate" deflate)

# GoogleTest from Debian's source tree, built for the target.
set(gtest_disable_pthreads OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# Everything but the entry point, shared by the program and the tests.
set(WIN_DIRS framework/win settings app capture view exchange components gif markup)
set(WIN_SOURCES)
foreach(dir ${WIN_DIRS})
  file(GLOB dir_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
  list(APPEND WIN_SOURCES ${dir_sources})
endforeach()
list(REMOVE_ITEM WIN_SOURCES ${PORTABLE_SOURCES} ${CMAKE_SOURCE_DIR}/app/main.cpp)

add_library(kaptor_win STATIC ${PORTABLE_SOURCES} ${WIN_SOURCES})
target_include_directories(kaptor_win PUBLIC ${CMAKE_SOURCE_DIR})
target_compile_options(kaptor_win PRIVATE ${KAPTOR_WARNINGS} ${KAPTOR_WIN_FLAGS})
target_link_libraries(kaptor_win PUBLIC ${KAPTOR_JPEG_LIB} png_static deflate_static
  comctl32 comdlg32 gdi32 user32 shell32 ole32 winspool version winmm uuid)

file(GLOB RC_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc)
# The manifest names the processor the program is built for (the activation context of a
# 64-bit process finds no x86 assemblies); the resource script takes it from the build tree.
if(KAPTOR_WIN_HOST MATCHES "^x86_64")
  set(KAPTOR_MANIFEST_ARCH amd64)
else()
  set(KAPTOR_MANIFEST_ARCH x86)
endif()
configure_file(${CMAKE_SOURCE_DIR}/resources/Kaptor32.manifest.in ${CMAKE_BINARY_DIR}/generated/Kaptor32.manifest @ONLY)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -I${CMAKE_BINARY_DIR}/generated")
set_source_files_properties(${RC_FILES} PROPERTIES OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/generated/Kaptor32.manifest)
add_executable(Kaptor32 WIN32 ${CMAKE_SOURCE_DIR}/app/main.cpp ${RC_FILES})
target_compile_options(Kaptor32 PRIVATE ${KAPTOR_WARNINGS} ${KAPTOR_WIN_FLAGS})
target_link_libraries(Kaptor32 PRIVATE kaptor_win)
set_target_properties(Kaptor32 PROPERTIES OUTPUT_NAME Kaptor32)
# The help file is written as UTF-8 and shipped as Shift-JIS beside the program.
set(KAPTOR_HELP_SOURCE ${CMAKE_SOURCE_DIR}/resources/Kaptor.hlp.txt)
set_property(TARGET Kaptor32 APPEND PROPERTY LINK_DEPENDS ${KAPTOR_HELP_SOURCE})
add_custom_command(TARGET Kaptor32 POST_BUILD
  COMMAND iconv -f UTF-8 -t CP932 -o $<TARGET_FILE_DIR:Kaptor32>/Kaptor.hlp ${KAPTOR_HELP_SOURCE})
if(NOT CMAKE_OBJCOPY)
  message(FATAL_ERROR "${KAPTOR_WIN_HOST}-objcopy not found")
endif()
# The program users copy carries no debug information (2 MB instead of 17). The symbols go
# beside it into Kaptor32.exe.debug, which the exe names in its .gnu_debuglink section, so
# debuggers and Wine's backtraces still find functions and lines.
add_custom_command(TARGET Kaptor32 POST_BUILD
  COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:Kaptor32> $<TARGET_FILE:Kaptor32>.debug
  COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=$<TARGET_FILE:Kaptor32>.debug $<TARGET_FILE:Kaptor32>
  WORKING_DIRECTORY $<TARGET_FILE_DIR:Kaptor32>)

# In-process tests: one program, run inside a Wine session.
file(GLOB WINE_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/wine/*.cpp)
# The program's resources too: the main window's glyphs, icon and cursor are loaded from the
# running module.
add_executable(wine_tests ${WINE_TEST_SOURCES} ${RC_FILES})
target_compile_options(wine_tests PRIVATE ${KAPTOR_WARNINGS} ${KAPTOR_WIN_FLAGS})
target_compile_definitions(wine_tests PRIVATE KAPTOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
target_link_libraries(wine_tests PRIVATE kaptor_win gtest gtest_main)
# Some tests read the program's own resources from the exe beside them.
add_dependencies(wine_tests Kaptor32)
add_test(NAME wine_tests COMMAND wine_tests)

# High-DPI checks: a program of their own, run by ./test in a session of its own at 144 dpi
# on a 1920 x 1080 display (ctest's shared session is at 96 dpi).
file(GLOB DPI_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/dpi/*.cpp)
if(DPI_TEST_SOURCES)
  add_executable(dpi_tests ${DPI_TEST_SOURCES} ${CMAKE_SOURCE_DIR}/tests/wine/TestApp.cpp
    ${CMAKE_SOURCE_DIR}/tests/wine/CrashReport.cpp ${RC_FILES})
  target_include_directories(dpi_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/wine)
  target_compile_options(dpi_tests PRIVATE ${KAPTOR_WARNINGS} ${KAPTOR_WIN_FLAGS})
  target_compile_definitions(dpi_tests PRIVATE KAPTOR_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  target_link_libraries(dpi_tests PRIVATE kaptor_win gtest gtest_main)
endif()

if(EXISTS ${CMAKE_SOURCE_DIR}/tests/e2e/CMakeLists.txt)
  add_subdirectory(tests/e2e)
endif()

# Windows benchmarks (our own timing harness), printed as ratios by one run.
option(KAPTOR_BENCH "Build the Windows benchmarks" OFF)
if(KAPTOR_BENCH)
  include(${CMAKE_SOURCE_DIR}/bench/win_bench.cmake)
endif()
