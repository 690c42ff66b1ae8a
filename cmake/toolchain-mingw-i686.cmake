# Cross build for 32-bit Windows. Built to catch calling-convention faults;
# never run here: wine64 cannot start 32-bit programs and would report them
# as passed.
set(EMBERLINE_MINGW_TRIPLE i686-w64-mingw32)
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
