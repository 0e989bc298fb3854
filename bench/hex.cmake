# vornactl image against srec_cat and objcopy, whole processes: time and peak memory.
# Run: bench_hex [repetitions]
add_executable(bench_hex ${CMAKE_CURRENT_LIST_DIR}/bench_hex.cpp)
target_link_libraries(bench_hex PRIVATE vorna_download)
# The whole-process figures run the vornactl built here.
add_dependencies(bench_hex vornactl)
target_compile_definitions(bench_hex PRIVATE VORNACTL_PATH="$<TARGET_FILE:vornactl>")
# The test support headers: the temporary folder.
target_include_directories(bench_hex PRIVATE ${PROJECT_SOURCE_DIR}/tests)
