# Device link over a pseudo-terminal against the virtual board: per-exchange
# cost next to a raw ping-pong floor, and a paced 8 KiB download next to its
# wire time. Needs the test support library, which starts the board.
# Run: bench_link [rounds]
if(TARGET vorna_test_support)
  add_executable(bench_link ${CMAKE_CURRENT_LIST_DIR}/bench_link.cpp)
  target_link_libraries(bench_link PRIVATE vorna_link vorna_test_support)
  add_dependencies(bench_link vorna-board-sim)
endif()
