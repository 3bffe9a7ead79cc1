# GIF decoding speed against giflib on the same data in the same run. giflib is linked here
# and in the tests only, never into the program.
add_executable(gif_bench ${CMAKE_SOURCE_DIR}/bench/gif_bench.cpp)
target_link_libraries(gif_bench PRIVATE kaptor_portable benchmark::benchmark gif)
target_compile_options(gif_bench PRIVATE ${KAPTOR_WARNINGS})
