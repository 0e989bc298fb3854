# vornactl downloading to 16 virtual boards at once next to one board: the
# wall time of the many against the one, and the CPU time per board.
# Run: bench_boards [rounds]
if(TARGET vorna_test_support AND TARGET vornactl_lib)
  add_executable(bench_boards ${CMAKE_CURRENT_LIST_DIR}/bench_boards.cpp)
  target_link_libraries(bench_boards PRIVATE vornactl_lib vorna_test_support)
  add_dependencies(bench_boards vorna-board-sim)
endif()
