# PNG writing and reading: the program's encoder against libpng + zlib on the same rows, and
# its reader against libspng and a libdeflate-based decode, ratios printed.
add_executable(png_bench ${CMAKE_SOURCE_DIR}/bench/png_bench.cpp)
# libspng (libspng-dev) is a reference for the reader, linked here only.
target_link_libraries(png_bench PRIVATE kaptor_portable spng)
target_compile_options(png_bench PRIVATE ${KAPTOR_WARNINGS})
