# Cross toolchain for a 64-bit build of the same program and tests, for machines whose kernel
# runs no 32-bit code (Wine's 32-bit loader cannot start there). What users get is the 32-bit
# build.
set(CMAKE_SYSTEM_PROCESSOR AMD64)
set(KAPTOR_WIN_HOST x86_64-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
