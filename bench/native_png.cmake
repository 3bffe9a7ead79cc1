# PNG writing: the program's encoder against libpng + zlib on the same rows, ratios printed.
add_executable(png_bench ${CMAKE_SOURCE_DIR}/bench/png_bench.cpp)
target_link_libraries(png_bench PRIVATE kaptor_portable)
target_compile_options(png_bench PRIVATE ${KAPTOR_WARNINGS})
