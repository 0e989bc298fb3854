# Peak memory and time of the hex and settings readers on hostile files,
# each case in a fresh process. Run: bench_resources [scratch folder]
add_executable(bench_resources ${CMAKE_CURRENT_LIST_DIR}/bench_resources.cpp)
target_link_libraries(bench_resources PRIVATE vorna_app_settings vorna_download)
# The test support headers: the recording sink.
target_include_directories(bench_resources PRIVATE ${PROJECT_SOURCE_DIR}/tests)
