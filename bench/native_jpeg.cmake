# JPEG writing: EncodeJpeg against libjpeg-turbo used directly, ratio printed by the run.
add_executable(jpeg_bench ${CMAKE_SOURCE_DIR}/bench/jpeg_bench.cpp)
target_link_libraries(jpeg_bench PRIVATE kaptor_portable benchmark::benchmark)
target_compile_options(jpeg_bench PRIVATE ${KAPTOR_WARNINGS})
