# What both cross toolchains share, for the target KAPTOR_WIN_HOST names: mingw-w64 with the
# posix thread model (GoogleTest needs std::mutex), its own root for libraries and headers.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_C_COMPILER ${KAPTOR_WIN_HOST}-gcc-posix)
set(CMAKE_CXX_COMPILER ${KAPTOR_WIN_HOST}-g++-posix)
set(CMAKE_RC_COMPILER ${KAPTOR_WIN_HOST}-windres)
set(CMAKE_FIND_ROOT_PATH /usr/${KAPTOR_WIN_HOST})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
