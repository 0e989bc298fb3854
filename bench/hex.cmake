# Hex file reader throughput and peak memory against srec_cat and objcopy.
# Run: bench_hex [repetitions]
add_executable(bench_hex ${CMAKE_CURRENT_LIST_DIR}/bench_hex.cpp)
target_link_libraries(bench_hex PRIVATE vorna_core)
