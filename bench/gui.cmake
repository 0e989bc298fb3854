# The desktop window during a slow download: the longest gap between two
# ticks of a 10 ms timer on the GUI thread while the real main window sends
# 8 KiB to the virtual board at 9600 baud (offscreen platform). Needs the
# GUI and the test support library, which starts the board.
# Run: bench_gui [rounds]
if(TARGET vorna_gui AND TARGET vorna_test_support)
  add_executable(bench_gui ${CMAKE_CURRENT_LIST_DIR}/bench_gui.cpp)
  target_link_libraries(bench_gui PRIVATE vorna_gui vorna_test_support)
  add_dependencies(bench_gui vorna-board-sim)
endif()
