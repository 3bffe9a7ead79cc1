# The Windows benchmarks: our own timing harness (Google Benchmark has no mingw build), run
# under the Wine harness. The program's resources are linked in for the main window.
add_executable(win_bench ${CMAKE_SOURCE_DIR}/bench/win_bench.cpp ${CMAKE_SOURCE_DIR}/bench/win_open_bench.cpp
  ${CMAKE_SOURCE_DIR}/bench/win_markup_bench.cpp ${RC_FILES})
target_compile_options(win_bench PRIVATE ${KAPTOR_WARNINGS} ${KAPTOR_WIN_FLAGS})
target_link_libraries(win_bench PRIVATE kaptor_win)

# Start-up against a minimal Win32 program started the same way.
add_executable(minimal_window WIN32 ${CMAKE_SOURCE_DIR}/bench/minimal_window.cpp)
add_executable(minimal_window_imports WIN32 ${CMAKE_SOURCE_DIR}/bench/minimal_window.cpp)
target_compile_definitions(minimal_window_imports PRIVATE KAPTOR_SAME_IMPORTS)
target_link_libraries(minimal_window_imports PRIVATE comctl32 comdlg32 shell32 winmm winspool version)
# The same program again with Kaptor32's manifest, importing common controls 6 and starting
# them as Kaptor32 does: what the platform's controls cost any program that shows them.
add_executable(minimal_window_comctl6 WIN32 ${CMAKE_SOURCE_DIR}/bench/minimal_window.cpp
                                            ${CMAKE_SOURCE_DIR}/bench/minimal_window_comctl6.rc)
target_compile_definitions(minimal_window_comctl6 PRIVATE KAPTOR_COMMON_CONTROLS)
target_include_directories(minimal_window_comctl6 PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_link_libraries(minimal_window_comctl6 PRIVATE comctl32)
set_source_files_properties(${CMAKE_SOURCE_DIR}/bench/minimal_window_comctl6.rc PROPERTIES OBJECT_DEPENDS
                            ${CMAKE_BINARY_DIR}/generated/Kaptor32.manifest)
add_executable(win_start_bench ${CMAKE_SOURCE_DIR}/bench/win_start_bench.cpp ${RC_FILES})
target_compile_options(win_start_bench PRIVATE ${KAPTOR_WARNINGS} ${KAPTOR_WIN_FLAGS})
target_link_libraries(win_start_bench PRIVATE kaptor_win)
add_dependencies(win_start_bench minimal_window minimal_window_imports minimal_window_comctl6 Kaptor32)
