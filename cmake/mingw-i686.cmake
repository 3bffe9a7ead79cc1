# Cross toolchain for the 32-bit Windows program, everything linked statically so the exe
# stands alone.
set(CMAKE_SYSTEM_PROCESSOR x86)
set(KAPTOR_WIN_HOST i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
