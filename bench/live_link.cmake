# The main window on a live pty link: latency from frame to LCD and CPU use.
# Needs the window, so only with the GUI; bench/live-link runs it.
if(METERLINK_GUI)
  add_executable(live_link_bench ${CMAKE_CURRENT_LIST_DIR}/live_link_bench.cpp)
  target_link_libraries(live_link_bench PRIVATE meterlink_app)
  # openpty
  if(UNIX AND NOT APPLE)
    target_link_libraries(live_link_bench PRIVATE util)
  endif()
endif()
